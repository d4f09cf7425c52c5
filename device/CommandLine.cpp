#include "CommandLine.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace velkordevice
{

namespace
{

std::optional<long long> parseInteger(std::string_view text, long long low, long long high)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
    {
        return std::nullopt;
    }
    return value;
}

struct IntegerOption
{
    std::string_view name;
    long long low;
    long long high;
};

} // namespace

CommandLineResult CommandLine::parse(const std::vector<std::string>& args)
{
    CommandLineResult result;
    DeviceConfig& config = result.config;
    bool authGiven = false;
    bool userGiven = false;
    bool passwordGiven = false;

    auto fail = [&result](std::string message)
    {
        result.action = CommandLineResult::Action::Fail;
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i)
    {
        std::string name = args[i];
        std::optional<std::string> value;
        if (name == "--help" || name == "-h")
        {
            result.action = CommandLineResult::Action::ShowHelp;
            return result;
        }
        if (name.rfind("--", 0) != 0)
        {
            return fail("unexpected argument '" + name + "'");
        }
        if (auto eq = name.find('='); eq != std::string::npos)
        {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        auto takeValue = [&]() -> std::optional<std::string>
        {
            if (value)
            {
                return value;
            }
            if (i + 1 >= args.size())
            {
                return std::nullopt;
            }
            return args[++i];
        };

        const std::optional<std::string> text = takeValue();
        if (!text)
        {
            return fail("option " + name + " needs a value");
        }

        auto integer = [&](long long low, long long high) -> std::optional<long long>
        { return parseInteger(*text, low, high); };
        auto badRange = [&](long long low, long long high)
        {
            return fail("option " + name + " expects an integer from " + std::to_string(low) +
                        " to " + std::to_string(high) + ", got '" + *text + "'");
        };

        if (name == "--address")
        {
            if (text->empty())
            {
                return fail("option --address needs a non-empty value");
            }
            config.address = *text;
        }
        else if (name == "--port")
        {
            auto v = integer(0, 65535);
            if (!v)
            {
                return badRange(0, 65535);
            }
            config.port = static_cast<int>(*v);
        }
        else if (name == "--channels")
        {
            auto v = integer(1, 64);
            if (!v)
            {
                return badRange(1, 64);
            }
            config.channels = static_cast<int>(*v);
        }
        else if (name == "--fps")
        {
            auto v = integer(1, 60);
            if (!v)
            {
                return badRange(1, 60);
            }
            config.fps = static_cast<int>(*v);
        }
        else if (name == "--user")
        {
            if (text->empty() || text->find(':') != std::string::npos)
            {
                return fail("option --user needs a non-empty name without ':'");
            }
            config.user = *text;
            userGiven = true;
        }
        else if (name == "--password")
        {
            config.password = *text;
            passwordGiven = true;
        }
        else if (name == "--auth")
        {
            if (*text == "digest")
            {
                config.auth = AuthMode::Digest;
            }
            else if (*text == "basic")
            {
                config.auth = AuthMode::Basic;
            }
            else
            {
                return fail("option --auth expects 'digest' or 'basic', got '" + *text + "'");
            }
            authGiven = true;
        }
        else if (name == "--nonce-lifetime")
        {
            auto v = integer(1, 86400);
            if (!v)
            {
                return badRange(1, 86400);
            }
            config.nonceLifetimeSeconds = static_cast<int>(*v);
        }
        else if (name == "--alarm-interval")
        {
            auto v = integer(0, 86400);
            if (!v)
            {
                return badRange(0, 86400);
            }
            config.alarmIntervalSeconds = static_cast<int>(*v);
        }
        else if (name == "--uid")
        {
            auto v = integer(0, 2147483647);
            if (!v)
            {
                return badRange(0, 2147483647);
            }
            config.uid = *v;
        }
        else if (name == "--max-connections")
        {
            auto v = integer(1, 1024);
            if (!v)
            {
                return badRange(1, 1024);
            }
            config.maxConnections = static_cast<int>(*v);
        }
        else
        {
            return fail("unknown option " + name);
        }
    }

    if (userGiven != passwordGiven)
    {
        return fail("--user and --password must be given together");
    }
    if (authGiven && !userGiven)
    {
        return fail("--auth needs --user and --password");
    }
    if (userGiven && !authGiven)
    {
        config.auth = AuthMode::Digest;
    }
    return result;
}

std::string CommandLine::usage()
{
    return R"(Usage: velkor-device [OPTIONS]

Emulates a network camera speaking the velkor HTTP protocol (see PROTOCOL.md).

Options:
  --address ADDR          address to listen on (default 127.0.0.1)
  --port N                TCP port, 0 picks a free one (default 18080)
  --channels N            number of video channels, 1..64 (default 4)
  --fps N                 frames per second on every channel, 1..60 (default 25)
  --user NAME             require this user name (needs --password)
  --password PASS         password for --user
  --auth digest|basic     authentication scheme when credentials are set (default digest)
  --nonce-lifetime SECS   how long a digest nonce stays valid (default 300)
  --alarm-interval SECS   seconds between emulated alarms, 0 for none (default 10)
  --uid N                 device identifier reported by /velkor/info, 0..2147483647 (default 417)
  --max-connections N     simultaneous connections served; more get 503 (default 16)
  -h, --help              show this text

On start it prints "velkor-device listening on http://ADDR:PORT".
SIGINT or SIGTERM stops it.
)";
}

} // namespace velkordevice
