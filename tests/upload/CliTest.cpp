// SPDX-License-Identifier: MIT
// vellmar-upload against the local test host: in-process for the details, and once as the
// real program.
#include "TempDir.h"
#include "TestHost.h"
#include "UploadCli.h"
#include "UploadTestSupport.h"

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

CliRun RunCli(const QStringList& args)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = RunUploadCli(QStringList {QStringLiteral("vellmar-upload")} + args, out, err);
    return run;
}

QString WriteIni(const TestDir& dir, const QByteArray& text)
{
    return dir.write(QStringLiteral("vellmar.ini"), text);
}

} // namespace

TEST(UploadCli, UploadsEveryFileAndNamesTheOnesThatFail)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QByteArray png = SamplePng(400, 200);
    const QByteArray other = "\xFF\xD8\xFF not really a jpeg";
    const QString ini = WriteIni(
        dir, "[Main]\nServerID=2\nThumbWidth=2000\n[Servers]\nHost2=" + host.HostText().toLatin1() + "\n");

    const CliRun run = RunCli({QStringLiteral("--ini"), ini, dir.write("one.png", png),
        dir.file("missing.png"), dir.write("two.jpg", other)});
    EXPECT_EQ(run.code, 1);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(dir.file("missing.png"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot open the file")));
    EXPECT_FALSE(run.err.contains(QStringLiteral("one.png")));

    // Service 2 from the settings, and the out-of-range thumbnail width replaced by 150.
    ASSERT_EQ(host.Requests().size(), 2);
    EXPECT_TRUE(host.Requests()[0].startsWith("POST /action.aspx "));
    EXPECT_TRUE(host.Requests()[0].contains("name=\"VM\"\r\n\r\n150\r\n"));

    const QByteArray sent[] = {png, other};
    for (int i = 0; i < 2; ++i) {
        const QStringList addresses = lines[i].split(u'\t');
        ASSERT_EQ(addresses.size(), 2) << lines[i].toStdString();
        const FetchResult picture = Fetch(addresses[0]);
        EXPECT_EQ(picture.status, 200);
        EXPECT_EQ(picture.body, sent[i]);
        const FetchResult thumb = Fetch(addresses[1]);
        EXPECT_EQ(thumb.status, 200);
        if (i == 0) {
            EXPECT_EQ(picture.contentType, "image/png");
            EXPECT_EQ(QImage::fromData(thumb.body).size(), QSize(150, 75));
        } else {
            EXPECT_EQ(thumb.body, other);
        }
    }
}

TEST(UploadCli, OptionsOverrideTheSettings)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString ini = WriteIni(dir, "[Main]\nServerID=2\nThumbWidth=300\n");
    const CliRun run = RunCli({QStringLiteral("--ini"), ini, QStringLiteral("--server"), QStringLiteral("1"),
        QStringLiteral("--thumb-size"), QStringLiteral("77"), QStringLiteral("--host"),
        QStringLiteral("1=") + host.HostText(), dir.write("a.png", SamplePng(20, 20))});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count(u'\n'), 1);
    ASSERT_EQ(host.Requests().size(), 1);
    EXPECT_TRUE(host.Requests()[0].contains("name=\"pfile\""));
    EXPECT_TRUE(host.Requests()[0].contains("name=\"preview_size\"\r\n\r\n77\r\n"));
}

TEST(UploadCli, BadArgumentsGiveUsageAndStatusTwo)
{
    TestDir dir;
    const QString file = dir.write("a.png", "x");
    const QStringList cases[] = {
        {},
        {QStringLiteral("--server"), QStringLiteral("5"), file},
        {QStringLiteral("--server"), QStringLiteral("-1"), file},
        {QStringLiteral("--server"), QStringLiteral("two"), file},
        {QStringLiteral("--thumb-size"), QStringLiteral("0"), file},
        {QStringLiteral("--thumb-size"), QStringLiteral("1025"), file},
        {QStringLiteral("--host"), QStringLiteral("5=example.org"), file},
        {QStringLiteral("--host"), QStringLiteral("1=bad host"), file},
        {QStringLiteral("--host"), QStringLiteral("example.org"), file},
        {QStringLiteral("--ini"), dir.file("no.ini"), file},
        {QStringLiteral("--bogus"), file},
        {QStringLiteral("--server")},
    };
    for (const QStringList& args : cases) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.code, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: vellmar-upload")))
            << args.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(UploadCli, HelpDocumentsEveryOption)
{
    const CliRun run = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(run.code, 0);
    for (const char* option :
        {"--server N", "--thumb-size PX", "--host N=NAME[:PORT]", "--ini PATH", "--help"})
        EXPECT_TRUE(run.out.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(run.err.isEmpty());
}

TEST(UploadCli, TheProgramItself)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString ini
        = WriteIni(dir, "[Main]\nServerID=4\n[Servers]\nHost4=" + host.HostText().toLatin1() + "\n");
    const QByteArray png = SamplePng(64, 48);

    QProcess ok;
    ok.start(QStringLiteral(VELLMAR_UPLOAD_EXE), {QStringLiteral("--ini"), ini, dir.write("shot.png", png)});
    ASSERT_TRUE(ok.waitForFinished(30000));
    EXPECT_EQ(ok.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ok.exitCode(), 0) << ok.readAllStandardError().toStdString();
    const QList<QByteArray> fields = ok.readAllStandardOutput().trimmed().split('\t');
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(Fetch(QString::fromLatin1(fields[0])).body, png);

    QProcess bad;
    bad.start(QStringLiteral(VELLMAR_UPLOAD_EXE), {QStringLiteral("--server"), QStringLiteral("9")});
    ASSERT_TRUE(bad.waitForFinished(30000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("--server"));
}
