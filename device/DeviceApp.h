#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velkordevice
{

// Everything the velkor-device program does, so main() stays a one-liner.
class DeviceApp
{
public:
    // args excludes the program name; returns the process exit code.
    static int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

} // namespace velkordevice
