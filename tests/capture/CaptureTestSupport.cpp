// SPDX-License-Identifier: MIT
#include "tests/capture/CaptureTestSupport.h"

QImage PatternScreen(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    return image;
}

QRect CFakeGrabber::ScreenRect() const
{
    return m_state->screen.isNull() ? QRect() : m_state->screen.rect();
}

void CFakeGrabber::SetTopmost(NativeWindow window, bool topmost)
{
    m_state->topmostCalls.emplace_back(window, topmost);
}

QImage CFakeGrabber::Grab(const QRect& area)
{
    m_state->grabs.push_back(area);
    return m_state->grabFails ? QImage() : m_state->screen.copy(area);
}
