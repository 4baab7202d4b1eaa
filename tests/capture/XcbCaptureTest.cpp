// SPDX-License-Identifier: MIT
// Captures on a real X server: an Xvfb of the test's own, with a child process on the xcb
// platform doing the capture (this process is bound to the offscreen platform).
#include "imaging/TempFolder.h"
#include "settings/Settings.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <xcb/xcb.h>

namespace {

constexpr QSize kScreen(1024, 768);
const QByteArray kIni = "[Screenshot]\nFormat=1\nQuality=80\nDelay=1\nEntireScreen=1\n";

// An Xvfb on the first free display from :93 on, shared by the tests of this file.
class XServer
{
public:
    ~XServer()
    {
        if (m_process) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(5000);
            }
        }
    }

    // Empty with `why` set when no server could be started.
    QString Start(QString& why)
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            why = QStringLiteral("Xvfb is not installed");
            return {};
        }
        for (int number = 93; number <= 120; ++number) {
            // A lock file or socket means another server has (or had) this display.
            if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))
                || QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            const QString display = QStringLiteral(":%1").arg(number);
            auto process = std::make_unique<QProcess>();
            process->setStandardOutputFile(QProcess::nullDevice());
            process->setStandardErrorFile(QProcess::nullDevice());
            // -br: a black root, so that pixels of hidden windows are told apart.
            process->start(xvfb,
                {display, QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(kScreen.width()).arg(kScreen.height()),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-br"),
                    QStringLiteral("-noreset")});
            if (!process->waitForStarted(5000))
                continue;
            if (WaitUntilReady(*process, number)) {
                m_process = std::move(process);
                return display;
            }
            process->kill();
            process->waitForFinished(5000);
        }
        why = QStringLiteral("no display from :93 to :120 could be started");
        return {};
    }

private:
    // Ready when the display answers and its lock file names our process: another test running
    // at the same time may have won the display, and its server would answer just as well.
    static bool WaitUntilReady(QProcess& process, int number)
    {
        const QString lock = QStringLiteral("/tmp/.X%1-lock").arg(number);
        const QByteArray name = QStringLiteral(":%1").arg(number).toLatin1();
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (process.state() != QProcess::Running)
                return false;
            if (TestDir::read(lock).trimmed().toLongLong() == process.processId()) {
                xcb_connection_t* c = xcb_connect(name.constData(), nullptr);
                const bool ok = !xcb_connection_has_error(c);
                xcb_disconnect(c);
                if (ok)
                    return true;
            }
            QThread::msleep(50);
        }
        return false;
    }

    std::unique_ptr<QProcess> m_process;
};

struct ChildRun
{
    bool finished = false;
    int exitCode = -1;
    std::map<std::string, std::string> report;
    QString errors;
};

class XcbCapture : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new XServer;
        s_display = s_server->Start(s_why);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override
    {
        if (s_display.isEmpty())
            GTEST_SKIP() << s_why.toStdString();
    }

    // Runs the child in `mode` with a temporary directory and settings file in `dir`.
    ChildRun Run(const char* mode, const TestDir& dir, const QString& ini)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), s_display);
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // libxkbcommon-x11, which Qt's xcb plugin loads, hands strndup() atom names that are not
        // NUL-terminated; that is legal, but strict string checking reports it as an overflow.
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                env.value(QStringLiteral("ASAN_OPTIONS"))
                    .replace(
                        QStringLiteral("strict_string_checks=1"), QStringLiteral("strict_string_checks=0")));
        env.insert(
            QStringLiteral("LSAN_OPTIONS"), ChildLeakOptions(env.value(QStringLiteral("LSAN_OPTIONS")), dir));
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(CAPTURE_XCB_CHILD), {QString::fromLatin1(mode), ini});
        ChildRun run;
        run.finished = child.waitForFinished(60000);
        if (!run.finished) {
            child.kill();
            child.waitForFinished(5000);
        }
        run.exitCode = child.exitCode();
        run.errors = QString::fromLocal8Bit(child.readAllStandardError());
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                run.report[line.left(eq).toStdString()] = line.mid(eq + 1).toStdString();
        }
        return run;
    }

    // The suppressions the tests run with, plus libdbus: Qt's xcb plugin talks to the session
    // bus, and libdbus keeps what it allocates for that until the process is gone.
    static QString ChildLeakOptions(const QString& options, const TestDir& dir)
    {
        QStringList kept;
        QByteArray suppressions;
        for (const QString& option : options.split(u':', Qt::SkipEmptyParts)) {
            if (option.startsWith(QStringLiteral("suppressions=")))
                suppressions = TestDir::read(option.mid(13));
            else
                kept << option;
        }
        suppressions += "\nleak:libdbus-1.so\n";
        kept << QStringLiteral("suppressions=") + dir.write("child-lsan.supp", suppressions);
        return kept.join(u':');
    }

    static QStringList TempFiles(const TestDir& dir)
    {
        return QDir(dir.path() + u'/' + QLatin1String(kTempFolderName)).entryList(QDir::Files);
    }

    static XServer* s_server;
    static QString s_display;
    static QString s_why;
};

XServer* XcbCapture::s_server = nullptr;
QString XcbCapture::s_display;
QString XcbCapture::s_why;

#define EXPECT_CHILD_OK(run)                                                                                 \
    do {                                                                                                     \
        ASSERT_TRUE((run).finished) << (run).errors.toStdString();                                           \
        ASSERT_EQ((run).exitCode, 0) << (run).errors.toStdString();                                          \
    } while (false)

TEST_F(XcbCapture, PicturesOfTheScreenAndOfTheActiveWindow)
{
    const QColor red(Qt::red);
    const QColor black(Qt::black);
    const struct
    {
        const char* mode;
        int entireScreen;
        QSize size;
        bool fellBack;
        // Pixels of the picture and the colour each must have.
        std::vector<std::pair<QPoint, QColor>> pixels;
    } cases[] = {
        // The red window at (100, 80); the hidden frame and dialog near (700, 475) leave the root black.
        {"screen", 1, kScreen, false,
            {{QPoint(0, 0), black}, {QPoint(100, 80), red}, {QPoint(419, 319), red},
                {QPoint(420, 320), black}, {QPoint(700, 475), black}, {QPoint(1023, 767), black}}},
        {"window", 0, QSize(320, 240), false,
            {{QPoint(0, 0), red}, {QPoint(319, 0), red}, {QPoint(0, 239), red}, {QPoint(319, 239), red}}},
        {"maximised", 0, kScreen, false,
            {{QPoint(0, 0), red}, {QPoint(700, 475), red}, {QPoint(1023, 767), red}}},
        {"noproperty", 0, kScreen, true,
            {{QPoint(0, 0), black}, {QPoint(200, 200), red}, {QPoint(700, 475), black}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TestDir dir;
        const QString ini = dir.write("vellmar.ini",
            QByteArray(kIni).replace("EntireScreen=1", "EntireScreen=" + QByteArray::number(c.entireScreen)));
        const ChildRun run = Run(c.mode, dir, ini);
        EXPECT_CHILD_OK(run);
        EXPECT_EQ(run.report.at("result"), "1");
        EXPECT_EQ(run.report.at("framevisible"), "1");
        EXPECT_EQ(run.report.at("fellback"), c.fellBack ? "1" : "0");
        EXPECT_EQ(run.errors.contains(QStringLiteral("capturing the whole screen")), c.fellBack);
        const QString path = QString::fromStdString(run.report.at("path"));
        const QFileInfo file(path);
        EXPECT_EQ(QFileInfo(file.absolutePath()).absolutePath(),
            QDir(dir.path()).filePath(QLatin1String(kTempFolderName)));
        EXPECT_TRUE(file.fileName().startsWith(QStringLiteral("screenshot")));
        EXPECT_EQ(file.suffix(), QStringLiteral("png"));
        EXPECT_EQ(QDir(file.absolutePath()).entryList(QDir::Files), QStringList {file.fileName()});
        const QImage picture(path);
        ASSERT_EQ(picture.size(), c.size);
        for (const auto& [at, colour] : c.pixels)
            EXPECT_EQ(picture.pixelColor(at), colour) << at.x() << "," << at.y();
        const ScreenshotSettings stored = LoadScreenshotSettings(ini);
        EXPECT_EQ(stored.Format, 1);
        EXPECT_EQ(stored.Delay, 1);
        EXPECT_EQ(stored.EntireScreen, c.entireScreen);
    }
}

TEST_F(XcbCapture, AnActiveWindowThatIsNotOnTheScreenCannotBeGrabbed)
{
    TestDir dir;
    const QByteArray stored = QByteArray(kIni).replace("EntireScreen=1", "EntireScreen=0");
    const QString ini = dir.write("vellmar.ini", stored);
    const ChildRun run = Run("unmapped", dir, ini);
    EXPECT_CHILD_OK(run);
    EXPECT_EQ(run.report.at("result"), "0");
    EXPECT_EQ(run.report.at("path"), "");
    EXPECT_EQ(run.report.at("fellback"), "0");
    EXPECT_EQ(run.report.at("framevisible"), "1");
    EXPECT_EQ(run.report.at("message"), "Cannot grab screen.");
    EXPECT_EQ(run.report.at("caption"), "Vellmar");
    EXPECT_TRUE(TempFiles(dir).isEmpty());
    EXPECT_EQ(TestDir::read(ini), stored);
}

} // namespace
