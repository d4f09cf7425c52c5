#include "tests/device/AccessUnitProbe.h"

#include <algorithm>

namespace velkordevice
{

namespace
{

// Offsets of the bytes that follow each 00 00 01 start code.
std::vector<std::size_t> payloadOffsets(const std::vector<unsigned char>& data)
{
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i + 3 < data.size(); ++i)
    {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
        {
            offsets.push_back(i + 3);
            i += 2;
        }
    }
    return offsets;
}

// True if `wanted` occur in `units` in this order, other units allowed in between.
bool inOrder(const std::vector<int>& units, const std::vector<std::vector<int>>& wanted)
{
    auto at = units.begin();
    for (const auto& choices : wanted)
    {
        at = std::find_first_of(at, units.end(), choices.begin(), choices.end());
        if (at == units.end())
        {
            return false;
        }
        ++at;
    }
    return true;
}

constexpr int kMpeg4VisualObjectSequence = 0xB0;
constexpr int kMpeg4Vop = 0xB6;

} // namespace

std::vector<int> AccessUnitProbe::units(StreamFormat format, const std::vector<unsigned char>& data)
{
    std::vector<int> out;
    for (std::size_t offset : payloadOffsets(data))
    {
        const int header = data[offset];
        switch (format)
        {
        case StreamFormat::H264:
            out.push_back(header & 0x1F);
            break;
        case StreamFormat::H265:
            out.push_back((header >> 1) & 0x3F);
            break;
        case StreamFormat::Mpeg4:
        case StreamFormat::Jpeg:
            out.push_back(header);
            break;
        }
    }
    return out;
}

bool AccessUnitProbe::startsStream(StreamFormat format, const std::vector<unsigned char>& data)
{
    const std::vector<int> found = units(format, data);
    switch (format)
    {
    case StreamFormat::H264:
        // SPS, PPS, then an IDR slice.
        return inOrder(found, {{7}, {8}, {5}});
    case StreamFormat::H265:
        // VPS, SPS, PPS, then an IDR picture.
        return inOrder(found, {{32}, {33}, {34}, {19, 20}});
    case StreamFormat::Mpeg4:
    {
        std::vector<int> vol;
        for (int code = 0x20; code <= 0x2F; ++code)
        {
            vol.push_back(code);
        }
        if (!inOrder(found, {{kMpeg4VisualObjectSequence}, vol, {kMpeg4Vop}}))
        {
            return false;
        }
        // The first two bits after the VOP start code give its coding type; 0 is intra.
        const auto offsets = payloadOffsets(data);
        const auto vop = std::find(found.begin(), found.end(), kMpeg4Vop) - found.begin();
        const std::size_t typeAt = offsets[static_cast<std::size_t>(vop)] + 1;
        return typeAt < data.size() && (data[typeAt] >> 6) == 0;
    }
    case StreamFormat::Jpeg:
        break;
    }
    return data.size() > 2 && data[0] == 0xFF && data[1] == 0xD8;
}

} // namespace velkordevice
