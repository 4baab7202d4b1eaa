// SPDX-License-Identifier: MIT
#include "capture/CScreenshotDlg.h"

#include "imaging/TempFolder.h"
#include "settings/Settings.h"
#include "tests/capture/CaptureTestSupport.h"
#include "tests/support/TempDir.h"
#include "ui/wizard/CUpDown.h"

#include <QApplication>
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

const QByteArray kStoredIni = "[Screenshot]\r\nFormat=0\r\nQuality=70\r\nDelay=9\r\nEntireScreen=1\r\n";

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
    ForegroundWindow w;
    w.available = true;
    w.id = id;
    w.frame = frame;
    return w;
}

ForegroundWindow NoWindow()
{
    ForegroundWindow w;
    w.reason = QStringLiteral("no window manager");
    return w;
}

const QImage& Screen()
{
    static const QImage screen = PatternScreen(1024, 768);
    return screen;
}

TEST(ScreenshotDlg, HasTheControlsOfItsTemplate)
{
    TestDir dir;
    Frame frame;
    CScreenshotDlg dlg(&frame.window, frame.page, dir.file("vellmar.ini"), frame.temp,
        std::make_unique<CFakeGrabber>(std::make_shared<FakeScreen>()));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Скриншот"));
    EXPECT_EQ(dlg.parentWidget(), &frame.window);
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_EQ(Control<QRadioButton>(dlg, "1061")->text(), QStringLiteral(" Всего экрана"));
    EXPECT_EQ(Control<QRadioButton>(dlg, "1062")->text(), QStringLiteral(" Активного окна"));
    QComboBox* format = Control<QComboBox>(dlg, "1011");
    ASSERT_EQ(format->count(), 2);
    EXPECT_EQ(format->itemText(0), QStringLiteral("JPEG"));
    EXPECT_EQ(format->itemText(1), QStringLiteral("PNG"));
    const struct
    {
        const char* upDown;
        const char* edit;
        int min, max;
    } ranges[] = {{"1059", "1060", 1, 30}, {"1012", "1015", 1, 100}};
    for (const auto& r : ranges) {
        CUpDown* upDown = Control<CUpDown>(dlg, r.upDown);
        ASSERT_NE(upDown, nullptr);
        EXPECT_EQ(upDown->Buddy(), Control<QLineEdit>(dlg, r.edit));
        EXPECT_EQ(upDown->Minimum(), r.min);
        EXPECT_EQ(upDown->Maximum(), r.max);
    }
    QPushButton* take = Control<QPushButton>(dlg, "1");
    EXPECT_EQ(take->text(), QStringLiteral("Сделать"));
    EXPECT_TRUE(take->isDefault());
    EXPECT_EQ(Control<QPushButton>(dlg, "2")->text(), QStringLiteral("Отмена"));
}

TEST(ScreenshotDlg, OpensWithTheStoredSettingsAndTheirFixes)
{
    const struct
    {
        const char* name;
        const char* ini; // null: no file
        bool wholeScreen;
        const char* delay;
        const char* quality;
        int format;
    } cases[] = {
        {"no file: defaults", nullptr, true, "4", "80", 0},
        {"stored values", "[Screenshot]\nFormat=1\nQuality=55\nDelay=30\nEntireScreen=0\n", false, "30", "55",
            1},
        {"out of range", "[Screenshot]\nFormat=-1\nQuality=-5\nDelay=0\nEntireScreen=7\n", true, "4", "80",
            0},
        {"delay above 30, quality 0 kept", "[Screenshot]\nDelay=31\nQuality=0\n", true, "4", "0", 0},
        {"lowest delay", "[Screenshot]\nDelay=1\nFormat=2\n", true, "1", "80", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        const QString ini = c.ini ? dir.write("vellmar.ini", c.ini) : dir.file("vellmar.ini");
        Frame frame;
        CScreenshotDlg dlg(&frame.window, frame.page, ini, frame.temp,
            std::make_unique<CFakeGrabber>(std::make_shared<FakeScreen>()));
        EXPECT_EQ(Control<QRadioButton>(dlg, "1061")->isChecked(), c.wholeScreen);
        EXPECT_EQ(Control<QRadioButton>(dlg, "1062")->isChecked(), !c.wholeScreen);
        EXPECT_EQ(Control<QLineEdit>(dlg, "1060")->text(), QString::fromLatin1(c.delay));
        EXPECT_EQ(Control<QLineEdit>(dlg, "1015")->text(), QString::fromLatin1(c.quality));
        EXPECT_EQ(Control<QComboBox>(dlg, "1011")->currentIndex(), c.format);
    }
}

TEST(ScreenshotDlg, CancelEndsWithResultTwoAndKeepsTheSettings)
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
        TestDir dir;
        const QString ini = dir.write("vellmar.ini", kStoredIni);
        auto state = std::make_shared<FakeScreen>();
        state->screen = Screen();
        Frame frame;
        CScreenshotDlg dlg(&frame.window, frame.page, ini, frame.temp, std::make_unique<CFakeGrabber>(state));
        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.show();
        Control<QRadioButton>(dlg, "1062")->setChecked(true);
        Control<QLineEdit>(dlg, "1060")->setText(QStringLiteral("12"));
        Control<QLineEdit>(dlg, "1015")->setText(QStringLiteral("33"));
        Control<QComboBox>(dlg, "1011")->setCurrentIndex(1);
        c.cancel(dlg);
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.at(0).at(0).toInt(), 2);
        EXPECT_FALSE(dlg.CaptureTimer()->isActive());
        EXPECT_TRUE(dlg.ResultPath().isEmpty());
        EXPECT_TRUE(state->grabs.empty());
        EXPECT_TRUE(frame.window.isVisible());
        EXPECT_EQ(TestDir::read(ini), kStoredIni);
    }
}

struct CaptureCase
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
    ScreenshotSettings stored;
    bool fellBack;
    bool topmost;
};

TEST(ScreenshotDlg, CapturesAfterTheDelay)
{
    const QRect all(0, 0, 1024, 768);
    const CaptureCase cases[] = {
        {"delay 0 typed: 3 s on the timer, 4 stored", true, "0", "80", 0, {}, false, false, 3000, 1, all,
            {0, 80, 4, 1}, false, false},
        {"PNG of the whole screen", true, "7", "80", 1, {}, false, false, 7000, 1, all, {1, 80, 7, 1}, false,
            false},
        {"maximised window hanging over the edges", false, "1", "90", 1, Window(77, QRect(-8, -8, 1040, 784)),
            false, false, 1000, 1, all, {1, 90, 1, 0}, false, true},
        {"window inside the screen", false, "30", "80", 1, Window(5, QRect(100, 50, 200, 120)), false, false,
            30000, 1, QRect(100, 50, 200, 120), {1, 80, 30, 0}, false, true},
        {"no active window known: whole screen", false, "2", "80", 1, NoWindow(), false, false, 2000, 1, all,
            {1, 80, 2, 0}, true, false},
        {"negative quality and a delay above 30", true, "99", "-3", 0, {}, false, false, 3000, 1, all,
            {0, 80, 4, 1}, false, false},
        {"text in the boxes counts as 0", true, "soon", "best", 0, {}, false, false, 3000, 1, all,
            {0, 0, 4, 1}, false, false},
        {"minimised window", false, "5", "80", 0, Window(9, QRect(-32000, -32000, 160, 28)), false, false,
            5000, 0, {}, {}, false, false},
        {"grab refused", false, "5", "80", 1, Window(11, QRect(10, 10, 50, 50)), false, true, 5000, 0, {}, {},
            false, true},
        {"no screen", true, "5", "80", 1, {}, true, false, 5000, 0, {}, {}, false, false},
    };
    for (const CaptureCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        const QString ini = dir.write("vellmar.ini", kStoredIni);
        auto state = std::make_shared<FakeScreen>();
        if (!c.noScreen)
            state->screen = Screen();
        state->foreground = c.foreground;
        state->grabFails = c.grabFails;
        Frame frame;
        CScreenshotDlg dlg(&frame.window, frame.page, ini, frame.temp, std::make_unique<CFakeGrabber>(state));
        MessageBoxWatcher messages;

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
        EXPECT_EQ(dlg.FellBackToWholeScreen(), c.fellBack);
        using Calls = std::vector<std::pair<NativeWindow, bool>>;
        const Calls raisedAndLowered {{c.foreground.id, true}, {c.foreground.id, false}};
        EXPECT_EQ(state->topmostCalls, c.topmost ? raisedAndLowered : Calls {});
        if (c.result != 1) {
            EXPECT_TRUE(dlg.ResultPath().isEmpty());
            EXPECT_EQ(messages.Count(), 1);
            EXPECT_EQ(messages.Text(), QStringLiteral("Cannot grab screen."));
            EXPECT_EQ(messages.Caption(), QStringLiteral("Vellmar"));
            EXPECT_EQ(messages.Icon(), QMessageBox::Warning);
            EXPECT_EQ(messages.Owner(), frame.page);
            EXPECT_EQ(TestDir::read(ini), kStoredIni);
            continue;
        }
        EXPECT_EQ(messages.Count(), 0);
        const QString path = dlg.ResultPath();
        EXPECT_TRUE(path.startsWith(frame.temp.Path() + QStringLiteral("/screenshot"))) << path.toStdString();
        EXPECT_TRUE(path.endsWith(c.format == 1 ? QStringLiteral(".png") : QStringLiteral(".jpg")));
        const QImage picture(path);
        ASSERT_EQ(picture.size(), c.copied.size());
        if (c.format == 1) {
            EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), Screen().copy(c.copied));
        }
        const ScreenshotSettings stored = LoadScreenshotSettings(ini);
        EXPECT_EQ(stored.Format, c.stored.Format);
        EXPECT_EQ(stored.Quality, c.stored.Quality);
        EXPECT_EQ(stored.Delay, c.stored.Delay);
        EXPECT_EQ(stored.EntireScreen, c.stored.EntireScreen);
    }
}

TEST(ScreenshotDlg, TakeScreenshotUsesThePlatformGrabber)
{
    // The offscreen platform names no active window, so the active-window choice takes the
    // whole screen; a one-second delay is the shortest the dialog allows.
    TestDir dir;
    const QString ini = dir.write("vellmar.ini", "[Screenshot]\nDelay=1\nFormat=1\nEntireScreen=0\n");
    Frame frame;
    int clicks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (auto* dlg = qobject_cast<CScreenshotDlg*>(QApplication::activeModalWidget())) {
            ++clicks;
            dlg->findChild<QPushButton*>(QStringLiteral("1"))->click();
        }
    });
    poll.start(20);
    const Screenshot shot = TakeScreenshot(&frame.window, frame.page, ini, frame.temp);
    const QString path = shot.path;
    EXPECT_EQ(shot.note,
        QStringLiteral("Активное окно определить не удалось (the platform \"offscreen\" does not tell which "
                       "window is active), поэтому снят весь экран."));
    poll.stop();
    EXPECT_EQ(clicks, 1);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.endsWith(QStringLiteral(".png")));
    EXPECT_EQ(QImage(path).size(), QGuiApplication::primaryScreen()->size());
    EXPECT_TRUE(frame.window.isVisible());
    EXPECT_EQ(LoadScreenshotSettings(ini).EntireScreen, 0);
}

} // namespace
