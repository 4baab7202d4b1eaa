// SPDX-License-Identifier: MIT
#include "imaging/Overlay.h"
#include "imaging/OutlinedText.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QPainter>
#include <gtest/gtest.h>

constexpr QRgb kGreen = 0xFF00C800;
constexpr QRgb kGrey = 0xFF808080;

TEST(StampText, SitsAtEachOfTheSixPositionsWhiteInsideADarkOutline)
{
    const QSizeF size = OutlinedTextSize(ToQFont(AppearancePart().Text.Font), "Vellmar");
    ASSERT_GT(size.width(), 20);
    // The ink's left, top, right and bottom edge at positions 0 to 5 (-1 where the alignment leaves
    // it open): the layout box is (1, 1, 800, 601) with a 2-pixel inset.
    const int edges[6][4] = {{3, 3, -1, -1}, {-1, 3, -1, -1}, {-1, 3, 798, -1}, {3, -1, -1, 599},
        {-1, -1, -1, 599}, {-1, -1, 798, 599}};
    // The glyphs sit a little inside the drawn box: each set edge lies at most a few pixels inside
    // its expected line, never outside.
    auto inside = [](int actual, int expected, int inward) {
        return expected < 0 || ((actual - expected) * inward >= 0 && std::abs(actual - expected) <= 6);
    };
    for (int position = 0; position < 6; ++position) {
        AppearancePart appearance;
        appearance.Text.Position = StampPosition(position);
        QImage image = Solid(800, 600, kGreen);
        QPainter painter(&image);
        StampText(painter, 800, 600, appearance);
        painter.end();
        const QRect ink = InkBox(image, kGreen);
        const int* e = edges[position];
        ASSERT_FALSE(ink.isEmpty()) << position;
        EXPECT_NEAR(ink.width(), size.width(), 8) << position;
        EXPECT_LE(ink.height(), size.height()) << position;
        EXPECT_TRUE(inside(ink.left(), e[0], 1) && inside(ink.top(), e[1], 1) && inside(ink.right(), e[2], -1)
            && inside(ink.bottom(), e[3], -1))
            << position << ": " << ink.left() << "," << ink.top() << " to " << ink.right() << ","
            << ink.bottom();
        if (position == 1 || position == 4) {
            EXPECT_NEAR(ink.center().x(), 401, 3) << position;
        }
        if (position != 5)
            continue;
        // No white pixel touches the green: the dark outline surrounds the fill.
        const auto white = [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; };
        const auto green = [](QRgb p) { return Near(p, kGreen, 20); };
        int whites = 0;
        for (int y = ink.top(); y <= ink.bottom(); ++y)
            for (int x = ink.left(); x <= ink.right(); ++x)
                if (white(image.pixel(x, y))) {
                    ++whites;
                    ASSERT_EQ(CountPixels(image, QRect(x - 1, y - 1, 3, 3) & image.rect(), green), 0)
                        << x << "," << y;
                }
        EXPECT_GT(whites, 10);
        EXPECT_GT(
            CountPixels(image, ink, [](QRgb p) { return qRed(p) < 40 && qGreen(p) < 90 && qBlue(p) < 40; }),
            whites / 2);
    }

    // The renderer behind the stamp takes any other alignment as far, draws nothing for no text, and
    // draws a line too long for its large rendering's box whole.
    const QFont font = ToQFont(AppearancePart().Text.Font);
    auto draw = [&](const QString& text, int h, int v, int width = 200) {
        QImage image = Solid(width, 60, kGrey);
        QPainter painter(&image);
        DrawOutlinedText(painter, text, QRectF(0, 0, width, 60), font, 0xFFFFFFFF, 0xB4000000, h, v, 1.0f);
        return image;
    };
    EXPECT_EQ(draw("Far", 3, 3), draw("Far", 2, 2));
    EXPECT_EQ(draw("Far", -1, 7), draw("Far", 2, 2));
    EXPECT_NE(draw("Far", 0, 0), draw("Far", 2, 2));
    EXPECT_EQ(draw("", 1, 1), Solid(200, 60, kGrey));

    const QString longText(255, u'W');
    EXPECT_NEAR(
        InkBox(draw(longText, 0, 0, 4000), kGrey).width(), OutlinedTextSize(font, longText).width(), 10);
    EXPECT_GT(OutlinedTextSize(font, longText).width(), 2000);
}

TEST(StampLogo, IsPlacedAtItsOwnSizeAndBlendedByItsOwnAlpha)
{
    TestDir dir;
    QImage logo = Solid(100, 50, qRgba(0, 0, 255, 128), QImage::Format_ARGB32); // red on the left half
    QPainter(&logo).fillRect(0, 0, 50, 50, Qt::red);
    AppearancePart appearance;
    appearance.Logo.Filename = dir.write("logo.png", Encode(logo, "png"));
    const QRgb blended = qRgb(64, 64, 192); // half blue over grey
    // On 801 x 600 the centred logo sits at 350.5, truncated.
    const QPoint origins[] = {{0, 0}, {350, 0}, {701, 0}, {0, 550}, {350, 550}, {701, 550}};
    for (int position = 0; position < 6; ++position) {
        appearance.Logo.Position = StampPosition(position);
        QImage image = Solid(801, 600, kGrey);
        QPainter painter(&image);
        StampLogo(painter, 801, 600, appearance);
        painter.end();
        const QPoint o = origins[position];
        EXPECT_TRUE(Near(image.pixel(o + QPoint(10, 10)), qRgb(255, 0, 0), 1)) << position;
        EXPECT_TRUE(Near(image.pixel(o + QPoint(90, 40)), blended, 2)) << position;
        EXPECT_EQ(InkBox(image, kGrey, 0), QRect(o, logo.size())) << position;
    }
    // -99.5: cut on both sides.
    EXPECT_EQ(LogoOrigin(StampPosition::BottomCenter, 801, 600, QSize(1000, 50)), QPoint(-99, 550));
}
