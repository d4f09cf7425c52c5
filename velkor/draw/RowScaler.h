#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace velkor
{

// Nearest-neighbour scaling of one row of 4-byte pixels: target pixel x of a row `targetWidth`
// wide takes the source pixel nearest to its centre, for the target pixels from `first` on,
// `count` of them. The map is made once for a set of sizes. Where the CPU has AVX2, eight target
// pixels are made at once, by one permutation of eight neighbouring source pixels where the row
// is enlarged or barely shrunk and by one gather where it is shrunk more, which leaves writing
// the row as the main cost; pixman's and libyuv's nearest-neighbour scaling are slower than a
// plain loop.
class RowScaler
{
public:
    // The source pixel nearest to the centre of target pixel `at` of `targetSize`.
    static int nearest(int at, int sourceSize, int targetSize);

    // Remakes the map unless it is for these sizes already.
    void prepare(int sourceWidth, int targetWidth, int first, int count);
    void scale(const std::uint8_t* source, std::uint8_t* target) const;
    // Makes the rows scaled so far visible to other processes; rows may be written past the cache.
    void finish() const;

private:
    // Eight target pixels: source pixels `base` + `lanes`.
    struct Block
    {
        int base = 0;
        // Whether the lanes reach beyond the eight source pixels from `base` on.
        bool gather = false;
        std::array<std::int32_t, 8> lanes{};
    };

    void scaleBlocks(const std::uint8_t* source, std::uint8_t* target) const;

    std::vector<std::uint32_t> m_columns;
    std::vector<Block> m_blocks;
    bool m_identity = false;
    std::array<int, 4> m_sizes{-1, -1, -1, -1};
};

} // namespace velkor
