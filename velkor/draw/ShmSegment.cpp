#include "velkor/draw/ShmSegment.h"

#include "velkor/draw/XConnection.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

namespace velkor
{

bool ShmSegment::reserve(XConnection& connection, std::size_t bytes)
{
    if (m_address != nullptr && m_size >= bytes)
    {
        return true;
    }
    release(connection);
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
    {
        return false;
    }
    void* address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1))
    {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const std::uint32_t segment = xcb_generate_id(connection.get());
    const bool attached = connection.accepted(
        xcb_shm_attach_checked(connection.get(), segment, static_cast<std::uint32_t>(id), 0));
    // Marked for removal at once: the block goes away with the last process that detaches.
    shmctl(id, IPC_RMID, nullptr);
    if (!attached)
    {
        shmdt(address);
        return false;
    }
    m_address = static_cast<std::uint8_t*>(address);
    m_size = bytes;
    m_segment = segment;
    return true;
}

void ShmSegment::release(XConnection& connection)
{
    if (m_address == nullptr)
    {
        return;
    }
    // The server must be done with the block before it disappears from under it.
    if (connection.sync())
    {
        xcb_shm_detach(connection.get(), m_segment);
        xcb_flush(connection.get());
    }
    shmdt(m_address);
    m_address = nullptr;
    m_size = 0;
    m_segment = 0;
}

} // namespace velkor
