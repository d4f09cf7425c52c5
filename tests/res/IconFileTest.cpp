#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace
{

constexpr std::size_t kDirHeaderSize = 6;
constexpr std::size_t kDirEntrySize = 16;
constexpr std::size_t kInfoHeaderSize = 40;

struct IconEntry
{
    int width = 0;
    int height = 0;
    int colourCount = 0;
    int planes = 0;
    int bitCount = 0;
    std::uint32_t bytes = 0;
    std::uint32_t offset = 0;
};

QString iconPath()
{
    return QString::fromUtf8(QUILLON_ICON_PATH);
}

QByteArray readIconFile()
{
    QFile file(iconPath());
    if (!file.open(QIODevice::ReadOnly))
    {
        return {};
    }
    return file.readAll();
}

std::uint32_t le16(const QByteArray& data, std::size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t le32(const QByteArray& data, std::size_t at)
{
    return le16(data, at) | le16(data, at + 2) << 16;
}

std::int32_t les32(const QByteArray& data, std::size_t at)
{
    return static_cast<std::int32_t>(le32(data, at));
}

std::size_t rowStride(int width, int bitCount)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

std::vector<IconEntry> parseDirectory(const QByteArray& data)
{
    std::vector<IconEntry> entries;
    const std::size_t count = le16(data, 4);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::size_t at = kDirHeaderSize + i * kDirEntrySize;
        const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
        IconEntry e;
        // A zero byte in the directory stands for 256 pixels.
        e.width = p[0] == 0 ? 256 : p[0];
        e.height = p[1] == 0 ? 256 : p[1];
        e.colourCount = p[2];
        e.planes = static_cast<int>(le16(data, at + 4));
        e.bitCount = static_cast<int>(le16(data, at + 6));
        e.bytes = le32(data, at + 8);
        e.offset = le32(data, at + 12);
        entries.push_back(e);
    }
    return entries;
}

class IconFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_data = readIconFile();
        ASSERT_GE(static_cast<std::size_t>(m_data.size()), kDirHeaderSize)
            << "cannot read " << QUILLON_ICON_PATH;
        const std::size_t count = le16(m_data, 4);
        ASSERT_GE(static_cast<std::size_t>(m_data.size()), kDirHeaderSize + count * kDirEntrySize);
        m_entries = parseDirectory(m_data);
    }

    std::size_t fileSize() const { return static_cast<std::size_t>(m_data.size()); }

    // Bit of the AND mask of an entry; x and y count from the top-left corner.
    bool maskBit(const IconEntry& e, int x, int y) const
    {
        const std::size_t paletteBytes = e.bitCount <= 8 ? (std::size_t{1} << e.bitCount) * 4 : 0;
        const std::size_t xorBytes =
            rowStride(e.width, e.bitCount) * static_cast<std::size_t>(e.height);
        const std::size_t maskStart = e.offset + kInfoHeaderSize + paletteBytes + xorBytes;
        const std::size_t row = static_cast<std::size_t>(e.height - 1 - y);
        const std::size_t at =
            maskStart + row * rowStride(e.width, 1) + static_cast<std::size_t>(x / 8);
        const auto byte = static_cast<unsigned char>(m_data.at(static_cast<qsizetype>(at)));
        return (byte & (0x80u >> (x % 8))) != 0;
    }

    QByteArray m_data;
    std::vector<IconEntry> m_entries;
};

TEST_F(IconFileTest, DirectoryHoldsExactlyTheNineSizeAndDepthCombinations)
{
    EXPECT_EQ(le16(m_data, 0), 0u);
    EXPECT_EQ(le16(m_data, 2), 1u) << "resource type must be icon";
    ASSERT_EQ(m_entries.size(), 9u);

    std::set<std::pair<int, int>> seen;
    for (const IconEntry& e : m_entries)
    {
        EXPECT_EQ(e.width, e.height);
        EXPECT_EQ(e.planes, 1);
        EXPECT_EQ(e.colourCount, e.bitCount == 4 ? 16 : 0)
            << e.width << "px " << e.bitCount << "bpp";
        seen.insert({e.width, e.bitCount});
    }
    const std::set<std::pair<int, int>> expected{{48, 4},  {48, 8}, {48, 24}, {32, 4}, {32, 8},
                                                 {32, 24}, {16, 4}, {16, 8},  {16, 24}};
    EXPECT_EQ(seen, expected);
}

TEST_F(IconFileTest, PicturesFillTheFileWithoutGapsOrOverlap)
{
    std::size_t expectedOffset = kDirHeaderSize + m_entries.size() * kDirEntrySize;
    for (const IconEntry& e : m_entries)
    {
        EXPECT_EQ(e.offset, expectedOffset);
        ASSERT_LE(std::size_t{e.offset} + e.bytes, fileSize());
        expectedOffset = std::size_t{e.offset} + e.bytes;
    }
    EXPECT_EQ(expectedOffset, fileSize());
}

TEST_F(IconFileTest, BitmapHeadersAgreeWithTheDirectory)
{
    for (const IconEntry& e : m_entries)
    {
        SCOPED_TRACE(testing::Message() << e.width << "px " << e.bitCount << "bpp");
        ASSERT_LE(std::size_t{e.offset} + kInfoHeaderSize, fileSize());
        const std::size_t h = e.offset;
        EXPECT_EQ(le32(m_data, h), kInfoHeaderSize);
        EXPECT_EQ(les32(m_data, h + 4), e.width);
        EXPECT_EQ(les32(m_data, h + 8), 2 * e.height) << "height covers image and mask";
        EXPECT_EQ(le16(m_data, h + 12), 1u);
        EXPECT_EQ(static_cast<int>(le16(m_data, h + 14)), e.bitCount);
        EXPECT_EQ(le32(m_data, h + 16), 0u) << "uncompressed";

        const std::size_t paletteBytes = e.bitCount <= 8 ? (std::size_t{1} << e.bitCount) * 4 : 0;
        const std::size_t rows = static_cast<std::size_t>(e.height);
        const std::size_t pixelBytes =
            rowStride(e.width, e.bitCount) * rows + rowStride(e.width, 1) * rows;
        EXPECT_EQ(e.bytes, kInfoHeaderSize + paletteBytes + pixelBytes);
    }
}

TEST_F(IconFileTest, MaskIsTransparentOnlyOutsideTheRoundedSquare)
{
    for (const IconEntry& e : m_entries)
    {
        SCOPED_TRACE(testing::Message() << e.width << "px " << e.bitCount << "bpp");
        const int last = e.width - 1;
        const int mid = e.width / 2;
        EXPECT_TRUE(maskBit(e, 0, 0));
        EXPECT_TRUE(maskBit(e, last, 0));
        EXPECT_TRUE(maskBit(e, 0, last));
        EXPECT_TRUE(maskBit(e, last, last));
        EXPECT_FALSE(maskBit(e, mid, mid));
        EXPECT_FALSE(maskBit(e, mid, 0));
        EXPECT_FALSE(maskBit(e, 0, mid));
        EXPECT_FALSE(maskBit(e, mid, last));
        EXPECT_FALSE(maskBit(e, last, mid));
    }
}

// The desktop entry's PNG is committed beside the icon file; it must show the icon's largest
// true-colour picture, transparent exactly where that picture's mask is.
TEST_F(IconFileTest, DesktopPngIsTheLargestTrueColourPicture)
{
    const QImage png =
        QImage(QString::fromUtf8(QUILLON_ICON_PNG_PATH)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(png.isNull()) << "cannot read " << QUILLON_ICON_PNG_PATH;
    int index = -1;
    for (std::size_t i = 0; i < m_entries.size(); ++i)
    {
        if (m_entries[i].width == 48 && m_entries[i].bitCount == 24)
        {
            index = static_cast<int>(i);
        }
    }
    ASSERT_GE(index, 0);
    const IconEntry& entry = m_entries.at(static_cast<std::size_t>(index));
    QImageReader reader(iconPath(), QByteArrayLiteral("ico"));
    ASSERT_TRUE(reader.jumpToImage(index));
    const QImage picture = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(png.size(), picture.size());

    int mismatches = 0;
    for (int y = 0; y < png.height(); ++y)
    {
        for (int x = 0; x < png.width(); ++x)
        {
            const QRgb shown = png.pixel(x, y);
            const bool masked = maskBit(entry, x, y);
            if (qAlpha(shown) != (masked ? 0 : 255) ||
                (!masked && qRgb(qRed(shown), qGreen(shown), qBlue(shown)) !=
                                qRgb(qRed(picture.pixel(x, y)), qGreen(picture.pixel(x, y)),
                                     qBlue(picture.pixel(x, y)))))
            {
                ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << "run scripts/make-icon.py after changing the icon";
}

TEST(QtIcoReaderTest, ReadsEveryPictureAtItsSize)
{
    QByteArray data = readIconFile();
    ASSERT_FALSE(data.isEmpty());
    const std::vector<IconEntry> entries = parseDirectory(data);

    QImageReader reader(iconPath(), QByteArrayLiteral("ico"));
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    ASSERT_EQ(reader.imageCount(), static_cast<int>(entries.size()));

    for (int i = 0; i < reader.imageCount(); ++i)
    {
        const IconEntry& e = entries.at(static_cast<std::size_t>(i));
        SCOPED_TRACE(testing::Message()
                     << "image " << i << ": " << e.width << "px " << e.bitCount << "bpp");
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.width(), e.width);
        EXPECT_EQ(image.height(), e.height);
        const QRgb corner = image.pixel(0, 0);
        if (e.bitCount == 24)
        {
            // Qt drops the mask of true-colour pictures; masked pixels must still be black so
            // the screen shows through where the mask is drawn.
            EXPECT_EQ(qRgb(qRed(corner), qGreen(corner), qBlue(corner)), qRgb(0, 0, 0));
        }
        else
        {
            EXPECT_EQ(qAlpha(corner), 0);
        }
        EXPECT_EQ(qAlpha(image.pixel(e.width / 2, e.height / 2)), 255);
    }
}

// The palette pictures must show the same motif as the true-colour one of their size: a wrong
// palette byte order or a misaligned row shows up as a large colour difference.
TEST(QtIcoReaderTest, PalettePicturesMatchTheTrueColourOne)
{
    QByteArray data = readIconFile();
    ASSERT_FALSE(data.isEmpty());
    const std::vector<IconEntry> entries = parseDirectory(data);

    QImageReader reader(iconPath(), QByteArrayLiteral("ico"));
    std::vector<QImage> images;
    for (int i = 0; i < reader.imageCount(); ++i)
    {
        ASSERT_TRUE(reader.jumpToImage(i));
        images.push_back(reader.read().convertToFormat(QImage::Format_ARGB32));
    }
    ASSERT_EQ(images.size(), entries.size());

    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        if (entries[i].bitCount == 24)
        {
            continue;
        }
        const QImage* reference = nullptr;
        for (std::size_t j = 0; j < entries.size(); ++j)
        {
            if (entries[j].bitCount == 24 && entries[j].width == entries[i].width)
            {
                reference = &images[j];
            }
        }
        ASSERT_NE(reference, nullptr);
        SCOPED_TRACE(testing::Message()
                     << entries[i].width << "px " << entries[i].bitCount << "bpp");

        long long difference = 0;
        long long opaque = 0;
        for (int y = 0; y < reference->height(); ++y)
        {
            for (int x = 0; x < reference->width(); ++x)
            {
                const QRgb a = images[i].pixel(x, y);
                const QRgb b = reference->pixel(x, y);
                // Only the palette picture carries its mask through Qt's reader.
                if (qAlpha(a) == 0)
                {
                    continue;
                }
                ++opaque;
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
            }
        }
        ASSERT_GT(opaque, 0);
        EXPECT_LT(difference / opaque, 40) << "mean colour distance per pixel";
    }
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The ico reader needs no display; the offscreen platform lets this run on a headless CI box.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
