// SPDX-License-Identifier: MIT
#include "capture/CScreenshotDlg.h"

#include "capture/platform/CDirectScreenGrabber.h"
#include "capture/platform/CPortalScreenGrabber.h"
#include "imaging/TempFolder.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

/// A screen that answers as a test sets it up and notes what it was asked; the dialog owns it,
/// the test keeps a pointer.
class CFakeGrabber : public CDirectScreenGrabber
{
public:
    QRect ScreenRect() const override { return screen.isNull() ? QRect() : screen.rect(); }
    ForegroundWindow FindForegroundWindow() const override { return foreground; }
    void SetTopmost(NativeWindow window, bool topmost) override
    {
        topmostCalls.emplace_back(window, topmost);
    }
    QImage Grab(const QRect& area) override { return grabFails ? QImage() : screen.copy(area); }

    QImage screen; ///< null: no screen at all
    ForegroundWindow foreground;
    bool grabFails = false;
    std::vector<std::pair<NativeWindow, bool>> topmostCalls;
};

const ScreenshotPart kStored {ImageFormat::Png, 70, 9, false};

// The wizard frame with a page inside, as the dialog finds them.
struct Frame
{
    QWidget window;
    QWidget* page;
    TempFolder temp;
    Frame()
        : page(new QWidget(&window))
    {
        window.resize(320, 240);
        window.show();
    }
};

template<typename T> T* Control(QWidget& dlg, const char* id)
{
    return dlg.findChild<T*>(QString::fromLatin1(id));
}

// A screen of our own, 1024 x 768: every pixel has a colour of its own, so a copied picture
// shows which part of the screen it came from.
const QImage& Screen()
{
    static const QImage screen = [] {
        QImage image(1024, 768, QImage::Format_RGB32);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
        return image;
    }();
    return screen;
}

} // namespace

// The dialog opens on the stored choices; OK hides it and the frame for the delay, then copies
// the screen or the window and keeps the choices; a cancel ends it with result 2 and keeps none.
TEST(ScreenshotDlg, CapturesAfterTheDelayOrIsCancelled)
{
    const QRect all(0, 0, 1024, 768);
    const auto window = [](NativeWindow id, const QRect& frame) {
        return ForegroundWindow {true, id, frame, {}};
    };
    ForegroundWindow unknown;
    unknown.reason = QStringLiteral("no window manager");
    enum ScreenKind { Fine, Refuses, Missing };
    const struct
    {
        const char* name;
        const char*
            typed; ///< "W" the whole screen or "A" the active window, the delay, the quality, the format
        ForegroundWindow foreground;
        ScreenKind screen;
        int timerMs;
        int result;
        QRect copied; ///< the part of the screen the picture must show
        ScreenshotPart stored;
        bool topmost; ///< the window was raised for the copy and lowered again
        void (*leave)(CScreenshotDlg&) = [](CScreenshotDlg& d) { Control<QPushButton>(d, "1")->click(); };
    } cases[] = {
        {"PNG of the whole screen", "W 7 80 1", {}, Fine, 7000, 1, all, {ImageFormat::Png, 80, 7, true},
            false},
        {"maximised window hanging over the edges", "A 1 90 1", window(77, QRect(-8, -8, 1040, 784)), Fine,
            1000, 1, all, {ImageFormat::Png, 90, 1, false}, true},
        {"window inside the screen", "A 30 80 1", window(5, QRect(100, 50, 200, 120)), Fine, 30000, 1,
            QRect(100, 50, 200, 120), {ImageFormat::Png, 80, 30, false}, true},
        {"no active window known: whole screen", "A 2 80 1", unknown, Fine, 2000, 1, all,
            {ImageFormat::Png, 80, 2, false}, false},
        {"text for the delay, negative quality: 3 s on the timer, 4 and 80 stored", "W soon -3 0", {}, Fine,
            3000, 1, all, {ImageFormat::Jpeg, 80, 4, true}, false},
        {"minimised window", "A 5 80 0", window(9, QRect(-32000, -32000, 160, 28)), Fine, 5000, 0, {},
            kStored, false},
        {"grab refused", "A 5 80 1", window(11, QRect(10, 10, 50, 50)), Refuses, 5000, 0, {}, kStored, true},
        {"no screen", "W 5 80 1", {}, Missing, 5000, 0, {}, kStored, false},
        {"Отмена", "W 12 80 0", {}, Fine, -1, 2, {}, kStored, false,
            [](CScreenshotDlg& d) { Control<QPushButton>(d, "2")->click(); }},
        {"Escape", "W 12 80 0", {}, Fine, -1, 2, {}, kStored, false,
            [](CScreenshotDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", "W 12 80 0", {}, Fine, -1, 2, {}, kStored, false, [](CScreenshotDlg& d) { d.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto grabber = std::make_unique<CFakeGrabber>();
        CFakeGrabber* state = grabber.get();
        if (c.screen != Missing)
            state->screen = Screen();
        state->foreground = c.foreground;
        state->grabFails = c.screen == Refuses;
        Frame frame;
        CScreenshotDlg dlg(&frame.window, frame.page, kStored, frame.temp, std::move(grabber));
        EXPECT_EQ(dlg.parentWidget(), &frame.window);
        ModalAnswer message(QStringLiteral("ОК"));

        const QStringList typed = QString::fromLatin1(c.typed).split(u' ');
        int timerMs = -1;
        bool hiddenDuringDelay = false;
        QTimer::singleShot(0, &dlg, [&] {
            EXPECT_TRUE(Control<QRadioButton>(dlg, "1062")->isChecked());
            EXPECT_EQ(
                Control<QLineEdit>(dlg, "1060")->text() + Control<QLineEdit>(dlg, "1015")->text(), "970");
            EXPECT_EQ(Control<QComboBox>(dlg, "1011")->currentText(), QStringLiteral("PNG"));
            EXPECT_TRUE(Control<QPushButton>(dlg, "1")->isDefault());
            Control<QRadioButton>(dlg, typed[0] == u'W' ? "1061" : "1062")->setChecked(true);
            Control<QLineEdit>(dlg, "1060")->setText(typed[1]);
            Control<QLineEdit>(dlg, "1015")->setText(typed[2]);
            Control<QComboBox>(dlg, "1011")->setCurrentIndex(typed[3].toInt());
            c.leave(dlg);
            timerMs = dlg.CaptureTimer()->isActive() ? dlg.CaptureTimer()->interval() : -1;
            hiddenDuringDelay = !dlg.isVisible() && !frame.window.isVisible();
            dlg.CaptureTimer()->setInterval(0);
        });
        const int result = dlg.exec();

        EXPECT_EQ(timerMs, c.timerMs);
        EXPECT_EQ(hiddenDuringDelay, c.result != 2);
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(frame.window.isVisible());
        EXPECT_EQ(dlg.FellBackToWholeScreen(), !c.foreground.available && typed[0] == u'A' && c.result == 1);
        EXPECT_EQ(dlg.Values(), c.stored);
        using Calls = std::vector<std::pair<NativeWindow, bool>>;
        const Calls raisedAndLowered {{c.foreground.id, true}, {c.foreground.id, false}};
        EXPECT_EQ(state->topmostCalls, c.topmost ? raisedAndLowered : Calls {});
        EXPECT_EQ(message.Seen(), c.result == 0);
        if (c.result == 0) {
            EXPECT_EQ(message.Text(), QStringLiteral("Cannot grab screen."));
            EXPECT_EQ(message.Caption(), QStringLiteral("Vellmar"));
            EXPECT_EQ(message.Icon(), QMessageBox::Warning);
            EXPECT_EQ(message.Owner(), frame.page);
        }
        const QString path = dlg.ResultPath();
        if (c.result != 1) {
            EXPECT_TRUE(path.isEmpty());
            continue;
        }
        EXPECT_TRUE(path.startsWith(frame.temp.Path() + QStringLiteral("/screenshot"))) << path.toStdString();
        EXPECT_TRUE(path.endsWith(typed[3] == u'1' ? QStringLiteral(".png") : QStringLiteral(".jpg")));
        const QImage picture(path);
        ASSERT_EQ(picture.size(), c.copied.size());
        if (typed[3] == u'1') {
            EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), Screen().copy(c.copied));
        }
    }
}

TEST(ScreenshotDlg, TakeScreenshotUsesThePlatformGrabberAndSaysWhenItTookAll)
{
    // The offscreen platform names no active window, so the active-window choice takes the
    // whole screen; a one-second delay is the shortest the dialog allows.
    Frame frame;
    ModalAnswer take(QStringLiteral("Сделать"));
    const Screenshot shot
        = TakeScreenshot(&frame.window, frame.page, {ImageFormat::Png, 80, 1, false}, frame.temp);
    EXPECT_EQ(take.Caption(), QStringLiteral("Скриншот"));
    EXPECT_EQ(shot.note,
        QStringLiteral("Активное окно определить не удалось (the platform \"offscreen\" does not tell which "
                       "window is active), поэтому снят весь экран."));
    ASSERT_TRUE(shot.path.endsWith(QStringLiteral(".png")));
    EXPECT_EQ(QImage(shot.path).size(), QGuiApplication::primaryScreen()->size());
    EXPECT_TRUE(frame.window.isVisible());
    EXPECT_FALSE(shot.values.EntireScreen);
}

TEST(ScreenshotDlg, GrabberFollowsThePlatformQtRunsOn)
{
    const std::tuple<const char*, const char*, GrabberKind> cases[] = {
        {"xcb", "", GrabberKind::X11},
        {"xcb", "wayland-0", GrabberKind::Portal}, // XWayland sees only its own clients
        {"wayland", "wayland-0", GrabberKind::Portal},
        {"wayland-egl", "wayland-0", GrabberKind::Portal},
        {"offscreen", "", GrabberKind::QtScreen},
    };
    for (const auto& [platform, display, kind] : cases)
        EXPECT_EQ(ChooseScreenGrabber(QLatin1String(platform), QLatin1String(display)), kind) << platform;
}

// Each test runs on a session bus of its own, where this one starts a fake portal (or none).
TEST(ScreenshotDlg, WaylandPicturesComeFromThePortalOrTheUserIsTold)
{
    TestDir dir;
    const QString screen = WritePicture(dir.path(), QStringLiteral("screen.png"), 64, 48);
    const QString window = WritePicture(dir.path(), QStringLiteral("window.png"), 40, 30);
    // The fake portal's pictures (none: no portal), whole screen or window, the result, the
    // picture saved, the start of the warning.
    const std::tuple<QStringList, bool, int, QString, QString> cases[] = {
        {{}, true, 0, {},
            QStringLiteral(
                "Снимок экрана не сделан: в сеансе Wayland снимки экрана делает служба xdg-desktop-portal")},
        {{screen, window}, true, 1, screen, {}}, {{screen, window}, false, 1, window, {}},
        {{screen, ""}, false, 2, {}, {}}, // the user cancels in the portal's window
    };
    for (const auto& [pictures, wholeScreen, result, saved, told] : cases) {
        SCOPED_TRACE(result);
        QProcess portal;
        if (!pictures.isEmpty()) {
            portal.start(QStringLiteral(VELLMAR_FAKE_PORTAL), pictures);
            ASSERT_TRUE(QTest::qWaitFor([] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.freedesktop.portal.Desktop"));
            }));
        }
        Frame frame;
        CScreenshotDlg dlg(&frame.window, frame.page, {ImageFormat::Png, 80, 1, wholeScreen}, frame.temp,
            std::make_unique<CPortalScreenGrabber>());
        ModalAnswer message(QStringLiteral("ОК"));
        QTimer::singleShot(0, &dlg, [&] {
            Control<QPushButton>(dlg, "1")->click();
            dlg.CaptureTimer()->setInterval(0);
        });
        EXPECT_EQ(dlg.exec(), result);
        EXPECT_TRUE(frame.window.isVisible());
        EXPECT_EQ(message.Seen(), !told.isEmpty());
        EXPECT_EQ(message.Text().left(told.size()), told);
        const auto pixels = [](const QString& path) {
            return path.isEmpty() ? QImage() : QImage(path).convertToFormat(QImage::Format_RGB32);
        };
        EXPECT_EQ(pixels(dlg.ResultPath()), pixels(saved));
        // The portal's own file is the user's and stays.
        EXPECT_TRUE(QFile::exists(wholeScreen ? screen : window));
        portal.kill();
        portal.waitForFinished();
    }
}
