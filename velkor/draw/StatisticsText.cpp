#include "velkor/draw/StatisticsText.h"

#include "velkor/decode/StreamFormats.h"
#include "velkor/draw/NoSignalPicture.h"
#include "velkor/stats/LiveCounters.h"

#include <cstdio>

namespace velkor
{
namespace
{

std::string decimal(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

std::string latencyText(std::size_t milliseconds)
{
    // The last bucket holds everything later.
    return (milliseconds >= LiveCounters::kLatencyBuckets ? "over " : "") +
           std::to_string(milliseconds) + " ms";
}

std::string happenings(const char* one, const char* more, std::uint64_t count,
                       const std::optional<std::chrono::seconds>& since)
{
    std::string text = std::to_string(count) + " " + (count == 1 ? one : more);
    if (since)
    {
        text += ", last " + NoSignalPicture::elapsed(*since) + " ago";
    }
    return text;
}

} // namespace

std::vector<std::string> StatisticsText::lines(const LiveStatistics::Figures& figures)
{
    std::vector<std::string> lines;
    lines.push_back(
        "Source: " + (figures.source.empty() ? std::string("connecting") : figures.source) +
        (figures.transport.empty() ? "" : " (" + figures.transport + ")"));
    std::string video = figures.codec ? std::string(StreamFormats::name(*figures.codec))
                        : figures.whyUndecodable.empty()
                            ? "none yet"
                            : "no picture decoded: " + figures.whyUndecodable;
    if (!figures.profile.empty())
    {
        video += " " + figures.profile;
    }
    if (figures.size.width > 0)
    {
        video +=
            ", " + std::to_string(figures.size.width) + "x" + std::to_string(figures.size.height);
    }
    lines.push_back("Video: " + video);
    lines.push_back("Frames: " + decimal(figures.receivedFps, 1) + " fps received, " +
                    decimal(figures.drawnFps, 1) + " fps drawn");
    lines.push_back("Bitrate: " + decimal(figures.kbitPerSecond, 0) + " kbit/s, " +
                    decimal(figures.kbitPerSecondSincePlay, 0) + " kbit/s since play began");
    lines.push_back(figures.latencyP50Ms
                        ? "Latency: " + latencyText(*figures.latencyP50Ms) + " median, " +
                              latencyText(figures.latencyMaxMs.value_or(0)) + " at most (last " +
                              std::to_string(LiveStatistics::kLatencyWindow.count()) + " s)"
                        : std::string("Latency: not known (no device timestamps)"));
    lines.push_back(figures.decodeMs
                        ? "Decoding: " + decimal(*figures.decodeMs, 1) + " ms per picture"
                        : std::string("Decoding: nothing decoded"));
    if (!figures.keyframeInterval)
    {
        lines.emplace_back("Keyframes: fewer than two seen");
    }
    else
    {
        lines.push_back(*figures.keyframeInterval == 1
                            ? std::string("Keyframes: every picture")
                            : "Keyframes: every " + std::to_string(*figures.keyframeInterval) +
                                  " pictures");
    }
    lines.push_back("Pictures: " + std::to_string(figures.replaced) + " replaced by a newer one, " +
                    std::to_string(figures.undecodable) + " undecodable, " +
                    std::to_string(figures.concealed) + " concealed, " +
                    std::to_string(figures.leftOut) + " left out");
    lines.push_back("Losses: " + happenings("loss", "losses", figures.losses, figures.sinceLoss) +
                    "; " +
                    happenings("reconnection", "reconnections", figures.reconnections,
                               figures.sinceReconnection));
    return lines;
}

} // namespace velkor
