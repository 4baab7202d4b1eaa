// SPDX-License-Identifier: MIT
// vellmar-grab as the real program, started the way a user or a script starts it.
#include "tests/support/TempDir.h"
#include "tests/video/VideoSamples.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct GrabRun
{
    int code = -1;
    QStringList lines;
    QString err;
};

// Runs vellmar-grab in `folder` with `args` (split at blanks) and the file `video`.
GrabRun Grab(const QString& args, const QString& video, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(VELLMAR_GRAB_EXE, args.split(u' ', Qt::SkipEmptyParts) << video);
    GrabRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

TEST(GrabCli, WritesFramesAndSheet)
{
    TestDir dir;
    const QString video = SampleVideo("h264.mp4");
    const QString base = QFileInfo(video).completeBaseName();
    const QString taken = dir.write(base + "_02.jpg", "the user's own file");
    const GrabRun run = Grab("--frames 3 --sheet sheet.png --columns 2", video, dir.path());
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    // Positions 1.2, 3.2 and 5.2 s; the second name was taken, so that frame went beside it.
    EXPECT_EQ(run.lines,
        QStringList({"./" + base + "_01.jpg\t00:00:01", "./" + base + "_02_1.jpg\t00:00:03",
            "./" + base + "_03.jpg\t00:00:05", "sheet\tsheet.png"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QImage(dir.file(run.lines.value(i).section(u'\t', 0, 0))).size(), QSize(64, 48)) << i;
    EXPECT_EQ(TestDir::read(taken), "the user's own file");
    EXPECT_EQ(QImage(dir.file("sheet.png")).size(), QSize(415, 2 * 157 + 7));
}

TEST(GrabCli, Failures)
{
    TestDir dir;
    const QString notVideo = dir.write("notes.txt", "plain text\n");
    const GrabRun run = Grab("", notVideo, dir.path());
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.lines.isEmpty());
    EXPECT_TRUE(run.err.startsWith("vellmar-grab: " + notVideo + ": cannot be read as a video file"))
        << run.err.toStdString();

    const GrabRun bad = Grab("--frames 0", notVideo, dir.path());
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(bad.err.contains("Usage: vellmar-grab"));
}
