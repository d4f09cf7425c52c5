#include "device/CommandLine.h"

#include "device/AsciiText.h"

#include <CLI/CLI.hpp>
#include <arpa/inet.h>

#include <functional>
#include <optional>

namespace velkordevice
{

namespace
{

constexpr std::size_t kOptionColumn = 26;

// CLI11's own layout, with the usage line first and "-h, --help" spelled as in our manual.
class UsageFormatter : public CLI::Formatter
{
public:
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override
    {
        return make_usage(app, std::move(name)) + "\n" + make_description(app) +
               make_groups(app, mode) + "\n" + make_footer(app);
    }
    std::string make_option_name(const CLI::Option* option, bool positional) const override
    {
        std::string names = CLI::Formatter::make_option_name(option, positional);
        for (std::size_t comma = names.find(','); comma != std::string::npos;
             comma = names.find(',', comma + 2))
        {
            names.insert(comma + 1, " ");
        }
        return names;
    }
};

[[noreturn]] void refuse(const std::string& message)
{
    throw CLI::ValidationError(message, CLI::ExitCodes::ValidationError);
}

void addOption(CLI::App& app, const std::string& name, const std::string& valueName,
               const std::string& description, const std::function<void(const std::string&)>& store)
{
    app.add_option_function<std::string>(name, store, description)->option_text(valueName);
}

void addInteger(CLI::App& app, const std::string& name, const std::string& valueName,
                const std::string& description, std::uint64_t low, std::uint64_t high,
                std::function<void(std::uint64_t)> store)
{
    addOption(app, name, valueName, description,
              [name, low, high, store = std::move(store)](const std::string& text)
              {
                  const auto value = AsciiText::parseDecimal(text);
                  if (!value || *value < low || *value > high)
                  {
                      refuse("option " + name + " expects an integer from " + std::to_string(low) +
                             " to " + std::to_string(high) + ", got '" + text + "'");
                  }
                  store(*value);
              });
}

// CLI11 names the option first in the text of a missing value: "--port: 1 required ...".
std::string optionNamedIn(const std::string& message)
{
    return message.substr(0, message.find(':'));
}

void describeNetwork(CLI::App& app, DeviceConfig& config)
{
    addOption(app, "--address", "ADDR", "address to listen on (default 127.0.0.1)",
              [&config](const std::string& text)
              {
                  if (text.empty())
                  {
                      refuse("option --address needs a non-empty value");
                  }
                  config.address = text;
              });
    addInteger(app, "--port", "N", "TCP port, 0 picks a free one (default 18080)", 0, 65535,
               [&config](std::uint64_t value) { config.port = static_cast<int>(value); });
}

void describeStreams(CLI::App& app, DeviceConfig& config)
{
    addInteger(app, "--channels", "N", "number of video channels, 1..64 (default 4)", 1, 64,
               [&config](std::uint64_t value) { config.channels = static_cast<int>(value); });
    addInteger(app, "--fps", "N", "frames per second on every channel, 1..60 (default 25)", 1, 60,
               [&config](std::uint64_t value) { config.fps = static_cast<int>(value); });
    addOption(app, "--loop", "auto|always|never",
              "serve streams from a few seconds encoded ahead of time: where live encoding "
              "falls short of the frame rate (auto, the default), always or never",
              [&config](const std::string& text)
              {
                  const std::pair<const char*, LoopMode> modes[] = {{"auto", LoopMode::Auto},
                                                                    {"always", LoopMode::Always},
                                                                    {"never", LoopMode::Never}};
                  for (const auto& [name, mode] : modes)
                  {
                      if (text == name)
                      {
                          config.loop = mode;
                          return;
                      }
                  }
                  refuse("option --loop expects 'auto', 'always' or 'never', got '" + text + "'");
              });
}

void describeCredentials(CLI::App& app, DeviceConfig& config, bool& authGiven)
{
    addOption(app, "--user", "NAME", "require this user name (needs --password)",
              [&config](const std::string& text)
              {
                  if (text.empty() || text.find(':') != std::string::npos)
                  {
                      refuse("option --user needs a non-empty name without ':'");
                  }
                  config.user = text;
              });
    addOption(app, "--password", "PASS", "password for --user",
              [&config](const std::string& text) { config.password = text; });
    addOption(app, "--auth", "digest|basic",
              "authentication scheme when credentials are set (default digest)",
              [&config, &authGiven](const std::string& text)
              {
                  if (text == "digest")
                  {
                      config.auth = AuthMode::Digest;
                  }
                  else if (text == "basic")
                  {
                      config.auth = AuthMode::Basic;
                  }
                  else
                  {
                      refuse("option --auth expects 'digest' or 'basic', got '" + text + "'");
                  }
                  authGiven = true;
              });
    addInteger(app, "--nonce-lifetime", "SECS", "how long a digest nonce stays valid (default 300)",
               1, 86400,
               [&config](std::uint64_t value)
               { config.nonceLifetimeSeconds = static_cast<int>(value); });
}

void describeDevice(CLI::App& app, DeviceConfig& config)
{
    addInteger(app, "--alarm-interval", "SECS",
               "seconds between emulated alarms, 0 for none (default 10)", 0, 86400,
               [&config](std::uint64_t value)
               { config.alarmIntervalSeconds = static_cast<int>(value); });
    addInteger(app, "--uid", "N",
               "device identifier reported by /velkor/info, 0..2147483647 (default 417)", 0,
               2147483647,
               [&config](std::uint64_t value) { config.uid = static_cast<long long>(value); });
    addInteger(app, "--max-connections", "N",
               "simultaneous connections served; more get 503 (default 16)", 1, 1024,
               [&config](std::uint64_t value) { config.maxConnections = static_cast<int>(value); });
}

void describeProtocols(CLI::App& app, DeviceConfig& config)
{
    addOption(app, "--protocols", "LIST",
              "protocols served, comma-separated: velkor, onvif (default velkor,onvif)",
              [&config](const std::string& text)
              {
                  config.velkorProtocol = config.onvifProtocol = false;
                  for (std::size_t start = 0; start <= text.size();)
                  {
                      const std::size_t comma = std::min(text.find(',', start), text.size());
                      const std::string name = text.substr(start, comma - start);
                      bool& enabled =
                          name == "velkor" ? config.velkorProtocol : config.onvifProtocol;
                      if ((name != "velkor" && name != "onvif") || enabled)
                      {
                          refuse("option --protocols expects velkor, onvif or both, "
                                 "comma-separated, got '" +
                                 text + "'");
                      }
                      enabled = true;
                      start = comma + 1;
                  }
              });
}

void describeOnvif(CLI::App& app, DeviceConfig& config)
{
    addOption(app, "--onvif-stream-uri", "TEMPLATE",
              "the URI GetStreamUri answers, {channel}, {width} and {format} filled in, for "
              "example rtsp://127.0.0.1:8554/{format} (default the device's own /velkor/live)",
              [&config](const std::string& text)
              {
                  if (text.empty() || text.size() > 1024)
                  {
                      refuse("option --onvif-stream-uri expects a URI of 1 to 1024 characters");
                  }
                  config.onvifStreamUri = text;
              });
    addOption(app, "--onvif-events", "listed|unlisted",
              "whether GetCapabilities and GetServices name the event service; unlisted, the "
              "device is a camera without events whose event paths still answer (default listed)",
              [&config](const std::string& text)
              {
                  if (text != "listed" && text != "unlisted")
                  {
                      refuse("option --onvif-events expects listed or unlisted, got '" + text +
                             "'");
                  }
                  config.onvifEventsListed = text == "listed";
              });
    addOption(app, "--onvif-addressing", "optional|required",
              "whether the event service and its subscriptions refuse requests without "
              "WS-Addressing headers and the subscription's reference parameter (default optional)",
              [&config](const std::string& text)
              {
                  if (text != "optional" && text != "required")
                  {
                      refuse("option --onvif-addressing expects optional or required, got '" +
                             text + "'");
                  }
                  config.onvifAddressingRequired = text == "required";
              });
    constexpr long long kTenYears = 10LL * 366 * 86400;
    addOption(app, "--onvif-clock-offset", "SECONDS",
              "seconds added to the clock ONVIF reports and checks credentials against, "
              "may be negative (default 0)",
              [&config](const std::string& text)
              {
                  const bool negative = !text.empty() && text.front() == '-';
                  const auto value = AsciiText::parseDecimal(negative ? text.substr(1) : text);
                  if (!value || *value > static_cast<std::uint64_t>(kTenYears))
                  {
                      refuse("option --onvif-clock-offset expects seconds from -" +
                             std::to_string(kTenYears) + " to " + std::to_string(kTenYears) +
                             ", got '" + text + "'");
                  }
                  const auto seconds = static_cast<long long>(*value);
                  config.onvifClockOffsetSeconds = negative ? -seconds : seconds;
              });
}

// A host name or IPv4 address as URLs write it, or an IPv6 address, which gets its brackets.
std::optional<std::string> urlHost(const std::string& text)
{
    in6_addr ipv6{};
    if (inet_pton(AF_INET6, text.c_str(), &ipv6) == 1)
    {
        return "[" + text + "]";
    }
    const bool name = !text.empty() && text.size() <= 253 &&
                      text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                             "0123456789.-") == std::string::npos;
    return name ? std::optional<std::string>(text) : std::nullopt;
}

void describeOnvifAddresses(CLI::App& app, DeviceConfig& config)
{
    addOption(app, "--onvif-named-host", "HOST",
              "the host the ONVIF addresses and stream URIs name instead of the one the client "
              "reached, as a camera behind port forwarding does, for example 127.0.0.2",
              [&config](const std::string& text)
              {
                  const std::optional<std::string> host = urlHost(text);
                  if (!host)
                  {
                      refuse("option --onvif-named-host expects a host name or an IP address, "
                             "got '" +
                             text + "'");
                  }
                  config.onvifNamedHost = *host;
              });
}

} // namespace

CommandLineResult CommandLine::parse(const std::vector<std::string>& args)
{
    CommandLineResult result;
    DeviceConfig& config = result.config;
    bool authGiven = false;

    auto fail = [&result](std::string message)
    {
        result.action = CommandLineResult::Action::Fail;
        result.error = std::move(message);
        return result;
    };

    CLI::App app;
    describe(app, config, authGiven);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try
    {
        app.parse(reversed);
    }
    catch (const CLI::CallForHelp&)
    {
        result.action = CommandLineResult::Action::ShowHelp;
        return result;
    }
    catch (const CLI::ArgumentMismatch& error)
    {
        return fail("option " + optionNamedIn(error.what()) + " needs a value");
    }
    catch (const CLI::ParseError& error)
    {
        return fail(error.what());
    }

    const std::vector<std::string> extras = app.remaining();
    if (!extras.empty())
    {
        const std::string& first = extras.front();
        if (first.rfind("--", 0) == 0)
        {
            return fail("unknown option " + first.substr(0, first.find('=')));
        }
        return fail("unexpected argument '" + first + "'");
    }

    const bool userGiven = app.count("--user") > 0;
    if (userGiven != (app.count("--password") > 0))
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
    DeviceConfig config;
    bool authGiven = false;
    CLI::App app;
    describe(app, config, authGiven);
    return app.help();
}

void CommandLine::describe(CLI::App& app, DeviceConfig& config, bool& authGiven)
{
    app.name("velkor-device");
    app.description("Emulates a network camera speaking the velkor HTTP protocol and ONVIF (see "
                    "PROTOCOL.md).");
    app.footer("On start it prints \"velkor-device listening on http://ADDR:PORT\".\n"
               "SIGINT or SIGTERM stops it.");
    app.formatter(std::make_shared<UsageFormatter>());
    app.get_formatter()->column_width(kOptionColumn);
    app.allow_extras();
    // A repeated option counts once, with its last value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    describeNetwork(app, config);
    describeStreams(app, config);
    describeCredentials(app, config, authGiven);
    describeDevice(app, config);
    describeProtocols(app, config);
    describeOnvif(app, config);
    describeOnvifAddresses(app, config);
    // Last, to be listed last.
    app.set_help_flag("-h,--help", "show this text");
}

} // namespace velkordevice
