#include "tests/velkor/support/PrivateResolver.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace velkortest
{
namespace
{

constexpr const char* kLocalhost = "127.0.0.1 localhost\n::1 localhost\n";

std::string failure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool bringLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
    {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

// Writes `text` into `folder/name` and mounts it over `target`; the file is unlinked afterwards,
// the mount keeping it alive, so nothing is left behind in /tmp.
bool overlay(const std::string& folder, const char* name, const std::string& text,
             const char* target)
{
    const std::string path = folder + "/" + name;
    {
        std::ofstream file(path);
        file << text;
    }
    const bool mounted = ::mount(path.c_str(), target, nullptr, MS_BIND, nullptr) == 0;
    ::unlink(path.c_str());
    return mounted;
}

} // namespace

PrivateResolver::~PrivateResolver()
{
    if (m_hosts >= 0)
    {
        ::close(m_hosts);
    }
}

bool PrivateResolver::enter(std::string& why)
{
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0)
    {
        why = failure("unshare of the mount and network namespaces");
        return false;
    }
    // Else the bind mounts below would show in the namespace the process came from.
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    {
        why = failure("making the mounts private");
        return false;
    }
    if (!bringLoopbackUp())
    {
        why = failure("bringing up loopback");
        return false;
    }
    char folder[] = "/tmp/velkor-resolver-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
    {
        why = failure("mkdtemp");
        return false;
    }
    const bool mounted =
        overlay(folder, "resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n",
                "/etc/resolv.conf") &&
        overlay(folder, "nsswitch.conf", "hosts: files dns\n", "/etc/nsswitch.conf") &&
        overlay(folder, "hosts", kLocalhost, "/etc/hosts");
    ::rmdir(folder);
    if (!mounted)
    {
        why = failure("bind-mounting the resolver's files");
        return false;
    }
    m_hosts = ::open("/etc/hosts", O_WRONLY | O_CLOEXEC);
    if (m_hosts < 0)
    {
        why = failure("opening the hosts file");
        return false;
    }
    return true;
}

void PrivateResolver::setHosts(const std::string& lines) const
{
    const std::string text = kLocalhost + lines;
    // One write at offset 0, so a lookup meanwhile reads the old text or the new one.
    if (::pwrite(m_hosts, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        ::ftruncate(m_hosts, static_cast<off_t>(text.size())) != 0)
    {
        std::abort();
    }
}

} // namespace velkortest
