#include "velkor/draw/RowScaler.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace velkor
{
namespace
{

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

} // namespace

int RowScaler::nearest(int at, int sourceSize, int targetSize)
{
    return static_cast<int>((static_cast<long long>(at) * sourceSize + sourceSize / 2) /
                            targetSize);
}

void RowScaler::prepare(int sourceWidth, int targetWidth, int first, int count)
{
    const std::array<int, 4> sizes{sourceWidth, targetWidth, first, count};
    if (sizes == m_sizes)
    {
        return;
    }
    m_sizes = sizes;
    m_identity = sourceWidth == targetWidth && first == 0 && count == targetWidth;
    m_columns.resize(static_cast<std::size_t>(count));
    for (int x = 0; x < count; ++x)
    {
        m_columns[static_cast<std::size_t>(x)] =
            static_cast<std::uint32_t>(nearest(first + x, sourceWidth, targetWidth));
    }
    m_blocks.clear();
    if (!hasAvx2() || sourceWidth < 8)
    {
        return;
    }
    for (std::size_t done = 0; done + 8 <= m_columns.size(); done += 8)
    {
        Block block;
        // Eight source pixels from the base on stay inside the row.
        block.base = std::min(static_cast<int>(m_columns[done]), sourceWidth - 8);
        for (std::size_t i = 0; i < 8; ++i)
        {
            const int lane = static_cast<int>(m_columns[done + i]) - block.base;
            block.gather = block.gather || lane < 0 || lane >= 8;
            block.lanes[i] = lane;
        }
        m_blocks.push_back(block);
    }
}

void RowScaler::scale(const std::uint8_t* source, std::uint8_t* target) const
{
    if (m_identity)
    {
        std::memcpy(target, source, m_columns.size() * 4);
        return;
    }
    if (!m_blocks.empty())
    {
        scaleBlocks(source, target);
    }
    const std::uint32_t* columns = m_columns.data();
    for (std::size_t x = m_blocks.size() * 8; x < m_columns.size(); ++x)
    {
        std::memcpy(target + x * 4, source + static_cast<std::size_t>(columns[x]) * 4, 4);
    }
}

void RowScaler::finish() const
{
    if (!m_blocks.empty())
    {
        _mm_sfence();
    }
}

__attribute__((target("avx2"))) void RowScaler::scaleBlocks(const std::uint8_t* source,
                                                            std::uint8_t* target) const
{
    // Rows usually go to memory that the X server reads next, from another core: streamed past
    // the cache, their lines need not be read before they are overwritten whole.
    const bool aligned = reinterpret_cast<std::uintptr_t>(target) % 32 == 0;
    std::uint8_t* out = target;
    for (const Block& block : m_blocks)
    {
        const std::uint8_t* from = source + static_cast<std::size_t>(block.base) * 4;
        const __m256i lanes =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block.lanes.data()));
        const __m256i pixels =
            block.gather ? _mm256_i32gather_epi32(reinterpret_cast<const int*>(from), lanes, 4)
                         : _mm256_permutevar8x32_epi32(
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)), lanes);
        if (aligned)
        {
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out), pixels);
        }
        else
        {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), pixels);
        }
        out += 32;
    }
}

} // namespace velkor
