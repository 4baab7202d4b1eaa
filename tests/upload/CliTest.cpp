// SPDX-License-Identifier: MIT
// vellmar-upload against the local test host: in-process for the details, and as the real
// program for its start-up without a display.
#include "app/cli/UploadCli.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/testhost/TestHost.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

CliRun RunCli(const QStringList& args, const std::atomic<bool>* stop = nullptr)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = RunUploadCli(QStringList {QStringLiteral("vellmar-upload")} + args, out, err, stop);
    return run;
}

QString WriteIni(const TestDir& dir, const QByteArray& text)
{
    return dir.write(QStringLiteral("vellmar.ini"), text);
}

// The files the host stored, in order.
QList<QByteArray> StoredFiles(const TestHost& host)
{
    QList<QByteArray> files;
    for (const StoredUpload& upload : host.Uploads())
        files << upload.bytes;
    return files;
}

} // namespace

TEST(UploadCli, RawSendsTheFilesThemselves)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QByteArray png = PngOf(400, 200);
    const QByteArray other = "\xFF\xD8\xFF not really a jpeg";
    const QString ini
        = WriteIni(dir, "[Main]\nServerID=2\nThumbWidth=2000\n" + ServersSection(host.HostText()));

    const CliRun run = RunCli({QStringLiteral("--raw"), QStringLiteral("--ini"), ini,
        dir.write("one.png", png), dir.file("missing.png"), dir.write("two.jpg", other)});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(
        run.err, "vellmar-upload: " + dir.file("missing.png") + ": not uploaded: the file does not exist\n");
    // Service 2 from the settings, the out-of-range thumbnail width replaced by 150, one upload
    // per file, and the file's own bytes on the wire; the service's own thumbnail.
    const QString base = QStringLiteral("http://%1/").arg(host.HostText());
    EXPECT_EQ(run.out, base + "i/1\t" + base + "t/1\n" + base + "i/2\t" + base + "t/2\n");
    ASSERT_EQ(host.Requests().size(), 2);
    EXPECT_TRUE(host.Requests()[0].startsWith("POST /action.aspx "));
    EXPECT_EQ(host.Stored(1).sizeField, "150");
    EXPECT_EQ(StoredFiles(host), QList<QByteArray>({png, other}));
    EXPECT_EQ(QImage::fromData(host.Stored(1).thumb).size(), QSize(150, 75));
}

TEST(UploadCli, PreparesEachFileAsTheWizardDoes)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString ini = WriteIni(dir,
        "[Image]\nMaxWidth=100\nFormat=2\nAddText=0\nAddLogo=0\n[Main]\nServerID=1\nThumbWidth=50\n"
            + ServersSection(host.HostText()));
    const CliRun run = RunCli({QStringLiteral("--ini"), ini, dir.write("a.jpg", JpegOf(300, 150)),
        dir.write("bad.png", "\x89PNG\r\n\x1A\n broken"), dir.write("b.png", PngOf(80, 60))});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
        "vellmar-upload: " + dir.file("bad.png") + ": not uploaded: it cannot be decoded as a picture\n");
    const QString base = QStringLiteral("http://") + host.HostText();
    EXPECT_EQ(run.out, base + "/i/1\t" + base + "/i/2\n" + base + "/i/3\t" + base + "/i/4\n");

    // PNG within 100 pixels of width, and own thumbnails 50 wide sent after each picture.
    const QList<QByteArray> sent = StoredFiles(host);
    ASSERT_EQ(sent.size(), 4);
    EXPECT_EQ(QImage::fromData(sent[0], "PNG").size(), QSize(100, 50));
    EXPECT_EQ(QImage::fromData(sent[2], "PNG").size(), QSize(80, 60));
    EXPECT_EQ(QImage::fromData(sent[1], "PNG").width(), 50);
    EXPECT_EQ(QImage::fromData(sent[3], "PNG").width(), 50);
}

TEST(UploadCli, PrepareOnlyWritesIntoAFolderAndUploadsNothing)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString ini = WriteIni(dir,
        "[Image]\nMaxWidth=100\nFormat=2\nAddText=0\n[Main]\nThumbWidth=50\n"
            + ServersSection(host.HostText()));
    const QString out = dir.file("out");
    ASSERT_TRUE(QDir().mkdir(out));
    const QByteArray taken = "an earlier file of the same name";
    dir.write("out/a.png", taken);
    const CliRun run = RunCli({QStringLiteral("--ini"), ini, QStringLiteral("--prepare-only"), out,
        dir.write("a.jpg", JpegOf(300, 150)), dir.file("missing.jpg")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, out + "/a_1.png\t" + out + "/a-thumb.png\n");
    EXPECT_EQ(
        run.err, "vellmar-upload: " + dir.file("missing.jpg") + ": not prepared: the file does not exist\n");
    EXPECT_EQ(QImage(out + "/a_1.png").size(), QSize(100, 50));
    EXPECT_EQ(QImage(out + "/a-thumb.png").width(), 50);
    EXPECT_EQ(TestDir::read(out + "/a.png"), taken);
    EXPECT_TRUE(host.Requests().isEmpty());
}

// The limit is on silence, not on the whole exchange: an answer that keeps trickling in for
// three seconds goes through with a one-second limit, a silent server is given up after one.
TEST(UploadCli, TimeoutIsForASilenceNotForTheWholeTransfer)
{
    TestDir dir;
    const QString file = dir.write("a.png", PngOf(20, 20));
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "slow");
        TestHost host;
        host.SetMode(silent ? TestHost::Mode::Silent : TestHost::Mode::Canned);
        host.SetCannedAnswers({CannedAnswer("[IMG]http://h/a[/IMG][IMG]http://h/b[/IMG]")});
        host.SetTrickle(10, 300);
        ASSERT_TRUE(host.Start());
        QElapsedTimer clock;
        clock.start();
        const CliRun run = RunCli({QStringLiteral("--raw"), QStringLiteral("--timeout"), QStringLiteral("1"),
            QStringLiteral("--server"), QStringLiteral("2"), QStringLiteral("--host"),
            QStringLiteral("2=") + host.HostText(), file});
        EXPECT_EQ(run.code, silent ? 1 : 0) << run.err.toStdString();
        if (silent) {
            EXPECT_EQ(run.err, "vellmar-upload: " + file + ": not uploaded: no data moved for 1 seconds\n");
            EXPECT_LT(clock.elapsed(), 2500);
        } else {
            EXPECT_EQ(run.out, QStringLiteral("http://h/a\thttp://h/b\n"));
            EXPECT_GT(clock.elapsed(), 2500);
        }
    }
}

TEST(UploadCli, CodeInsteadOfAddresses)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString ini
        = WriteIni(dir, "[Main]\nServerID=4\nCreateThumbs=1\n" + ServersSection(host.HostText()));
    const QStringList files = {dir.write("1.png", PngOf(30, 20)), dir.write("2.png", PngOf(40, 20)),
        dir.write("3.png", PngOf(50, 20))};
    QByteArray utf16 = "\xFF\xFE";
    for (const QChar c : QStringLiteral("[b]Фото[/b]\r\n%images%\r\n-- конец"))
        utf16 += QByteArray(reinterpret_cast<const char*>(&c), 2);
    const QString tmpl = dir.write("template.txt", utf16);

    const QString i = QStringLiteral("http://%1/i/").arg(host.HostText());
    // Own thumbnails: the second upload of each file is its thumbnail.
    const QString table = "[url=" + i + "1][img]" + i + "2[/img][/url]  [url=" + i + "3][img]" + i
        + "4[/img][/url]\r\n\r\n[url=" + i + "5][img]" + i + "6[/img][/url]  ";
    const CliRun run
        = RunCli(QStringList {QStringLiteral("--ini"), ini, QStringLiteral("--code"), QStringLiteral("0"),
                     QStringLiteral("--per-row"), QStringLiteral("2"), QStringLiteral("--template"), tmpl}
            + files);
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "[b]Фото[/b]\r\n" + table + "\r\n-- конец\n");
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST(UploadCli, OptionsOverrideTheSettings)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString ini = WriteIni(dir, "[Main]\nServerID=2\nThumbWidth=300\n");
    const CliRun run = RunCli({QStringLiteral("--ini"), ini, QStringLiteral("--server"), QStringLiteral("1"),
        QStringLiteral("--thumb-size"), QStringLiteral("77"), QStringLiteral("--host"),
        QStringLiteral("1=") + host.HostText(), dir.write("a.png", PngOf(200, 100))});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count(u'\n'), 1);
    // The picture asks for 77, its own thumbnail is 77 wide and goes up asking for 160.
    ASSERT_EQ(host.Uploads().size(), 2);
    EXPECT_TRUE(host.Requests()[0].contains("name=\"pfile\""));
    EXPECT_EQ(host.Stored(1).sizeField, "77");
    EXPECT_EQ(host.Stored(2).sizeField, "160");
    EXPECT_EQ(QImage::fromData(host.Stored(2).bytes).width(), 77);
}

TEST(UploadCli, StopAndUnknownService)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString a = dir.write("a.png", PngOf(20, 20));
    const QString b = dir.write("b.png", PngOf(20, 20));

    const std::atomic<bool> stopped {true};
    const CliRun stop
        = RunCli({QStringLiteral("--ini"), WriteIni(dir, ServersSection(host.HostText())), a, b}, &stopped);
    EXPECT_EQ(stop.code, 1);
    EXPECT_TRUE(stop.out.isEmpty());
    EXPECT_EQ(stop.err,
        "vellmar-upload: " + a + ": not uploaded: stopped\nvellmar-upload: " + b
            + ": not uploaded: stopped\n");

    const CliRun unknown = RunCli({QStringLiteral("--ini"), WriteIni(dir, "[Main]\nServerID=7\n"), a});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(
        unknown.err, QStringLiteral("vellmar-upload: the settings name service 7, which does not exist\n"));
    EXPECT_TRUE(host.Requests().isEmpty());
}

TEST(UploadCli, BadArgumentsGiveUsageAndStatusTwo)
{
    TestDir dir;
    const QString file = dir.write("a.png", "x");
    const QString code = QStringLiteral("--code");
    const QStringList cases[] = {
        {},
        {QStringLiteral("--server"), QStringLiteral("5"), file},
        {QStringLiteral("--server"), QStringLiteral("two"), file},
        {QStringLiteral("--thumb-size"), QStringLiteral("0"), file},
        {QStringLiteral("--thumb-size"), QStringLiteral("1025"), file},
        {QStringLiteral("--host"), QStringLiteral("5=example.org"), file},
        {QStringLiteral("--host"), QStringLiteral("1=bad host"), file},
        {QStringLiteral("--ini"), dir.file("no.ini"), file},
        {QStringLiteral("--bogus"), file},
        {code, QStringLiteral("7"), file},
        {code, QStringLiteral("0"), QStringLiteral("--per-row"), QStringLiteral("0"), file},
        {code, QStringLiteral("0"), QStringLiteral("--template"), dir.file("none.txt"), file},
        {QStringLiteral("--per-row"), QStringLiteral("3"), file},
        {code, QStringLiteral("1")},
        {QStringLiteral("--timeout"), QStringLiteral("0"), file},
        {QStringLiteral("--prepare-only"), dir.file("no-folder"), file},
        {QStringLiteral("--prepare-only"), dir.path(), QStringLiteral("--raw"), file},
    };
    for (const QStringList& args : cases) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.code, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: vellmar-upload")))
            << args.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    const CliRun help = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    for (const char* option : {"--server N", "--thumb-size PX", "--host N=NAME[:PORT]", "--ini PATH", "--raw",
             "--code TYPE", "--per-row N", "--template PATH", "--timeout SECONDS", "--prepare-only DIR"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
}

TEST(UploadCli, TheProgramWithoutADisplay)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    // Text stamps and thumbnail captions on, so fonts are loaded and drawn.
    const QString ini = WriteIni(dir, "[Main]\nServerID=4\n" + ServersSection(host.HostText()));
    const QString file = dir.write("shot.png", PngOf(64, 48));
    const QString temp = dir.file("tmp");
    ASSERT_TRUE(QDir().mkdir(temp));

    // Unset, and a display that cannot be reached: both end on the offscreen platform, silently.
    for (const char* display : {"", ":97"}) {
        SCOPED_TRACE(display);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "WAYLAND_DISPLAY", "DISPLAY"})
            env.remove(QLatin1String(name));
        if (*display)
            env.insert(QStringLiteral("DISPLAY"), QLatin1String(display));
        env.insert(QStringLiteral("TMPDIR"), temp);
        QProcess ok;
        ok.setProcessEnvironment(env);
        ok.start(QStringLiteral(VELLMAR_UPLOAD_EXE),
            {QStringLiteral("--ini"), ini, QStringLiteral("--code"), QStringLiteral("3"), file});
        ASSERT_TRUE(ok.waitForFinished(30000));
        EXPECT_EQ(ok.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(ok.exitCode(), 0);
        EXPECT_EQ(ok.readAllStandardError(), QByteArray());
        const QByteArray out = ok.readAllStandardOutput();
        ASSERT_TRUE(out.startsWith("[url]") && out.endsWith("[/url]\r\n")) << out.constData();
        EXPECT_EQ(
            QImage::fromData(host.Uploads().value(host.Uploads().size() - 2).bytes).size(), QSize(64, 48));
        // The prepared files went into a folder of the run, which is gone with it.
        EXPECT_FALSE(QDirIterator(temp, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories).hasNext());
    }
}
