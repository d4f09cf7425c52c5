#pragma once

#include "velkor/decode/Frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct SwsContext;
struct YuvConstants;

namespace velkor
{

// The rows of a decoded picture as B, G, R, X pixels, converted when they are asked for, a few
// at a time: with libyuv for the YUV layouts and colour spaces decoders give out (it converts in
// half the time libswscale takes), straight from the picture when it is B, G, R, X already, and
// through libswscale, the whole picture at once, for any other layout.
class PictureRows
{
public:
    PictureRows() = default;
    ~PictureRows();
    PictureRows(const PictureRows&) = delete;
    PictureRows& operator=(const PictureRows&) = delete;

    // The picture whose rows come next, `batch` rows converted at once; false when its layout
    // cannot be converted. The picture must outlive the rows taken from it. With `halve`, a
    // picture whose chroma is half as wide as its luma gives rows of every second pixel.
    bool start(const Frame& picture, int batch, bool halve = false);
    // Row `y`, valid until the next call; null when it could not be converted.
    const std::uint8_t* row(int y);
    // Pixels in a row.
    int rowWidth() const { return m_rowWidth; }

private:
    using Converter = int (*)(const std::uint8_t*, int, const std::uint8_t*, int,
                              const std::uint8_t*, int, std::uint8_t*, int, const YuvConstants*,
                              int, int);

    bool convertBatch(int y);
    bool convertHalved(int first, int count);
    bool convertWhole();

    const AVFrame* m_picture = nullptr;
    Converter m_converter = nullptr;
    const YuvConstants* m_constants = nullptr;
    // Chroma rows per luma row: 1, or 2 for 4:2:0.
    int m_chromaStep = 1;
    int m_batch = 1;
    int m_rowWidth = 0;
    bool m_halved = false;
    // One row's luma samples at the columns chroma sits at, and the others.
    std::vector<std::uint8_t> m_luma;
    std::vector<std::uint8_t> m_otherLuma;
    std::vector<std::uint8_t> m_rows;
    int m_first = 0;
    int m_count = 0;
    SwsContext* m_context = nullptr;
    Frame m_converted;
    bool m_whole = false;
};

} // namespace velkor
