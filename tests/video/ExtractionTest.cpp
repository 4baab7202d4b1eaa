// SPDX-License-Identifier: MIT
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Videos.h"
#include "video/FrameExtraction.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

/// The frame number a sample's picture shows at `x`, `y`; -1 when the level fits none.
int FrameNumberAt(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    const double level = (qRed(pixel) + qGreen(pixel) + qBlue(pixel)) / 3.0;
    const double number = (level - 20) / 3;
    return std::abs(number - std::round(number)) < 0.4 ? static_cast<int>(std::round(number)) : -1;
}

constexpr MediaTime kSecond = kTicksPerSecond;
constexpr MediaTime kFrame = kSecond / 10; // the samples' frame rate
const QString kDone = QStringLiteral("Извлечение видео кадров завершено.");

struct Recorder : FrameSink
{
    void OnStatus(const QString& text) override { statuses << text; }
    void OnProgress(int done) override { progress << done; }
    void OnFrame(const GrabbedFrame& frame) override
    {
        frames << frame;
        onFrame(frame);
    }

    QStringList statuses;
    QList<int> progress;
    QList<GrabbedFrame> frames;
    std::function<void(const GrabbedFrame&)> onFrame = [](const GrabbedFrame&) {};
};

// Runs vellmar-grab in `folder` with `args` (split at blanks) and `video`: its exit code (-1 when
// it did not end normally), the lines it printed and what it said on its error output.
std::tuple<int, QStringList, QString> Grab(const QString& args, const QString& video, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(VELLMAR_GRAB_EXE, args.split(u' ', Qt::SkipEmptyParts) << video);
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
        QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// Every container and codec: the picture's own number says which frame came, the caption and time
// must be that frame's, and the picture must stand as a viewer shows it.
TEST(Extraction, FramesCarryTheirPictureAndTime)
{
    // The sample, its picture's size, a point inside the white box after rotation and widening,
    // one well away from it, and the times taken in seconds (none: within a key-frame interval).
    const std::tuple<const char*, QSize, QPoint, QPoint, std::vector<double>> cases[] = {
        // An index: the key frame nearest each position (0.6, 2.1, 3.6, 5.1 s).
        {"h264.mp4", {64, 48}, {6, 6}, {40, 30}, {1, 2, 4, 5}},
        {"mpeg4.avi", {64, 48}, {6, 6}, {40, 30}, {1, 2, 4, 5}},
        {"vp9.webm", {64, 48}, {6, 6}, {40, 30}, {}},
        {"wmv2.wmv", {64, 48}, {6, 6}, {40, 30}, {}},
        {"h264-10bit.mkv", {64, 48}, {6, 6}, {40, 30}, {1, 2, 4, 5}},
        // No index and a start time of 1.5 s: still the nearest, counted from the start.
        {"mpeg2.ts", {64, 48}, {6, 6}, {40, 30}, {1, 2, 4, 5}},
        // Stored turned: shown turned back, the box from the upper left to the lower left.
        {"rotated.mp4", {48, 64}, {6, 57}, {30, 20}, {1, 2, 4, 5}},
        // Pixels twice as wide as high: the picture and its box twice as wide.
        {"sar.mp4", {128, 48}, {26, 6}, {90, 30}, {1, 2, 4, 5}},
        // Key frames 3 s apart: the nearest one serves once; the other slices decode on to their
        // own time, so every frame is another moment.
        {"sparse.mp4", {64, 48}, {6, 6}, {40, 30}, {0, 3, 3.6, 5.1}},
    };
    for (const auto& [sample, size, box, grey, expected] : cases) {
        SCOPED_TRACE(sample);
        const QString path = SampleVideo(sample);
        ASSERT_FALSE(path.isEmpty());
        Recorder sink;
        const ExtractionResult result = ExtractFrames(path, 4, sink, nullptr);
        EXPECT_TRUE(result.Complete());
        ASSERT_EQ(sink.frames.size(), 4);
        EXPECT_EQ(sink.progress, QList<int>({1, 2, 3, 4}));
        EXPECT_EQ(sink.statuses.value(0),
            QStringLiteral("Извлечение кадров из файла \"%1\" ...").arg(path.section(u'/', -1)));
        EXPECT_EQ(sink.statuses.last(), kDone);

        const std::vector<MediaTime> positions = FramePositions(6 * kSecond, 4);
        for (int i = 0; i < 4; ++i) {
            const GrabbedFrame& frame = sink.frames[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(frame.index, i);
            EXPECT_EQ(frame.image.format(), QImage::Format_RGB32);
            ASSERT_EQ(frame.image.size(), size);
            EXPECT_TRUE(Near(frame.image.pixel(box), 0xFFFFFFFF, 34)); // every channel above 220
            const int number = FrameNumberAt(frame.image, grey.x(), grey.y());
            ASSERT_GE(number, 0) << std::hex << frame.image.pixel(grey);
            EXPECT_EQ(frame.time, number * kFrame);
            EXPECT_EQ(frame.caption, FrameCaption(number * kFrame));
            EXPECT_EQ(sink.statuses.value(1 + i), frame.caption);
            if (expected.empty())
                EXPECT_LE(std::abs(frame.time - positions[i]), kSecond);
            else
                EXPECT_EQ(frame.time, std::llround(expected[i] * kSecond));
        }
    }
}

TEST(Extraction, Faults)
{
    TestDir dir;
    const QByteArray whole = TestDir::read(SampleVideo("h264.mp4"));
    // Cut in the middle of the frames, behind the index at the front.
    const qsizetype frames = whole.indexOf("mdat");
    using O = ExtractionOutcome;
    // The file, the frames asked, the fewest and most taken, the outcome and the last status. A file
    // that is not a video at all is among the grab tool's failures.
    const std::tuple<QString, int, int, int, ExtractionOutcome, QString> cases[] = {
        {dir.write("empty.avi", {}), 4, 0, 0, O::NotReadable, "Невозможно загрузить видео файл."},
        {dir.file("missing.mkv"), 4, 0, 0, O::NotReadable, "Невозможно загрузить видео файл."},
        {SampleVideo("audio.m4a"), 4, 0, 0, O::NoVideoStream,
            "Невозможно соединить исходные пины с фильтром."},
        {SampleVideo("live.mkv"), 4, 0, 0, O::UnknownDuration, "Невозможно определить длину видео потока."},
        // Frames whose data is gone are reported missing, the others still come.
        {dir.write("cut.mp4", whole.left((frames + whole.size()) / 2)), 4, 1, 3, O::Finished, kDone},
        // More frames asked than the video has: its three different frames, and it says so.
        {SampleVideo("short.mp4"), 10, 3, 3, O::Finished, kDone + " Разных кадров в видео только 3 из 10."},
    };
    for (const auto& [path, count, fewest, most, outcome, status] : cases) {
        SCOPED_TRACE(path.toStdString());
        Recorder sink;
        const ExtractionResult result = ExtractFrames(path, count, sink, nullptr);
        EXPECT_EQ(result.outcome, outcome);
        EXPECT_TRUE(result.framesTaken >= fewest && result.framesTaken <= most) << result.framesTaken;
        EXPECT_EQ(
            result.missed.size(), outcome == O::Finished ? count - result.framesTaken - result.repeated : 0);
        EXPECT_EQ(sink.frames.size(), result.framesTaken);
        EXPECT_EQ(sink.statuses.last(), status);
        for (const GrabbedFrame& frame : std::as_const(sink.frames))
            EXPECT_EQ(frame.time, FrameNumberAt(frame.image, 40, 30) * kFrame);
    }

    Recorder nothing;
    EXPECT_EQ(ExtractFrames(QString(), 4, nothing, nullptr).outcome, ExtractionOutcome::NoFile);
    EXPECT_TRUE(nothing.statuses.isEmpty());
}

TEST(Extraction, StopEndsPromptlyAndSaysSo)
{
    TestDir dir;
    const QString path = SampleVideo("vp9.webm");
    const QString doomed = dir.write("doomed.webm", TestDir::read(path));
    std::atomic<bool> stop {false};
    Recorder sink;
    // The file is deleted at the first frame: the open file stays readable to the one who holds it.
    sink.onFrame = [&](const GrabbedFrame& frame) {
        QFile::remove(doomed);
        stop = frame.index == 1;
    };
    QElapsedTimer clock;
    clock.start();
    const ExtractionResult result = ExtractFrames(doomed, 50, sink, &stop);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(result.outcome, ExtractionOutcome::Stopped);
    EXPECT_EQ(result.framesTaken, 2);
    EXPECT_EQ(sink.progress, QList<int>({1, 2}));
    EXPECT_EQ(sink.statuses.last(), kDone);

    // A stop that comes first: even opening the file is cut short, inside FFmpeg's reads too.
    Recorder early;
    EXPECT_EQ(ExtractFrames(path, 4, early, &stop).outcome, ExtractionOutcome::Stopped);
    EXPECT_TRUE(early.frames.isEmpty());
    EXPECT_EQ(early.statuses.last(), kDone);
    FfmpegVideo video(&stop);
    EXPECT_EQ(video.Open(path).failure, OpenFailure::Stopped);
}

TEST(GrabCli, WritesFramesAndSheetOrSaysWhyNot)
{
    TestDir dir;
    const QString video = SampleVideo("h264.mp4");
    const QString base = QFileInfo(video).completeBaseName();
    const QString taken = dir.write(base + "_02.jpg", "the user's own file");
    const auto [code, lines, err] = Grab("--frames 3 --sheet sheet.png --columns 2", video, dir.path());
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    // Positions 1.2, 3.2 and 5.2 s; the second name was taken, so that frame went beside it.
    EXPECT_EQ(lines,
        QStringList({"./" + base + "_01.jpg\t00:00:01", "./" + base + "_02_1.jpg\t00:00:03",
            "./" + base + "_03.jpg\t00:00:05", "sheet\tsheet.png"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QImage(dir.file(lines.value(i).section(u'\t', 0, 0))).size(), QSize(64, 48)) << i;
    EXPECT_EQ(TestDir::read(taken), "the user's own file");
    EXPECT_EQ(QImage(dir.file("sheet.png")).size(), QSize(415, 2 * 157 + 7));

    const QString notVideo = dir.write("notes.txt", "plain text\n");
    const auto [unreadCode, unreadLines, unreadErr] = Grab("", notVideo, dir.path());
    EXPECT_EQ(unreadCode, 1);
    EXPECT_TRUE(unreadLines.isEmpty());
    EXPECT_TRUE(unreadErr.startsWith("vellmar-grab: " + notVideo + ": cannot be read as a video file"))
        << unreadErr.toStdString();
}
