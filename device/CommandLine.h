#pragma once

#include "device/DeviceConfig.h"

#include <string>
#include <vector>

namespace CLI
{
class App;
}

namespace velkordevice
{

struct CommandLineResult
{
    enum class Action
    {
        Run,
        ShowHelp,
        Fail
    };
    Action action = Action::Run;
    DeviceConfig config;
    std::string error;
};

class CommandLine
{
public:
    // args excludes the program name.
    static CommandLineResult parse(const std::vector<std::string>& args);
    static std::string usage();

private:
    static void describe(CLI::App& app, DeviceConfig& config, bool& authGiven);
};

} // namespace velkordevice
