// SPDX-License-Identifier: MIT
#include "capture/CaptureGeometry.h"

#include <gtest/gtest.h>

namespace {

struct GeometryCase
{
    const char* name;
    QRect window;
    std::optional<CaptureArea> expected;
};

TEST(CaptureGeometry, ClipsTheWindowToTheScreen)
{
    const QSize screen(1024, 768);
    const GeometryCase cases[] = {
        {"maximised window with its border outside the screen", QRect(-8, -8, 1040, 784),
            CaptureArea {QPoint(8, 8), QRect(0, 0, 1024, 768)}},
        {"window fully inside", QRect(100, 50, 200, 120),
            CaptureArea {QPoint(0, 0), QRect(100, 50, 200, 120)}},
        {"hangs over the right and bottom edges", QRect(900, 700, 300, 200),
            CaptureArea {QPoint(0, 0), QRect(900, 700, 124, 68)}},
        {"hangs over the left edge only", QRect(-50, 10, 100, 20),
            CaptureArea {QPoint(50, 0), QRect(0, 10, 50, 20)}},
        {"one pixel in the bottom right corner", QRect(1023, 767, 5, 5),
            CaptureArea {QPoint(0, 0), QRect(1023, 767, 1, 1)}},
        {"minimised far off the screen", QRect(-32000, -32000, 160, 28), std::nullopt},
        {"right of the screen", QRect(1024, 0, 100, 100), std::nullopt},
        {"ends exactly at the left edge", QRect(-100, 0, 100, 100), std::nullopt},
        {"zero width", QRect(10, 10, 0, 50), std::nullopt},
        {"null rectangle", QRect(), std::nullopt},
        {"edges near the int limits", QRect(INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX), std::nullopt},
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<CaptureArea> area = ClipToScreen(c.window, screen);
        ASSERT_EQ(area.has_value(), c.expected.has_value());
        EXPECT_FALSE(ClipToScreen(c.window, QSize()).has_value()) << "no screen, nothing to copy";
        if (area) {
            EXPECT_EQ(area->sourceOffset, c.expected->sourceOffset);
            EXPECT_EQ(area->screenRect, c.expected->screenRect);
        }
    }
}

} // namespace

// Our own hidden dialog may still be the active window; the window the user meant is then the
// topmost one that is neither ours nor hidden.
TEST(CaptureGeometry, TheActiveWindowIsNeverOurOwn)
{
    const std::vector<quint64> stacking = {10, 11, 12, 13, 14}; // bottom to top
    auto isOwn = [](quint64 w) { return w == 13 || w == 14; };
    auto isShown = [](quint64 w) { return w != 12; };
    const struct
    {
        quint64 active;
        std::vector<quint64> stacking;
        quint64 target;
    } cases[] = {
        {11, stacking, 11}, // someone else's window: itself, even under ours
        {14, stacking, 11}, // ours: the topmost shown window that is not ours
        {0, stacking, 11}, // none named: the same
        {13, {13, 14}, 0}, // nothing but ours
        {14, {}, 0}, // no stacking list
    };
    for (const auto& c : cases)
        EXPECT_EQ(CaptureTarget(c.active, c.stacking, isOwn, isShown), c.target) << c.active;
}
