// SPDX-License-Identifier: MIT
// The whole job for a run of photos, preparation and upload of picture and thumbnail to a local
// host: vellmar-upload with one job per core and with --jobs 1, and a script of vipsthumbnail
// (bounded picture, thumbnail) and curl (both uploaded) per file, in a loop and through
// xargs -P on all cores. Prints the wall time, the peak memory of the largest process and the
// ratios to vellmar-upload's default run; then vellmar-upload alone on photos of mixed sizes,
// the quality of one photo's bounded picture against vipsthumbnail's, and one connection per
// run against one per file over a proxy that adds latency. Needs libvips-tools, curl and
// imagemagick.
#include "bench/pipeline/ProxyCase.h"
#include "bench/support/BenchRun.h"
#include "bench/support/Photos.h"
#include "bench/support/Reference.h"
#include "bench/support/Spawn.h"
#include "imaging/TempFolder.h"
#include "settings/Settings.h"
#include "testhost/TestHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

constexpr int kBoundWidth = 1024;
constexpr int kBoundHeight = 768;
constexpr int kQuality = 85;
constexpr int kThumb = 180;

struct Options
{
    int files = 20;
    int rounds = 3;
    QString photos;
    QString upload = QStringLiteral(VELLMAR_UPLOAD_PROGRAM);
};

Options ParseOptions(const QStringList& args)
{
    Options options;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--files"))
            options.files = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--rounds"))
            options.rounds = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--photos"))
            options.photos = args[i + 1];
        else if (args[i] == QLatin1String("--upload"))
            options.upload = args[i + 1];
    }
    return options;
}

bool WriteText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// The same preparation as the imaging benchmark's, read by vellmar-upload from its settings file.
bool WriteSettings(const QString& path)
{
    Settings settings;
    settings.main.Image.MaxWidth = kBoundWidth;
    settings.main.Image.MaxHeight = kBoundHeight;
    settings.main.Image.Format = ImageFormat::Jpeg;
    settings.main.Image.Quality = kQuality;
    settings.main.Image.AddText = true;
    settings.main.Image.AddLogo = false;
    settings.main.Main.CreateThumbs = true;
    settings.main.Main.ThumbWidth = kThumb;
    settings.main.Thumbs.UserServerThumbs = false;
    settings.main.Thumbs.AddImageSize = true;
    return SaveSettings(path, settings).ok();
}

bool WriteProfile(const QString& path, quint16 port)
{
    QFile in(QStringLiteral(VELLMAR_OFFLINE_PROFILE));
    if (!in.open(QIODevice::ReadOnly))
        return false;
    return WriteText(path, in.readAll().replace("@PORT@", QByteArray::number(port)));
}

// Per file what a shell user would write: both sizes with vipsthumbnail, both uploads with curl,
// each answer kept for the check.
const char kPerFile[] = R"sh(#!/bin/sh
# usage: one.sh URL OUTDIR FILE
set -e
out="$2/$(basename "$3")"
vipsthumbnail "$3" -s 1024x768 -o "$out.big.jpg[Q=85]"
vipsthumbnail "$3" -s 180 -o "$out.thumb.jpg"
curl -sf -F "file=@$out.big.jpg" "$1" >"$out.big.json"
curl -sf -F "file=@$out.thumb.jpg" "$1" >"$out.thumb.json"
)sh";

const char kLoop[] = R"sh(#!/bin/sh
# usage: loop.sh ONE URL OUTDIR FILE...
one=$1 url=$2 dir=$3
shift 3
for f in "$@"; do
    sh "$one" "$url" "$dir" "$f" || exit 1
done
)sh";

// Every file gave one line with the picture, thumbnail and deletion addresses.
bool CheckVellmarLines(const QString& path, int files)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    int good = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> columns = line.split('\t');
        if (columns.size() != 3 || std::any_of(columns.cbegin(), columns.cend(), [](const QByteArray& c) {
                return !c.startsWith("http://");
            }))
            return false;
        ++good;
    }
    return good == files;
}

// Every curl answer holds the address of the stored upload.
bool CheckCurlAnswers(const QString& dir, const QStringList& photos)
{
    for (const QString& photo : photos)
        for (const char* kind : {".big.json", ".thumb.json"}) {
            QFile file(dir + u'/' + QFileInfo(photo).fileName() + QLatin1String(kind));
            if (!file.open(QIODevice::ReadOnly))
                return false;
            const QString url = QJsonDocument::fromJson(file.readAll()).object().value("url").toString();
            if (!url.startsWith(QLatin1String("http://")))
                return false;
        }
    return true;
}

// The uploads of one run, ids `first` on: half of them bounded pictures, half 180-pixel-wide
// thumbnails, in any order. Returns the sizes of the first of each, empty when the check fails.
QString CheckStoredSizes(const TestHost& host, int first, int files)
{
    int pictures = 0;
    int thumbs = 0;
    QSize picture, thumb;
    for (int id = first; id < first + 2 * files; ++id) {
        const QSize size = QImageReader(host.Stored(id).path).size();
        if (size.width() == kThumb) {
            ++thumbs;
            thumb = thumb.isValid() ? thumb : size;
        } else if (size.width() <= kBoundWidth && size.height() <= kBoundHeight
            && (size.width() == kBoundWidth || size.height() == kBoundHeight)) {
            ++pictures;
            picture = picture.isValid() ? picture : size;
        }
    }
    if (pictures != files || thumbs != files)
        return {};
    return SizeText(picture) + QStringLiteral(" + ") + SizeText(thumb);
}

// CPU seconds this process has used: the host serves on its threads.
double OwnCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Contender
{
    const char* name;
    std::function<Measure(const QString& outDir)> run;
    std::function<bool(const QString& outDir)> check;
    Measure best {1e9, 0, true};
    QString sizes;
    double hostCpu = 0; ///< in the fastest round
};

void Print(const Contender& c, const Measure& ours)
{
    if (!c.best.ok) {
        std::printf("  %-44s failed\n", c.name);
        return;
    }
    std::printf("  %-44s %7.2f s  peak %5ld MiB", c.name, c.best.seconds, c.best.peakKiB / 1024);
    if (&c.best != &ours && ours.seconds > 0 && ours.peakKiB > 0)
        std::printf("   %.2fx our time, %.2fx our memory", c.best.seconds / ours.seconds,
            static_cast<double>(c.best.peakKiB) / static_cast<double>(ours.peakKiB));
    std::printf("\n  %-44s uploads %s, host CPU %.2f s\n", "", qPrintable(c.sizes), c.hostCpu);
}

const char* Verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// Photos of mixed sizes taking turns, large then small, as a real set has them: prepared only and
// prepared and uploaded, with one job per core and with one job. A pool that lets a large photo
// hold up the others shows here, not on photos all of one size.
bool MixedSizes(const BenchRun& run, const QStringList& vellmar, int files, int rounds)
{
    QDir(run.Path()).mkdir(QStringLiteral("mixed"));
    std::printf(
        "\nGenerating %d photos of mixed sizes (5640 x 3172 and 2560 x 1920 taking turns) ...\n", files);
    std::fflush(stdout);
    const QStringList photos = MakeMixedPhotos(run.FilePath("mixed"), files);
    if (photos.isEmpty())
        return false;
    struct Case
    {
        const char* name;
        QStringList extra;
        bool prepareOnly;
        double best = 1e9;
    } cases[] = {
        {"prepare only, one job per core", {}, true},
        {"prepare only, --jobs 1", {"--jobs", "1"}, true},
        {"prepare and upload, one job per core", {}, false},
        {"prepare and upload, --jobs 1", {"--jobs", "1"}, false},
    };
    bool ok = true;
    for (int round = 0; round < rounds; ++round)
        for (Case& c : cases) {
            const QString out = run.FilePath(QStringLiteral("mixed-out"));
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            const QStringList only = c.prepareOnly ? QStringList {"--prepare-only", out} : QStringList();
            const Measure m = Spawn(vellmar + c.extra + only + photos, out + "/lines.txt");
            ok = ok && m.ok;
            c.best = std::min(c.best, m.seconds);
        }
    std::printf("Mixed sizes, %d files, best of %d rounds:\n", files, rounds);
    for (const Case& c : cases)
        std::printf("  %-44s %7.2f s\n", c.name, c.best);
    for (int i = 0; i < 4; i += 2) {
        const double speedup = cases[i + 1].best / cases[i].best;
        std::printf("Target: %s at least 1.7x as fast as --jobs 1 on two cores: %.2fx, %s\n",
            cases[i].prepareOnly ? "preparing" : "preparing and uploading", speedup, Verdict(speedup >= 1.7));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const BenchRun run(argc, argv, "pipeline");
    if (!run.ok())
        return 1;
    const Options options = ParseOptions(QCoreApplication::arguments());
    for (const char* tool : {"vipsthumbnail", "curl", "xargs"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr, "%s is needed\n", tool);
            return 1;
        }
    if (!QFileInfo(options.upload).isExecutable()) {
        std::fprintf(stderr, "no vellmar-upload at %s (--upload PATH)\n", qPrintable(options.upload));
        return 1;
    }
    // The developer's own services and settings stay out of it.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(run.FilePath("config")));
    if (QCoreApplication::arguments().contains(QStringLiteral("--proxy-only")))
        return RunProxyCase(options.upload, run.FilePath(QStringLiteral("proxy")), 20, 50) ? 0 : 1;
    QDir scratch(run.Path());
    for (const char* folder : {"photos", "store", "config", "quality"})
        scratch.mkdir(QString::fromLatin1(folder));

    std::printf("Generating %d photos of %d x %d ...\n", options.files, kPhotoWidth, kPhotoHeight);
    std::fflush(stdout);
    QStringList photos = MakePhotos(run.FilePath("photos"), options.files);
    if (photos.isEmpty())
        return 1;
    const QString qualityPhoto = photos.first();
    if (!options.photos.isEmpty())
        photos += JpegsIn(options.photos);
    qint64 bytes = 0;
    for (const QString& p : photos)
        bytes += QFileInfo(p).size();
    const int cores = QThread::idealThreadCount();
    const int n = int(photos.size());

    TestHost host;
    host.SetKeepRequests(false);
    host.SetStoreDir(run.FilePath("store"));
    if (!host.Start()) {
        std::fprintf(stderr, "the local host did not start: %s\n", qPrintable(host.ErrorText()));
        return 1;
    }
    const QString url = host.Origin() + QStringLiteral("/api/upload/form");
    const QString ini = run.FilePath("vellmar.ini");
    const QString profile = run.FilePath("local.sxcu");
    const QString perFile = run.FilePath("one.sh");
    const QString loop = run.FilePath("loop.sh");
    if (!WriteSettings(ini) || !WriteProfile(profile, host.Port()) || !WriteText(perFile, kPerFile)
        || !WriteText(loop, kLoop)) {
        std::fprintf(stderr, "cannot write the settings, the profile or the scripts\n");
        return 1;
    }
    const QString list = run.FilePath("files.txt");
    WriteText(list, photos.join(u'\n').toLocal8Bit() + '\n');

    const QStringList vellmar {options.upload, "--ini", ini, "--service-file", profile};
    auto vellmarRun = [&](const QStringList& extra) {
        return [&, extra](const QString& out) { return Spawn(vellmar + extra + photos, out + "/lines.txt"); };
    };
    auto vellmarCheck = [&](const QString& out) { return CheckVellmarLines(out + "/lines.txt", n); };
    auto curlCheck = [&](const QString& out) { return CheckCurlAnswers(out, photos); };
    std::vector<Contender> contenders {
        {"vellmar-upload (default: one job per core)", vellmarRun({}), vellmarCheck},
        {"(a) vellmar-upload --jobs 1", vellmarRun({"--jobs", "1"}), vellmarCheck},
        {"(b1) vipsthumbnail + curl, loop",
            [&](const QString& out) {
                return Spawn(QStringList {"sh", loop, perFile, url, out} + photos);
            },
            curlCheck},
        {"(b2) vipsthumbnail + curl, xargs -P cores",
            [&](const QString& out) {
                return Spawn({"xargs", "-d", "\n", "-a", list, "-n", "1", "-P", QString::number(cores), "sh",
                    perFile, url, out});
            },
            curlCheck},
    };

    std::printf("  %.1f MB in all, %d files; %d cores; local host %s\n", bytes / 1e6, n, cores,
        qPrintable(host.Origin()));
    std::fflush(stdout);
    bool allOk = true;
    for (int round = 0; round < options.rounds; ++round)
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            Contender& c = contenders[i];
            const QString out = run.FilePath(QStringLiteral("out-%1-%2").arg(i).arg(round));
            scratch.mkdir(out);
            const int before = host.StoredCount();
            const double cpuBefore = OwnCpuSeconds();
            const Measure m = c.run(out);
            const double hostCpu = OwnCpuSeconds() - cpuBefore;
            const int stored = host.StoredCount() - before;
            const QString sizes = stored == 2 * n ? CheckStoredSizes(host, before + 1, n) : QString();
            const bool ok = m.ok && c.check(out) && !sizes.isEmpty();
            if (!ok) {
                std::fprintf(stderr, "%s, round %d: %s, %d uploads stored of %d\n", c.name, round + 1,
                    m.ok ? "wrong output" : "failed", stored, 2 * n);
                allOk = false;
            }
            c.best.ok = c.best.ok && ok;
            c.sizes = sizes;
            if (m.seconds < c.best.seconds)
                c.hostCpu = hostCpu;
            c.best.seconds = std::min(c.best.seconds, m.seconds);
            c.best.peakKiB = std::max(c.best.peakKiB, m.peakKiB);
            QDir(out).removeRecursively();
        }
    const long floorKiB = OwnResidentKiB();

    std::printf("\nPrepare (bound to %d x %d, JPEG %d, text stamp, %d-pixel captioned thumbnail for Vellmar; "
                "vipsthumbnail without stamps) and upload picture + thumbnail, %d files, best of %d rounds "
                "(the machine is shared; peak: the largest process, over all rounds):\n",
        kBoundWidth, kBoundHeight, kQuality, kThumb, n, options.rounds);
    const Measure& ours = contenders[0].best;
    for (const Contender& c : contenders)
        Print(c, ours);
    std::printf("  (a peak counts at least the %ld MiB this benchmark has resident when it starts a run)\n",
        floorKiB / 1024);
    const Measure& one = contenders[1].best;
    const Measure& xargs = contenders[3].best;
    if (ours.ok && one.ok && xargs.ok) {
        const double speedup = one.seconds / ours.seconds;
        const double overShell = xargs.seconds / ours.seconds;
        std::printf("Target: at least 1.7x as fast as --jobs 1 on two cores: %.2fx, %s\n", speedup,
            Verdict(speedup >= 1.7));
        std::printf("Target: faster than vipsthumbnail + curl through xargs -P %d: %.2fx, %s\n", cores,
            overShell, Verdict(overShell > 1.0));
    }

    if (!MixedSizes(run, vellmar, options.files, options.rounds))
        allOk = false;

    std::printf("\nQuality of %s bounded to %d wide (lossless, no stamps), PSNR against a Lanczos "
                "reference of its own geometry:\n",
        qPrintable(QFileInfo(qualityPhoto).fileName()), kBoundWidth);
    TempFolder temp;
    const BoundedQuality quality = CompareBounded(temp, qualityPhoto, kBoundWidth, run.FilePath("quality"));
    if (quality.vellmar && quality.vips) {
        const double difference = *quality.vellmar - *quality.vips;
        std::printf("  Vellmar %dx%d: %.2f dB, vipsthumbnail %dx%d: %.2f dB, difference %+.2f dB\n",
            quality.vellmarSize.width(), quality.vellmarSize.height(), *quality.vellmar,
            quality.vipsSize.width(), quality.vipsSize.height(), *quality.vips, difference);
        std::printf("Target: within 0.3 dB of vipsthumbnail (not more than 0.3 dB below): %s\n",
            Verdict(difference >= -0.3));
    } else {
        std::printf("  not measured (needs vipsthumbnail and ImageMagick's convert)\n");
    }
    // One connection per host for a run, against one per file, where each costs round trips.
    allOk = RunProxyCase(options.upload, run.FilePath(QStringLiteral("proxy")), 20, 50) && allOk;
    host.Stop();
    return allOk ? 0 : 1;
}
