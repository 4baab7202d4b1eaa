// SPDX-License-Identifier: MIT
// Takes 16 frames from a 10-minute 1920 x 1080 H.264 video (a key frame every 10 s) four ways
// and prints the time and the peak memory of each: Vellmar's engine (in a child process of
// its own, so that its memory is measured alone), `ffmpeg -noaccurate_seek -ss T -fps_mode
// passthrough` 16 times (the same work: a key-frame seek each), `ffmpeg -ss T` 16 times (exact seeks,
// decoding up to T) and ffmpegthumbnailer 16 times where it is installed. Then 16 frames from a
// 1-minute video of the same kind, where slices share key frames and the engine decodes on to
// each slice's own time, against the 16 exact ffmpeg seeks that do the same. Every run writes
// JPEG files. The videos are made once with the ffmpeg program and kept in the build tree.
#include "bench/support/Spawn.h"
#include "video/FrameExtraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFrames = 16;
constexpr int kSeconds = 600;
constexpr int kShortSeconds = 60;

QString Seconds(MediaTime time)
{
    return QString::number(static_cast<double>(time) / kTicksPerSecond, 'f', 3);
}

// What the child runs: the engine with every frame written as the wizard writes it.
class JpegSink : public FrameSink
{
public:
    explicit JpegSink(QString folder)
        : m_folder(std::move(folder))
    { }
    void OnStatus(const QString&) override { }
    void OnProgress(int) override { }
    void OnFrame(const GrabbedFrame& frame) override
    {
        QImageWriter writer(QStringLiteral("%1/vellmar%2.jpg").arg(m_folder).arg(frame.index), "jpeg");
        writer.setQuality(100);
        written += writer.write(frame.image) ? 1 : 0;
    }
    int written = 0;

private:
    QString m_folder;
};

int RunEngine(const QString& video, const QString& folder)
{
    JpegSink sink(folder);
    const ExtractionResult result = ExtractFrames(video, kFrames, sink, nullptr);
    return result.Complete() && sink.written == kFrames ? 0 : 1;
}

QString MakeVideo(int seconds)
{
    const QString folder = QStringLiteral(VELLMAR_BENCH_CACHE);
    const QString path = folder + QStringLiteral("/h264-1080p-%1s-gop10s.mp4").arg(seconds);
    if (QFile::exists(path))
        return path;
    QDir().mkpath(folder);
    std::printf("Making the %d-second test video once...\n", seconds);
    std::fflush(stdout);
    const QString partial = path + QStringLiteral(".partial.mp4");
    const Measure made = Spawn({QStringLiteral("ffmpeg"), QStringLiteral("-y"), QStringLiteral("-f"),
        QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("testsrc2=s=1920x1080:r=25:d=%1").arg(seconds), QStringLiteral("-c:v"),
        QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("superfast"),
        QStringLiteral("-crf"), QStringLiteral("30"), QStringLiteral("-g"), QStringLiteral("250"),
        QStringLiteral("-keyint_min"), QStringLiteral("250"), QStringLiteral("-sc_threshold"),
        QStringLiteral("0"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), partial});
    if (!made.ok || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return {};
    }
    return path;
}

void Print(const char* name, const Measure& m, const Measure& ours)
{
    if (!m.ok) {
        std::printf("  %-34s failed\n", name);
        return;
    }
    std::printf("  %-34s %7.2f s  peak %5ld MiB", name, m.seconds, m.peakKiB / 1024);
    if (&m != &ours && ours.seconds > 0 && ours.peakKiB > 0)
        std::printf("   %.1fx our time, %.1fx our memory", m.seconds / ours.seconds,
            static_cast<double>(m.peakKiB) / static_cast<double>(ours.peakKiB));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--engine"))
        return RunEngine(args[2], args[3]);
    int rounds = 3;
    if (args.size() == 3 && args[1] == QLatin1String("--rounds"))
        rounds = std::max(1, args[2].toInt());

    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        std::fprintf(stderr, "the ffmpeg program is needed (Debian package ffmpeg)\n");
        return 1;
    }
    const QString video = MakeVideo(kSeconds);
    const QString shortVideo = MakeVideo(kShortSeconds);
    if (video.isEmpty() || shortVideo.isEmpty()) {
        std::fprintf(stderr, "the test video could not be made\n");
        return 1;
    }
    // Every contender reads the file from the page cache.
    Spawn({QStringLiteral("cat"), video});
    Spawn({QStringLiteral("cat"), shortVideo});

    const QTemporaryDir out;
    const auto exactRuns = [&](const QString& file, int seconds) {
        std::vector<QStringList> runs;
        const std::vector<MediaTime> at = FramePositions(seconds * kTicksPerSecond, kFrames);
        for (std::size_t i = 0; i < at.size(); ++i) {
            runs.push_back({QStringLiteral("ffmpeg"), QStringLiteral("-y"), QStringLiteral("-ss"),
                Seconds(at[i]), QStringLiteral("-i"), file, QStringLiteral("-frames:v"), QStringLiteral("1"),
                QStringLiteral("-q:v"), QStringLiteral("1"), out.filePath(QStringLiteral("f%1.jpg").arg(i))});
        }
        return runs;
    };
    std::vector<MediaTime> positions = FramePositions(kSeconds * kTicksPerSecond, kFrames);
    std::vector<QStringList> keySeeks;
    const std::vector<QStringList> exactSeeks = exactRuns(video, kSeconds);
    const std::vector<QStringList> shortExactSeeks = exactRuns(shortVideo, kShortSeconds);
    std::vector<QStringList> thumbnailer;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const QString t = Seconds(positions[i]);
        const QString jpeg = out.filePath(QStringLiteral("f%1.jpg").arg(i));
        // Without passthrough, ffmpeg decodes and drops every frame before T (they get negative
        // times), which is the exact seek's work under another name.
        keySeeks.push_back(QStringList {QStringLiteral("ffmpeg"), QStringLiteral("-y"),
                               QStringLiteral("-noaccurate_seek"), QStringLiteral("-ss"), t,
                               QStringLiteral("-i"), video, QStringLiteral("-frames:v"), QStringLiteral("1")}
            << QStringLiteral("-fps_mode") << QStringLiteral("passthrough") << QStringLiteral("-q:v")
            << QStringLiteral("1") << jpeg);
        thumbnailer.push_back({QStringLiteral("ffmpegthumbnailer"), QStringLiteral("-i"), video,
            QStringLiteral("-o"), jpeg, QStringLiteral("-s"), QStringLiteral("0"), QStringLiteral("-q"),
            QStringLiteral("10"), QStringLiteral("-t"), FrameCaption(positions[i])});
    }
    const bool haveThumbnailer
        = !QStandardPaths::findExecutable(QStringLiteral("ffmpegthumbnailer")).isEmpty();

    // The best of a few rounds: the machine is shared, and the least disturbed run tells most.
    Measure ours {1e9, 0}, key {1e9, 0}, exact {1e9, 0}, thumbs {1e9, 0}, shortOurs {1e9, 0},
        shortExact {1e9, 0};
    auto keepBest = [](Measure& best, const Measure& run) {
        best.ok = best.ok && run.ok;
        best.seconds = std::min(best.seconds, run.seconds);
        best.peakKiB = std::max(best.peakKiB, run.peakKiB);
    };
    for (int round = 0; round < rounds; ++round) {
        keepBest(ours,
            Spawn({QCoreApplication::applicationFilePath(), QStringLiteral("--engine"), video, out.path()}));
        keepBest(key, SpawnEach(keySeeks));
        keepBest(exact, SpawnEach(exactSeeks));
        if (haveThumbnailer)
            keepBest(thumbs, SpawnEach(thumbnailer));
        keepBest(shortOurs,
            Spawn({QCoreApplication::applicationFilePath(), QStringLiteral("--engine"), shortVideo,
                out.path()}));
        keepBest(shortExact, SpawnEach(shortExactSeeks));
    }

    std::printf("%d frames from %s (1920 x 1080 H.264, %d s, a key frame every 10 s), best of %d rounds:\n",
        kFrames, qPrintable(QFileInfo(video).fileName()), kSeconds, rounds);
    Print("vellmar engine", ours, ours);
    Print("ffmpeg -noaccurate_seek -ss T, x16", key, ours);
    Print("ffmpeg -ss T (exact), x16", exact, ours);
    if (haveThumbnailer)
        Print("ffmpegthumbnailer -t T, x16", thumbs, ours);
    else
        std::printf("  ffmpegthumbnailer is not installed\n");
    std::printf("%d frames from %s (%d s, a key frame every 10 s: slices share key frames, and each\n"
                "frame is decoded on to its own time), best of %d rounds:\n",
        kFrames, qPrintable(QFileInfo(shortVideo).fileName()), kShortSeconds, rounds);
    Print("vellmar engine", shortOurs, shortOurs);
    Print("ffmpeg -ss T (exact), x16", shortExact, shortOurs);
    return ours.ok && key.ok && exact.ok && shortOurs.ok && shortExact.ok ? 0 : 1;
}
