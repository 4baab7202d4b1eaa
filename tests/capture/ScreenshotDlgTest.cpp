// SPDX-License-Identifier: MIT
#include "capture/CScreenshotDlg.h"

#include "capture/platform/CScreenGrabber.h"
#include "imaging/TempFolder.h"
#include "tests/support/Widgets.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

/// A screen of our own: every pixel has a colour of its own, so a copied picture shows which
/// part of the screen it came from.
QImage PatternScreen(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    return image;
}

/// What a fake grabber was asked and what it answers.
struct FakeScreen
{
    QImage screen; ///< null: no screen at all
    ForegroundWindow foreground;
    bool grabFails = false;
    std::vector<std::pair<NativeWindow, bool>> topmostCalls;
    std::vector<QRect> grabs;
};

class CFakeGrabber : public CScreenGrabber
{
public:
    explicit CFakeGrabber(std::shared_ptr<FakeScreen> state)
        : m_state(std::move(state))
    { }
    QRect ScreenRect() const override { return m_state->screen.isNull() ? QRect() : m_state->screen.rect(); }
    ForegroundWindow FindForegroundWindow() const override { return m_state->foreground; }
    void SetTopmost(NativeWindow window, bool topmost) override
    {
        m_state->topmostCalls.emplace_back(window, topmost);
    }
    QImage Grab(const QRect& area) override
    {
        m_state->grabs.push_back(area);
        return m_state->grabFails ? QImage() : m_state->screen.copy(area);
    }

private:
    std::shared_ptr<FakeScreen> m_state;
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
    T* control = dlg.findChild<T*>(QString::fromLatin1(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

ForegroundWindow Window(NativeWindow id, const QRect& frame)
{
    return {true, id, frame, {}};
}

const QImage& Screen()
{
    static const QImage screen = PatternScreen(1024, 768);
    return screen;
}

} // namespace

// The dialog opens on the stored choices; a cancel ends it with result 2 and keeps them.
TEST(ScreenshotDlg, CancelEndsWithResultTwoAndKeepsTheChoices)
{
    const struct
    {
        const char* name;
        void (*cancel)(CScreenshotDlg&);
    } cases[] = {
        {"Отмена", [](CScreenshotDlg& d) { d.findChild<QPushButton*>(QStringLiteral("2"))->click(); }},
        {"Escape", [](CScreenshotDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](CScreenshotDlg& d) { d.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto state = std::make_shared<FakeScreen>();
        state->screen = Screen();
        Frame frame;
        CScreenshotDlg dlg(
            &frame.window, frame.page, kStored, frame.temp, std::make_unique<CFakeGrabber>(state));
        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.show();
        EXPECT_EQ(dlg.parentWidget(), &frame.window);
        EXPECT_TRUE(Control<QRadioButton>(dlg, "1062")->isChecked());
        EXPECT_EQ(Control<QLineEdit>(dlg, "1060")->text(), QStringLiteral("9"));
        EXPECT_EQ(Control<QLineEdit>(dlg, "1015")->text(), QStringLiteral("70"));
        EXPECT_EQ(Control<QComboBox>(dlg, "1011")->currentText(), QStringLiteral("PNG"));
        EXPECT_TRUE(Control<QPushButton>(dlg, "1")->isDefault());
        Control<QRadioButton>(dlg, "1061")->setChecked(true);
        Control<QLineEdit>(dlg, "1060")->setText(QStringLiteral("12"));
        Control<QComboBox>(dlg, "1011")->setCurrentIndex(0);
        c.cancel(dlg);
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.at(0).at(0).toInt(), 2);
        EXPECT_TRUE(dlg.ResultPath().isEmpty());
        EXPECT_TRUE(state->grabs.empty());
        EXPECT_TRUE(frame.window.isVisible());
        EXPECT_EQ(dlg.Values(), kStored);
    }
}

TEST(ScreenshotDlg, CapturesAfterTheDelay)
{
    const QRect all(0, 0, 1024, 768);
    ForegroundWindow unknown;
    unknown.reason = QStringLiteral("no window manager");
    const ScreenshotPart unchanged = kStored;
    const struct
    {
        const char* name;
        // What the user sets in the dialog.
        bool wholeScreen;
        const char* delay;
        const char* quality;
        int format;
        // What the screen is like.
        ForegroundWindow foreground;
        bool noScreen;
        bool grabFails;
        // What must happen.
        int timerMs;
        int result;
        QRect copied; ///< the part of the screen the picture must show
        ScreenshotPart stored;
        bool topmost;
    } cases[] = {
        {"delay 0 typed: 3 s on the timer, 4 stored", true, "0", "80", 0, {}, false, false, 3000, 1, all,
            {ImageFormat::Jpeg, 80, 4, true}, false},
        {"PNG of the whole screen", true, "7", "80", 1, {}, false, false, 7000, 1, all,
            {ImageFormat::Png, 80, 7, true}, false},
        {"maximised window hanging over the edges", false, "1", "90", 1, Window(77, QRect(-8, -8, 1040, 784)),
            false, false, 1000, 1, all, {ImageFormat::Png, 90, 1, false}, true},
        {"window inside the screen", false, "30", "80", 1, Window(5, QRect(100, 50, 200, 120)), false, false,
            30000, 1, QRect(100, 50, 200, 120), {ImageFormat::Png, 80, 30, false}, true},
        {"no active window known: whole screen", false, "2", "80", 1, unknown, false, false, 2000, 1, all,
            {ImageFormat::Png, 80, 2, false}, false},
        {"negative quality, text for the delay", true, "soon", "-3", 0, {}, false, false, 3000, 1, all,
            {ImageFormat::Jpeg, 80, 4, true}, false},
        {"minimised window", false, "5", "80", 0, Window(9, QRect(-32000, -32000, 160, 28)), false, false,
            5000, 0, {}, unchanged, false},
        {"grab refused", false, "5", "80", 1, Window(11, QRect(10, 10, 50, 50)), false, true, 5000, 0, {},
            unchanged, true},
        {"no screen", true, "5", "80", 1, {}, true, false, 5000, 0, {}, unchanged, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto state = std::make_shared<FakeScreen>();
        if (!c.noScreen)
            state->screen = Screen();
        state->foreground = c.foreground;
        state->grabFails = c.grabFails;
        Frame frame;
        CScreenshotDlg dlg(
            &frame.window, frame.page, kStored, frame.temp, std::make_unique<CFakeGrabber>(state));
        ModalAnswer message(QStringLiteral("ОК"));

        int timerMs = -1;
        bool hiddenDuringDelay = false;
        QTimer::singleShot(0, &dlg, [&] {
            Control<QRadioButton>(dlg, c.wholeScreen ? "1061" : "1062")->setChecked(true);
            Control<QLineEdit>(dlg, "1060")->setText(QString::fromLatin1(c.delay));
            Control<QLineEdit>(dlg, "1015")->setText(QString::fromLatin1(c.quality));
            Control<QComboBox>(dlg, "1011")->setCurrentIndex(c.format);
            Control<QPushButton>(dlg, "1")->click();
            timerMs = dlg.CaptureTimer()->isActive() ? dlg.CaptureTimer()->interval() : -1;
            hiddenDuringDelay = !dlg.isVisible() && !frame.window.isVisible() && state->grabs.empty();
            dlg.CaptureTimer()->setInterval(0);
        });
        const int result = dlg.exec();

        EXPECT_EQ(timerMs, c.timerMs);
        EXPECT_TRUE(hiddenDuringDelay);
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(frame.window.isVisible());
        EXPECT_EQ(dlg.FellBackToWholeScreen(), !c.foreground.available && !c.wholeScreen && c.result == 1);
        EXPECT_EQ(dlg.Values(), c.stored);
        using Calls = std::vector<std::pair<NativeWindow, bool>>;
        const Calls raisedAndLowered {{c.foreground.id, true}, {c.foreground.id, false}};
        EXPECT_EQ(state->topmostCalls, c.topmost ? raisedAndLowered : Calls {});
        if (c.result != 1) {
            EXPECT_TRUE(dlg.ResultPath().isEmpty());
            EXPECT_EQ(message.Text(), QStringLiteral("Cannot grab screen."));
            EXPECT_EQ(message.Caption(), QStringLiteral("Vellmar"));
            EXPECT_EQ(message.Icon(), QMessageBox::Warning);
            EXPECT_EQ(message.Owner(), frame.page);
            continue;
        }
        EXPECT_FALSE(message.Seen());
        const QString path = dlg.ResultPath();
        EXPECT_TRUE(path.startsWith(frame.temp.Path() + QStringLiteral("/screenshot"))) << path.toStdString();
        EXPECT_TRUE(path.endsWith(c.format == 1 ? QStringLiteral(".png") : QStringLiteral(".jpg")));
        const QImage picture(path);
        ASSERT_EQ(picture.size(), c.copied.size());
        if (c.format == 1) {
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
