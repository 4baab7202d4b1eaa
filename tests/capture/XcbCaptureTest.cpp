// SPDX-License-Identifier: MIT
// The X11 grabber on a real X server: CTest runs this program under xvfb-run on a 1024 x 768
// screen, with no window manager, so the test plays its part (_NET_ACTIVE_WINDOW and the
// stacking list on the root window).
#include "capture/platform/CXcbScreenGrabber.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace {

struct ConnectionDeleter
{
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

// A connection of its own, so the windows it makes belong to "another program" as far as the
// grabber can tell: they are not Qt's and carry no process id.
class OtherClient
{
public:
    OtherClient()
        : m_c(xcb_connect(nullptr, &m_screenNumber))
    {
        if (xcb_connection_has_error(m_c.get()))
            return;
        m_ok = xcb_ewmh_init_atoms_replies(&m_ewmh, xcb_ewmh_init_atoms(m_c.get(), &m_ewmh), nullptr);
    }
    ~OtherClient()
    {
        if (m_ok)
            xcb_ewmh_connection_wipe(&m_ewmh);
    }
    bool ok() const { return m_ok; }

    /// A window filled with `rgb` by the server itself, mapped when `show`.
    xcb_window_t Window(const QRect& rect, uint32_t rgb, bool show = true)
    {
        xcb_screen_t* screen = m_ewmh.screens[m_screenNumber];
        const xcb_window_t w = xcb_generate_id(m_c.get());
        const uint32_t values[] = {rgb, 1}; // background pixel; override-redirect: placed as asked
        xcb_create_window(m_c.get(), XCB_COPY_FROM_PARENT, w, screen->root, int16_t(rect.x()),
            int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT,
            values);
        if (show)
            xcb_map_window(m_c.get(), w);
        xcb_flush(m_c.get());
        return w;
    }

    /// The window manager's part: the active window (0 removes the property) and the stacking.
    void Publish(xcb_window_t active, const std::vector<xcb_window_t>& stacking)
    {
        const xcb_window_t root = m_ewmh.screens[m_screenNumber]->root;
        if (active)
            xcb_ewmh_set_active_window(&m_ewmh, m_screenNumber, active);
        else
            xcb_delete_property(m_c.get(), root, m_ewmh._NET_ACTIVE_WINDOW);
        xcb_ewmh_set_client_list_stacking(
            &m_ewmh, m_screenNumber, uint32_t(stacking.size()), const_cast<xcb_window_t*>(stacking.data()));
        // A round trip: the properties are set before the grabber reads them.
        std::free(xcb_get_input_focus_reply(m_c.get(), xcb_get_input_focus(m_c.get()), nullptr));
    }

private:
    int m_screenNumber = 0;
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> m_c;
    xcb_ewmh_connection_t m_ewmh {};
    bool m_ok = false;
};

// The active window as the screenshot dialog asks for it.
CaptureOutcome CaptureActiveWindow(CXcbScreenGrabber& grabber)
{
    CaptureOutcome outcome;
    grabber.Capture(false, [&](const CaptureOutcome& taken) { outcome = taken; });
    return outcome;
}

} // namespace

TEST(XcbCapture, ActiveWindowsOfOtherProgramsAndOurOwn)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    OtherClient other;
    ASSERT_TRUE(other.ok());
    CXcbScreenGrabber grabber;
    ASSERT_EQ(grabber.ScreenRect(), QRect(0, 0, 1024, 768));

    const xcb_window_t red = other.Window(QRect(100, 80, 320, 240), 0xFF0000);
    const xcb_window_t unmapped = other.Window(QRect(10, 10, 50, 50), 0x00FF00, false);
    // Our own window, still named active while the screenshot dialog hides: green, on top.
    QWidget ours;
    ours.setGeometry(600, 400, 200, 150);
    QPalette green = ours.palette();
    green.setColor(QPalette::Window, Qt::green);
    ours.setPalette(green);
    ours.setAutoFillBackground(true);
    ours.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours));
    const auto own = xcb_window_t(ours.winId());

    // The window named active, the stacking, whether it is taken, the picture's size and the colour
    // of its middle.
    const std::tuple<const char*, xcb_window_t, std::vector<xcb_window_t>, bool, QSize, QRgb> cases[] = {
        {"another program's window", red, {red, own}, true, {320, 240}, qRgb(255, 0, 0)},
        {"our own window: the one below it", own, {unmapped, red, own}, true, {320, 240}, qRgb(255, 0, 0)},
        {"nothing named active", 0, {red}, false, {1024, 768}, qRgb(0, 0, 0)},
        {"only our own", own, {own}, false, {1024, 768}, qRgb(0, 0, 0)},
    };
    for (const auto& [what, active, stacking, available, size, colour] : cases) {
        SCOPED_TRACE(what);
        other.Publish(active, stacking);
        const CaptureOutcome taken = CaptureActiveWindow(grabber);
        ASSERT_EQ(taken.status, CaptureOutcome::Taken);
        EXPECT_EQ(taken.wholeScreenInstead, !available) << taken.reason.toStdString();
        const QImage& picture = taken.image;
        ASSERT_EQ(picture.size(), size);
        EXPECT_EQ(picture.pixel(size.width() / 2, size.height() / 2), colour);
        if (!available) { // the whole screen: the red window and ours are in it
            EXPECT_EQ(picture.pixel(700, 475), qRgb(0, 255, 0));
        }
    }

    // Unmapped (minimised): nothing to copy, and no falling back either.
    other.Publish(unmapped, {unmapped});
    const CaptureOutcome minimised = CaptureActiveWindow(grabber);
    EXPECT_EQ(minimised.status, CaptureOutcome::Failed);
    EXPECT_TRUE(minimised.image.isNull());
    EXPECT_FALSE(minimised.wholeScreenInstead);

    // Larger than the screen (maximised with its borders outside): cut to the screen.
    const xcb_window_t maximised = other.Window(QRect(-8, -8, 1040, 784), 0x0000FF);
    other.Publish(maximised, {red, maximised});
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const QImage picture = CaptureActiveWindow(grabber).image;
        return picture.size() == QSize(1024, 768) && picture.pixel(512, 384) == qRgb(0, 0, 255);
    }));
}
