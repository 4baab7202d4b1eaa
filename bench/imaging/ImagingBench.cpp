// SPDX-License-Identifier: MIT
// Prepares the same photos three ways and prints pictures per second: Vellmar's own
// preparation (bounded to 1024 x 768, text stamp, JPEG 85, a 180-pixel thumbnail with
// caption), vipsthumbnail and ImageMagick's convert (resize and save, plus a 180-pixel
// thumbnail). Then photos as phones store them against vipsthumbnail, which reads both too: a
// 12-megapixel HEIC, and JPEGs stored sideways with an orientation tag against the same
// pictures stored upright. Needs libvips-tools and imagemagick.
#include "bench/support/BenchRun.h"
#include "bench/support/Photos.h"
#include "bench/support/Reference.h"
#include "imaging/Prepare.h"
#include "imaging/TempFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTransform>
#include <algorithm>
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

constexpr int kPhoneFiles = 5;

// The same photo four times over would let a cache flatter nobody: each file is decoded anew.
QStringList Copies(const QString& file, const QString& folder, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/%2%3.%4")
                                 .arg(folder, QFileInfo(file).completeBaseName())
                                 .arg(i)
                                 .arg(QFileInfo(file).suffix());
        if (!QFile::copy(file, path))
            return {};
        paths << path;
    }
    return paths;
}

bool PhonePhotos(const BenchRun& scratch, int count)
{
    for (const char* folder : {"phone", "heic-vips", "upright", "sideways", "sideways-vips"})
        QDir(scratch.Path()).mkdir(QString::fromLatin1(folder));
    std::printf(
        "\nGenerating a 12-megapixel HEIC (4032 x 3024) and %d photos stored upright and sideways ...\n",
        count);
    const QString heic = scratch.FilePath("phone/phone.heic");
    const QImage photo = PhotoLike(11);
    if (!WriteHeic(
            photo.copy(0, 0, 5332, 3999).scaled(4032, 3024, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            heic))
        return false;
    const QStringList heics = Copies(heic, scratch.FilePath("phone"), count);
    // Upright: the portrait photo as its pixels stand. Sideways: the same picture stored turned
    // a quarter anticlockwise, with the tag that turns it back (6), as a phone held upright writes it.
    const QTransform quarter = QTransform().rotate(90);
    QImageWriter upright(scratch.FilePath("upright/portrait.jpg"), "jpeg");
    upright.setQuality(92);
    QImageWriter sideways(scratch.FilePath("sideways/portrait.jpg"), "jpeg");
    sideways.setQuality(92);
    if (!upright.write(photo.transformed(quarter)) || !sideways.write(photo)
        || !TagOrientation(scratch.FilePath("sideways/portrait.jpg"), 6))
        return false;
    const QStringList straight
        = Copies(scratch.FilePath("upright/portrait.jpg"), scratch.FilePath("upright"), count);
    const QStringList turned
        = Copies(scratch.FilePath("sideways/portrait.jpg"), scratch.FilePath("sideways"), count);
    if (heics.isEmpty() || straight.isEmpty() || turned.isEmpty())
        return false;

    const double heicVellmar = TimeVellmar(heics);
    const double heicVips = TimeVips(heics, scratch.FilePath("heic-vips"), {});
    const double uprightVellmar = TimeVellmar(straight);
    const double sidewaysVellmar = TimeVellmar(turned);
    const double sidewaysVips = TimeVips(turned, scratch.FilePath("sideways-vips"), {});
    std::printf("\nPhotos as phones store them, %d each:\n", count);
    Report("Vellmar, 12-megapixel HEIC", heicVellmar, count);
    Report("vipsthumbnail, 12-megapixel HEIC", heicVips, count);
    Report("Vellmar, 4000 x 6000 JPEG stored upright", uprightVellmar, count);
    Report("Vellmar, the same stored sideways, tagged", sidewaysVellmar, count);
    Report("vipsthumbnail, stored sideways, tagged", sidewaysVips, count);
    if (heicVellmar > 0 && heicVips > 0)
        std::printf("Vellmar / vipsthumbnail time on HEIC: %.2fx (target <= 1.15)\n", heicVellmar / heicVips);
    if (uprightVellmar > 0 && sidewaysVellmar > 0)
        std::printf("Vellmar sideways and tagged / upright time: %.2fx (target: as fast, 1.00)\n",
            sidewaysVellmar / uprightVellmar);
    return heicVellmar > 0 && sidewaysVellmar > 0;
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
    return vellmar > 0 && PhonePhotos(scratch, std::min(n, kPhoneFiles)) ? 0 : 1;
}
