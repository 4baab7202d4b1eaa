// SPDX-License-Identifier: MIT
// vellmar-upload against the local test host, in-process and as the real program without a
// display: what the options and the settings choose, what is printed, the exit status. How a
// file is prepared and sent is the worker's, tested with it.
#include "app/cli/UploadCli.h"
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

class UploadCli : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.Start()); }

    static CliRun Run(const QStringList& args, const std::atomic<bool>* stop = nullptr)
    {
        CliRun run;
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        run.code = RunUploadCli(QStringList {QStringLiteral("vellmar-upload")} + args, out, err, stop);
        return run;
    }
    QString Ini(const QByteArray& text) const { return dir.write(QStringLiteral("vellmar.ini"), text); }

    TestDir dir;
    TestHost host;
};

} // namespace

TEST_F(UploadCli, RawSendsTheFilesThemselves)
{
    const QByteArray png = PngOf(400, 200);
    const QByteArray other = "\xFF\xD8\xFF not really a jpeg";
    // A service without thumbnails: one upload per file with the file's own bytes on the wire,
    // no thumbnail address, and the run's files over one connection.
    host.SetKeepAlive(true);
    const QString profile = dir.write("plain.sxcu",
        R"({"RequestURL": "http://)" + host.HostText().toUtf8()
            + R"(/api/upload/form", "FileFormName": "file", "URL": "{json:url}"})");
    const CliRun run = Run(
        {"--raw", "--ini", Ini("[Main]\nCreateThumbs=1\n[Thumbs]\nUserServerThumbs=0\n"), "--service-file",
            profile, dir.write("one.png", png), dir.write("two.jpg", other), dir.file("one.png")});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
        StoredAddress(host, 'i', 1) + "\t\n" + StoredAddress(host, 'i', 2) + "\t\n"
            + StoredAddress(host, 'i', 3) + "\t\n");
    EXPECT_EQ(PostCount(host), 3);
    EXPECT_EQ(host.Stored(1).bytes, png);
    EXPECT_EQ(host.Stored(2).bytes, other);
    EXPECT_EQ(host.ConnectionCount(), 1);
}

// The settings choose the service and bound the pictures; the options send it to the host with a
// thumbnail size of their own and ask for code in a template instead of addresses.
TEST_F(UploadCli, SettingsAndOptionsChooseWhatIsSentAndPrinted)
{
    // Only service 1 is sent to the host; the others keep the hosts of the settings.
    const QString ini
        = Ini("[Image]\nMaxWidth=100\nFormat=2\nAddText=0\nAddLogo=0\n[Main]\nServerID=1\nThumbWidth=300\n");
    const QString tmpl
        = dir.write("template.txt", QStringLiteral("[b]Фото[/b]\r\n%images%\r\n-- конец").toUtf8());
    const CliRun run = Run({"--ini", ini, "--thumb-size", "50", "--host", "1=" + host.HostText(), "--code",
        "0", "--per-row", "2", "--template", tmpl, dir.write("a.jpg", JpegOf(300, 150)),
        dir.write("bad.png", "\x89PNG\r\n\x1A\n broken"), dir.write("b.png", PngOf(80, 60))});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
        "vellmar-upload: \"" + dir.file("bad.png") + "\": not uploaded: it cannot be decoded as a picture\n");
    // Own thumbnails: the second upload of each file is its thumbnail.
    const auto linked = [&](int n) {
        return "[url=" + StoredAddress(host, 'i', 2 * n - 1) + "][img]" + StoredAddress(host, 'i', 2 * n)
            + "[/img][/url]";
    };
    EXPECT_EQ(run.out, "[b]Фото[/b]\r\n" + linked(1) + "  " + linked(2) + "\r\n\r\n\r\n-- конец\n");
    EXPECT_TRUE(host.Requests()[0].contains("name=\"pfile\""));
    EXPECT_EQ(host.Stored(1).sizeField, "50");
    // PNG within 100 pixels of width.
    EXPECT_EQ(QImage::fromData(host.Stored(1).bytes, "PNG").size(), QSize(100, 50));
    EXPECT_EQ(QImage::fromData(host.Stored(3).bytes, "PNG").size(), QSize(80, 60));
}

TEST_F(UploadCli, PrepareOnlyWritesIntoAFolderAndUploadsNothing)
{
    const QString ini = Ini("[Image]\nMaxWidth=100\nFormat=2\nAddText=0\n[Main]\nThumbWidth=50\n"
        + ServersSection(host.HostText()));
    const QString out = dir.file("out");
    ASSERT_TRUE(QDir().mkdir(out));
    const QByteArray taken = "an earlier file of the same name";
    dir.write("out/a.png", taken);
    const CliRun run = Run(
        {"--ini", ini, "--prepare-only", out, dir.write("a.jpg", JpegOf(300, 150)), dir.file("missing.jpg")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, out + "/a_1.png\t" + out + "/a-thumb.png\n");
    EXPECT_EQ(run.err,
        "vellmar-upload: \"" + dir.file("missing.jpg") + "\": not prepared: the file does not exist\n");
    EXPECT_EQ(QImage(out + "/a_1.png").size(), QSize(100, 50));
    EXPECT_EQ(QImage(out + "/a-thumb.png").width(), 50);
    EXPECT_EQ(TestDir::read(out + "/a.png"), taken);
    EXPECT_TRUE(host.Requests().isEmpty());
    // A file kept as it is is copied, with its permissions; the user's own file stays where it is.
    const CliRun kept = Run({"--ini", Ini("[Image]\nKeepAsIs=1\nStripLocation=0\n[Main]\nCreateThumbs=0\n"),
        "--prepare-only", out, dir.file("a.jpg")});
    EXPECT_EQ(kept.out, out + "/a.jpg\t\n");
    EXPECT_EQ(TestDir::read(out + "/a.jpg"), TestDir::read(dir.file("a.jpg")));
    EXPECT_EQ(QFile::permissions(out + "/a.jpg"), QFile::permissions(dir.file("a.jpg")));
}

// The limit is on silence, not on the whole exchange: an answer that keeps trickling in for
// three seconds goes through with a one-second limit, a silent server is given up after one.
TEST_F(UploadCli, TimeoutIsForASilenceNotForTheWholeTransfer)
{
    const QString small = dir.write("a.png", PngOf(20, 20));
    // Also an upload the server reads slowly but steadily: what the system buffers is not stalled.
    const QString large = dir.write("large.png", QByteArray(1 << 20, 'p'));
    for (const int kind : {0, 1, 2}) {
        const bool silent = kind == 1;
        SCOPED_TRACE(kind);
        TestHost slow;
        slow.SetMode(silent ? TestHost::Mode::Silent : TestHost::Mode::Canned);
        slow.SetCannedAnswers({CannedAnswer("[IMG]http://h/a[/IMG][IMG]http://h/b[/IMG]")});
        slow.SetTrickle(kind == 0 ? 10 : 1, 300);
        if (kind == 2)
            slow.SetReadPace(16 * 1024, 40);
        ASSERT_TRUE(slow.Start());
        const QString file = kind == 2 ? large : small;
        QElapsedTimer clock;
        clock.start();
        const CliRun run
            = Run({"--raw", "--timeout", "1", "--server", "2", "--host", "2=" + slow.HostText(), file});
        EXPECT_EQ(run.code, silent ? 1 : 0) << run.err.toStdString();
        if (silent) {
            EXPECT_EQ(
                run.err, "vellmar-upload: \"" + file + "\": not uploaded: no data moved for 1 seconds\n");
            EXPECT_LT(clock.elapsed(), 2500);
        } else {
            EXPECT_EQ(run.out, QStringLiteral("http://h/a\thttp://h/b\n"));
            EXPECT_GT(clock.elapsed(), 2000);
        }
    }
}

TEST_F(UploadCli, StopAndUnknownService)
{
    const QString a = dir.write("a.png", PngOf(20, 20));
    // A name with a line break cannot forge a line of its own.
    const QString b = dir.write("b\nvellmar-upload: x.png", PngOf(20, 20));
    const std::atomic<bool> stopped {true};
    const CliRun stop = Run({"--ini", Ini(ServersSection(host.HostText())), a, b}, &stopped);
    EXPECT_EQ(stop.code, 1);
    EXPECT_TRUE(stop.out.isEmpty());
    EXPECT_EQ(stop.err,
        "vellmar-upload: \"" + a + "\": not uploaded: stopped\nvellmar-upload: \"" + dir.path()
            + "/b\\nvellmar-upload: x.png\": not uploaded: stopped\n");

    const CliRun unknown = Run({"--ini", Ini("[Main]\nServerID=7\n"), a});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(
        unknown.err, QStringLiteral("vellmar-upload: the settings name service 7, which does not exist\n"));
    EXPECT_TRUE(host.Requests().isEmpty());
}

TEST_F(UploadCli, ServicesByNameByFileAndListed)
{
    const QString a = dir.write("a.png", PngOf(20, 20));
    QByteArray offline = TestDir::read(QStringLiteral(VELLMAR_SOURCE_DIR "/scripts/offline.sxcu.in"));
    offline.replace("@PORT@", QByteArray::number(host.Port()));
    const QString profile = dir.write("local.sxcu", offline);
    const QString ini = Ini("[Main]\nService=nothing like it\n[Thumbs]\nUserServerThumbs=1\n");

    // The deletion address is a third column.
    const CliRun byFile = Run({"--ini", ini, "--service-file", profile, a});
    EXPECT_EQ(byFile.code, 0) << byFile.err.toStdString();
    const QString origin = QStringLiteral("http://") + host.HostText();
    const QStringList columns = byFile.out.chopped(1).split(u'\t');
    ASSERT_EQ(columns.size(), 3) << byFile.out.toStdString();
    EXPECT_TRUE(columns[2].startsWith(origin + "/d/1/")) << columns[2].toStdString();

    // Added, it is chosen by name; a name the settings keep that no service has is an error.
    const CliRun added = Run({"--add-service", profile});
    EXPECT_EQ(added.code, 0) << added.err.toStdString();
    EXPECT_EQ(added.out, "added \"Local (offline)\" as " + UserServiceFolder() + "/Local (offline).sxcu\n");
    const CliRun refused = Run({"--add-service", dir.write("bad.sxcu", "[]")});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err,
        "vellmar-upload: " + dir.file("bad.sxcu")
            + ": line 1: the file holds a list, not a service's object\n");
    const CliRun byName = Run({"--ini", ini, "--service", "local (OFFLINE)", a});
    EXPECT_EQ(byName.code, 0) << byName.err.toStdString();
    EXPECT_TRUE(byName.out.startsWith(origin + "/i/2\t" + origin + "/t/2\t" + origin + "/d/2/"));
    const CliRun unknown = Run({"--ini", ini, a});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_TRUE(unknown.err.startsWith("vellmar-upload: there is no service named \"nothing like it\""));

    const CliRun list = Run({"--list-services", "--ini", Ini("[Servers]\nHost2=r.example\n")});
    EXPECT_EQ(list.code, 0);
    EXPECT_TRUE(list.out.startsWith("0\tImageShack\thttp://imageshack.us/\n1\tKeep4u\thttp://keep4u.ru/\n"
                                    "2\tRadikal\thttp://r.example/\n"))
        << list.out.toStdString();
    EXPECT_TRUE(
        list.out.endsWith("\n5\t0x0.st\thttps://0x0.st\n6\tcatbox.moe\thttps://catbox.moe/user/api.php\n"
                          "7\tLocal (offline)\thttp://127.0.0.1:"
            + QString::number(host.Port()) + "/api/upload/form\n"));
    QDir(UserServiceFolder()).removeRecursively();
}

TEST_F(UploadCli, BadArgumentsGiveUsageAndStatusTwo)
{
    const QString file = dir.write("a.png", "x");
    const QStringList cases[] = {{}, {"--server", "99", file}, {"--service", "two", file},
        {"--service-file", dir.write("bad.sxcu", "{\"RequestURL\": 1}"), file},
        {"--ca-file", dir.file("no.pem"), file}, {"--jobs", "0", file}, {"--thumb-size", "0", file},
        {"--thumb-size", "1025", file}, {"--host", "5=example.org", file}, {"--host", "1=bad host", file},
        {"--ini", dir.file("no.ini"), file}, {"--ini", dir.path(), file}, {"--bogus", file},
        {"--code", "0", "--template", "/dev/zero", file}, {"--code", "7", file},
        {"--code", "0", "--per-row", "0", file}, {"--code", "0", "--template", dir.file("none.txt"), file},
        {"--per-row", "3", file}, {"--code", "1"}, {"--timeout", "0", file},
        {"--prepare-only", dir.file("no-folder"), file}, {"--prepare-only", dir.path(), "--raw", file}};
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: vellmar-upload")));
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_TRUE(
        Run({"--ini", dir.path(), file})
            .err.startsWith("vellmar-upload: \"" + dir.path() + "\" is a folder, not a settings file\n"));
    EXPECT_EQ(Run({"--help"}).code, 0);
}

TEST_F(UploadCli, TheProgramWithoutADisplay)
{
    // Text stamps and thumbnail captions on, so fonts are loaded and drawn.
    const QString ini = Ini("[Main]\nServerID=4\n" + ServersSection(host.HostText()));
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
        ok.start(QStringLiteral(VELLMAR_UPLOAD_EXE), {"--ini", ini, "--code", "3", file});
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

// Two programs upload at once into one history; it is then listed, searched and made into code.
TEST_F(UploadCli, HistoryOfTwoProgramsAtOnceListedAndCoded)
{
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.file("data")));
    const QString ini = Ini("[Main]\nServerID=2\n" + ServersSection(host.HostText()));
    QList<QProcess*> programs;
    for (const char* prefix : {"p", "q"}) {
        QStringList args {"--ini", ini};
        for (int i = 1; i <= 3; ++i)
            args << dir.write(
                QStringLiteral("%1%2.png").arg(QLatin1String(prefix)).arg(i), PngOf(30 + i, 20));
        programs << new QProcess;
        programs.last()->start(QStringLiteral(VELLMAR_UPLOAD_EXE), args);
    }
    for (QProcess* program : programs) {
        EXPECT_TRUE(program->waitForFinished(30000));
        EXPECT_EQ(program->exitCode(), 0) << program->readAllStandardError().constData();
        delete program;
    }

    const CliRun all = Run({"--ini", ini, "--history"});
    EXPECT_EQ(all.code, 0);
    const QStringList lines = all.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << all.out.toStdString();
    QStringList names;
    for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 6) << line.toStdString();
        EXPECT_EQ(fields[1], QStringLiteral("Radikal"));
        EXPECT_TRUE(fields[3].startsWith(StoredAddress(host, 'i', 0).chopped(1)));
        names << fields[2];
    }
    names.sort();
    EXPECT_EQ(names, QStringList({"p1.png", "p2.png", "p3.png", "q1.png", "q2.png", "q3.png"}));

    const CliRun found = Run({"--ini", ini, "--history", "--search", "Q2.PNG", "--json"});
    const QJsonArray json = QJsonDocument::fromJson(found.out.toUtf8()).array();
    ASSERT_EQ(json.size(), 1) << found.out.toStdString();
    const QJsonObject entry = json[0].toObject();
    EXPECT_EQ(entry.keys(),
        QStringList({"deletion_url", "height", "id", "image_url", "name", "service", "size", "source",
            "thumb_url", "time", "width"}));
    EXPECT_EQ(entry["source"].toString(), dir.file("q2.png"));
    EXPECT_EQ(entry["width"].toInt(), 32);

    // The two newest as plain links, in the order they went up.
    const QStringList newest = lines.mid(0, 2);
    const CliRun code = Run({"--ini", ini, "--history-code", "4", "--limit", "2"});
    EXPECT_EQ(code.out,
        newest[1].split(u'\t')[3] + QStringLiteral("\r\n") + newest[0].split(u'\t')[3]
            + QStringLiteral("\r\n"));

    // Off in the settings: an upload leaves no row.
    const CliRun off
        = Run({"--ini", Ini("[Main]\nServerID=2\n[History]\nKeep=0\n" + ServersSection(host.HostText())),
            dir.file("p1.png")});
    EXPECT_EQ(off.code, 0);
    EXPECT_EQ(Run({"--ini", ini, "--history"}).out, all.out);
    EXPECT_EQ(Run({"--search", "x", dir.file("p1.png")}).code, 2);
    qputenv("XDG_DATA_HOME", before);
}
