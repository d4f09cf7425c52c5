// Feeds arbitrary bytes to the multipart parser in arbitrary pieces. The first input byte picks
// the piece size, so the fuzzer also explores how a stream is split.
#include "velkor/native/MultipartParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    velkor::MultipartParser::Limits limits;
    limits.maxHeaderBlock = 512;
    limits.maxHeaders = 8;
    limits.maxPartSize = 4096;
    std::size_t parts = 0;
    velkor::MultipartParser parser(
        "velkorframe",
        [&](const velkor::MultipartPart& part)
        {
            if (part.size > limits.maxPartSize || part.headers.size() > limits.maxHeaders)
                std::abort();
            ++parts;
        },
        limits);
    for (std::size_t at = 0; at < size; at += piece)
    {
        const std::size_t length = size - at < piece ? size - at : piece;
        if (!parser.feed(data + at, length))
            break;
    }
    if (parts != parser.partCount())
        std::abort();
    return 0;
}
