// SPDX-License-Identifier: MIT
#include "video/TileSheet.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "video/Deinterlace.h"

#include <gtest/gtest.h>

TEST(TileSheet, Geometry)
{
    using G = TileSheetGeometry;
    const TileSheetLayout defaults;
    // Frames, layout, largest frame width and height; columns, rows, tile, gaps, sheet.
    const std::tuple<const char*, int, TileSheetLayout, int, int, std::optional<G>> cases[] = {
        {"8 frames of 640 x 480", 8, defaults, 640, 480, G {3, 3, 200, 150, 5, 7, 620, 478}},
        {"1 frame", 1, defaults, 640, 480, G {1, 1, 200, 150, 5, 7, 210, 164}},
        {"4 frames in 3 columns", 4, defaults, 640, 480, G {3, 2, 200, 150, 5, 7, 620, 321}},
        {"3 frames, 5 columns", 3, {5, 200, 5, 7}, 640, 480, G {3, 1, 200, 150, 5, 7, 620, 164}},
        {"columns below 1 count as 1", 2, {-3, 100, 0, 0}, 400, 300, G {1, 2, 100, 75, 0, 0, 100, 150}},
        {"tile height truncated", 2, defaults, 1920, 1080, G {2, 1, 200, 112, 5, 7, 415, 126}},
        {"no frames", 0, defaults, 640, 480, std::nullopt},
        {"no tile width", 3, {3, 0, 5, 7}, 640, 480, std::nullopt},
        {"too flat for a row", 3, defaults, 100000, 10, std::nullopt},
    };
    for (const auto& [name, count, layout, maxW, maxH, expected] : cases)
        EXPECT_EQ(TileSheetGeometryFor(count, layout, maxW, maxH), expected) << name;

    EXPECT_EQ(TileSheetGeometryFor(8, defaults, 640, 480)->Tile(4), QRect(210, 164, 200, 150));
    EXPECT_EQ(TileSheetGeometryFor(8, defaults, 640, 480)->Tile(7), QRect(210, 321, 200, 150));
}

TEST(TileSheet, DrawsFramesCaptionsAndFrames)
{
    TestDir dir;
    QList<SheetFrame> frames;
    for (int i = 0; i < 8; ++i)
        frames.append(
            {Solid(640, 480, QColor::fromHsv(i * 40, 200, 120).rgb()), {}, QString("00:00:0%1").arg(i)});
    // One frame from its file, as the page hands them over, and one whose file is gone.
    frames[4] = {{}, dir.write("frame4.png", Encode(frames[4].picture, "png")), frames[4].caption};
    frames[7] = {{}, dir.file("gone.jpg"), "00:00:07"};

    const QImage sheet = BuildTileSheet(frames, TileSheetLayout(), 640, 480);
    ASSERT_EQ(sheet.size(), QSize(620, 478));
    EXPECT_EQ(sheet.format(), QImage::Format_RGB32);
    const TileSheetGeometry grid = *TileSheetGeometryFor(8, TileSheetLayout(), 640, 480);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const QRect tile = grid.Tile(i);
        // The frame whose file is gone leaves the sheet's light grey background in its tile.
        const QRgb centre = sheet.pixel(tile.center());
        const QRgb colour = i == 7 ? centre : QColor::fromHsv(i * 40, 200, 120).rgb();
        if (i == 7) {
            EXPECT_TRUE(
                qRed(centre) >= 0xD8 && qRed(centre) == qGreen(centre) && qGreen(centre) == qBlue(centre))
                << std::hex << centre;
        } else {
            EXPECT_TRUE(Near(centre, colour, 2));
        }
        const auto other = [colour](QRgb p) { return !Near(p, colour, 8); };
        EXPECT_EQ(sheet.pixel(tile.left(), tile.center().y()), 0xFF5A5A5A);
        EXPECT_EQ(sheet.pixel(tile.center().x(), tile.top()), 0xFF5A5A5A);
        // The caption sits in the lower right corner and nowhere else.
        EXPECT_GT(CountPixels(sheet, QRect(tile.right() - 70, tile.bottom() - 18, 68, 16), other), 60);
        EXPECT_EQ(
            CountPixels(sheet, QRect(tile.left() + 2, tile.top() + 2, 120, tile.height() - 24), other), 0);
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
