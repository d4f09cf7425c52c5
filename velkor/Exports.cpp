#include "velkor/api/VelkorLibrary.h"

#include <cstdlib>

namespace
{

velkor::VelkorLibrary* theLibrary()
{
    // Created once and never destroyed: threads may still run while the process exits.
    static velkor::VelkorLibrary* const library = []
    {
        auto* created = new velkor::VelkorLibrary();
        std::atexit([] { theLibrary()->shutdown(); });
        return created;
    }();
    return library;
}

} // namespace

extern "C" __attribute__((visibility("default"))) DeviceLibrary* GetVelkorAPI()
{
    // A library that cannot be made (no memory, no thread) is no library; the caller checks.
    try
    {
        return theLibrary();
    }
    catch (...)
    {
        return nullptr;
    }
}
