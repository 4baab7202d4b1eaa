// SPDX-License-Identifier: MIT
#include "capture/CaptureGeometry.h"

#include <gtest/gtest.h>

// The window's frame; where the copy starts in it and the part of the 1024 x 768 screen it
// covers, both empty when there is nothing to copy.
TEST(CaptureGeometry, ClipsTheWindowToTheScreen)
{
    const std::tuple<const char*, QRect, QPoint, QRect> cases[] = {
        {"maximised, its border outside the screen", {-8, -8, 1040, 784}, {8, 8}, {0, 0, 1024, 768}},
        {"fully inside", {100, 50, 200, 120}, {0, 0}, {100, 50, 200, 120}},
        {"over the right and bottom edges", {900, 700, 300, 200}, {0, 0}, {900, 700, 124, 68}},
        {"over the left edge only", {-50, 10, 100, 20}, {50, 0}, {0, 10, 50, 20}},
        {"one pixel in the bottom right corner", {1023, 767, 5, 5}, {0, 0}, {1023, 767, 1, 1}},
        {"minimised far off the screen", {-32000, -32000, 160, 28}, {}, {}},
        {"right of the screen", {1024, 0, 100, 100}, {}, {}},
        {"ends exactly at the left edge", {-100, 0, 100, 100}, {}, {}},
        {"zero width", {10, 10, 0, 50}, {}, {}},
        {"null", {}, {}, {}},
        {"edges near the int limits", {INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX}, {}, {}},
    };
    for (const auto& [name, window, offset, copied] : cases) {
        SCOPED_TRACE(name);
        const std::optional<CaptureArea> area = ClipToScreen(window, QSize(1024, 768));
        EXPECT_EQ(area ? area->sourceOffset : QPoint(), offset);
        EXPECT_EQ(area ? area->screenRect : QRect(), copied);
        EXPECT_EQ(area.has_value(), !copied.isNull());
        EXPECT_FALSE(ClipToScreen(window, QSize()).has_value()) << "no screen, nothing to copy";
    }
}
