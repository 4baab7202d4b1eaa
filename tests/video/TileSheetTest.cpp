// SPDX-License-Identifier: MIT
#include "video/TileSheet.h"
#include "tests/support/TempDir.h"
#include "video/Deinterlace.h"

#include <gtest/gtest.h>

namespace {

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

int CountNot(const QImage& image, const QRect& area, QRgb color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += Near(image.pixel(x, y), color, 8) ? 0 : 1;
    return count;
}

} // namespace

TEST(TileSheet, Geometry)
{
    using G = TileSheetGeometry;
    const TileSheetLayout defaults;
    const struct
    {
        const char* name;
        int count;
        TileSheetLayout layout;
        int maxW, maxH;
        std::optional<G> expected; ///< columns, rows, tile, gaps, sheet
    } cases[] = {
        {"8 frames of 640 x 480", 8, defaults, 640, 480, G {3, 3, 200, 150, 5, 7, 620, 478}},
        {"1 frame", 1, defaults, 640, 480, G {1, 1, 200, 150, 5, 7, 210, 164}},
        {"4 frames in 3 columns", 4, defaults, 640, 480, G {3, 2, 200, 150, 5, 7, 620, 321}},
        {"3 frames, 5 columns", 3, {5, 200, 5, 7}, 640, 480, G {3, 1, 200, 150, 5, 7, 620, 164}},
        {"columns 0 count as 1", 2, {0, 200, 5, 7}, 640, 480, G {1, 2, 200, 150, 5, 7, 210, 321}},
        {"negative columns too", 2, {-3, 100, 0, 0}, 400, 300, G {1, 2, 100, 75, 0, 0, 100, 150}},
        {"tile height truncated", 2, defaults, 1920, 1080, G {2, 1, 200, 112, 5, 7, 415, 126}},
        {"no frames", 0, defaults, 640, 480, std::nullopt},
        {"no largest width", 3, defaults, 0, 480, std::nullopt},
        {"no tile width", 3, {3, 0, 5, 7}, 640, 480, std::nullopt},
        {"too flat for a row", 3, defaults, 100000, 10, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TileSheetGeometryFor(c.count, c.layout, c.maxW, c.maxH), c.expected) << c.name;

    EXPECT_EQ(TileSheetGeometryFor(8, defaults, 640, 480)->Tile(4), QRect(210, 164, 200, 150));
    EXPECT_EQ(TileSheetGeometryFor(8, defaults, 640, 480)->Tile(7), QRect(210, 321, 200, 150));
}

TEST(TileSheet, DrawsFramesCaptionsAndFrames)
{
    TestDir dir;
    QList<SheetFrame> frames;
    for (int i = 0; i < 8; ++i) {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 40, 200, 120));
        frames.append({picture, {}, QStringLiteral("00:00:0%1").arg(i)});
    }
    // One frame from its file, as the page hands them over, and one whose file is gone.
    const QString file = dir.file(QStringLiteral("frame4.png"));
    ASSERT_TRUE(frames[4].picture.save(file));
    frames[4].path = file;
    frames[4].picture = {};
    frames[7] = {{}, dir.file(QStringLiteral("gone.jpg")), QStringLiteral("00:00:07")};

    const QImage sheet = BuildTileSheet(frames, TileSheetLayout(), 640, 480);
    ASSERT_EQ(sheet.size(), QSize(620, 478));
    EXPECT_EQ(sheet.format(), QImage::Format_RGB32);
    const TileSheetGeometry grid = *TileSheetGeometryFor(8, TileSheetLayout(), 640, 480);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const QRect tile = grid.Tile(i);
        const QRgb colour = i == 7 ? sheet.pixel(tile.center()) : QColor::fromHsv(i * 40, 200, 120).rgb();
        EXPECT_TRUE(Near(sheet.pixel(tile.center()), colour, 2));
        EXPECT_EQ(sheet.pixel(tile.left(), tile.center().y()), 0xFF5A5A5A);
        EXPECT_EQ(sheet.pixel(tile.center().x(), tile.top()), 0xFF5A5A5A);
        // The caption sits in the lower right corner and nowhere else.
        EXPECT_GT(CountNot(sheet, QRect(tile.right() - 70, tile.bottom() - 18, 68, 16), colour), 60);
        EXPECT_EQ(
            CountNot(sheet, QRect(tile.left() + 2, tile.top() + 2, 120, tile.height() - 24), colour), 0);
    }
    // The background runs from light grey at the upper right to lighter at the lower left.
    EXPECT_TRUE(Near(sheet.pixel(619, 0), 0xFFE0E0E0, 2));
    EXPECT_TRUE(Near(sheet.pixel(0, 477), 0xFFF3F3F3, 2));

    EXPECT_TRUE(BuildTileSheet({}, TileSheetLayout(), 640, 480).isNull());
    EXPECT_TRUE(BuildTileSheet(frames, TileSheetLayout(), 0, 0).isNull());
}

TEST(TileSheet, DeinterlaceBlendsLines)
{
    QImage combed(8, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(combed.scanLine(y)), 8, y % 2 ? 0xFFFFFFFF : 0xFF000000);
    const QImage blended = Deinterlace(combed);
    ASSERT_EQ(blended.size(), combed.size());
    EXPECT_EQ(blended.format(), QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        EXPECT_TRUE(Near(blended.pixel(4, y), 0xFF808080, 40)) << y << " " << std::hex << blended.pixel(4, y);

    const QImage line(8, 1, QImage::Format_RGB32);
    EXPECT_EQ(Deinterlace(line), line);
}
