// SPDX-License-Identifier: MIT
// Prepares the same photos three ways and prints pictures per second: Vellmar's own
// preparation (bounded to 1024 x 768, text stamp, JPEG 85, a 180-pixel thumbnail with
// caption), vipsthumbnail and ImageMagick's convert (resize and save, plus a 180-pixel
// thumbnail). Needs libvips-tools and imagemagick.
#include "bench/support/BenchRun.h"
#include "bench/support/Photos.h"
#include "bench/support/Reference.h"
#include "imaging/Prepare.h"
#include "imaging/TempFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

struct Options
{
    int files = 20;
};

bool Run(const QString& program, const QStringList& arguments, const QStringList& extraEnv = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : extraEnv)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return false;
    }
    return true;
}

double TimeVellmar(const QStringList& photos)
{
    MainPart main;
    main.Image.MaxWidth = 1024;
    main.Image.MaxHeight = 768;
    main.Image.Format = ImageFormat::Jpeg;
    main.Image.Quality = 85;
    main.Image.AddText = true;
    main.Image.AddLogo = false;
    const AppearancePart appearance;
    TempFolder temp;
    QElapsedTimer timer;
    timer.start();
    for (const QString& photo : photos) {
        const PreparedImage prepared = PrepareImage(temp, photo, 180, main, appearance);
        if (!prepared.ok() || prepared.thumbPath.isEmpty()) {
            std::fprintf(stderr, "Vellmar failed on %s: %s\n", qPrintable(photo), qPrintable(prepared.error));
            return -1;
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const PreparedImage first = PrepareImage(temp, photos.first(), 180, main, appearance);
    const QString out = first.path;
    const QString thumb = first.thumbPath;
    std::printf("  Vellmar output %dx%d, thumbnail %dx%d\n", QImageReader(out).size().width(),
        QImageReader(out).size().height(), QImageReader(thumb).size().width(),
        QImageReader(thumb).size().height());
    return seconds;
}

double TimeVips(const QStringList& photos, const QString& outFolder, const QStringList& env)
{
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (vips.isEmpty())
        return -1;
    QElapsedTimer timer;
    timer.start();
    // One process per pass over all files, so start-up is paid twice, not forty times.
    if (!Run(vips, QStringList {"-s", "1024x768", "-o", outFolder + "/%s_big.jpg[Q=85]"} + photos, env)
        || !Run(vips, QStringList {"-s", "180", "-o", outFolder + "/%s_thumb.jpg[Q=90]"} + photos, env))
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

double TimeConvert(const QStringList& photos, const QString& outFolder, bool sizeHint)
{
    const QString convert = MagickProgram();
    if (convert.isEmpty())
        return -1;
    QElapsedTimer timer;
    timer.start();
    for (const QString& photo : photos) {
        const QString base = outFolder + u'/' + QFileInfo(photo).completeBaseName();
        QStringList args;
        if (sizeHint)
            args << "-define"
                 << "jpeg:size=2048x1536";
        args << photo << "-resize"
             << "1024x768"
             << "-quality"
             << "85"
             << "-write" << base + "_big.jpg"
             << "-thumbnail"
             << "180x180"
             << "-quality"
             << "90" << base + "_thumb.jpg";
        if (!Run(convert, args))
            return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

void Report(const char* name, double seconds, int files)
{
    if (seconds < 0)
        std::printf("  %-40s not available\n", name);
    else
        std::printf("  %-40s %7.2f s  %6.2f pictures/s\n", name, seconds, files / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    const BenchRun scratch(argc, argv, "bench");
    if (!scratch.ok())
        return 1;
    Options options;
    const QStringList args = QCoreApplication::arguments();
    const qsizetype filesAt = args.indexOf(QStringLiteral("--files"));
    if (filesAt > 0 && filesAt + 1 < args.size())
        options.files = qMax(1, args[filesAt + 1].toInt());

    QDir(scratch.Path()).mkdir("photos");
    QDir(scratch.Path()).mkdir("vips");
    QDir(scratch.Path()).mkdir("vips1");
    QDir(scratch.Path()).mkdir("convert");
    QDir(scratch.Path()).mkdir("convert-hint");
    std::printf("Generating %d photos of %d x %d ...\n", options.files, kPhotoWidth, kPhotoHeight);
    const QStringList photos = MakePhotos(scratch.FilePath("photos"), options.files);
    if (photos.isEmpty())
        return 1;
    qint64 bytes = 0;
    for (const QString& p : photos)
        bytes += QFileInfo(p).size();
    std::printf("  %.1f MB in all; %d cores\n", bytes / 1e6, QThread::idealThreadCount());

    const double vellmar = TimeVellmar(photos);
    const double vips = TimeVips(photos, scratch.FilePath("vips"), {});
    const double vips1 = TimeVips(photos, scratch.FilePath("vips1"), {"VIPS_CONCURRENCY=1"});
    const double convert = TimeConvert(photos, scratch.FilePath("convert"), false);
    const double convertHint = TimeConvert(photos, scratch.FilePath("convert-hint"), true);

    const int n = options.files;
    std::printf("\nResize to 1024 x 768 + 180-pixel thumbnail, %d photos:\n", n);
    Report("Vellmar (text stamp, captioned thumbnail)", vellmar, n);
    Report("vipsthumbnail", vips, n);
    Report("vipsthumbnail, VIPS_CONCURRENCY=1", vips1, n);
    Report("ImageMagick convert", convert, n);
    Report("ImageMagick convert -define jpeg:size", convertHint, n);
    if (vellmar > 0 && convert > 0)
        std::printf("Vellmar / ImageMagick speed: %.2fx (target >= 1)\n", convert / vellmar);
    if (vellmar > 0 && vips > 0)
        std::printf("Vellmar / vipsthumbnail speed: %.2fx (target >= 0.67, within 1.5x)\n", vips / vellmar);
    return vellmar > 0 ? 0 : 1;
}
