// Feeds arbitrary bytes to the event-stream parser in arbitrary pieces and every event it yields
// to the device-event reader. The first input byte picks the piece size.
#include "velkor/native/DeviceEvent.h"
#include "velkor/native/SseParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    constexpr std::size_t kMaxData = 1024;
    velkor::SseParser parser(
        [](std::string_view type, std::string_view payload)
        {
            if (payload.size() > kMaxData)
                std::abort();
            velkor::DeviceEvent::parse(type, payload);
        },
        256, kMaxData);
    const char* text = reinterpret_cast<const char*>(data);
    for (std::size_t at = 0; at < size; at += piece)
    {
        const std::size_t length = size - at < piece ? size - at : piece;
        if (!parser.feed(text + at, length))
            break;
    }
    return 0;
}
