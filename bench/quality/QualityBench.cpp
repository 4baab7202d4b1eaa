// SPDX-License-Identifier: MIT
// How sharp the prepared pictures are: Vellmar's bounded picture (1024 wide) and 180-pixel
// thumbnail, vipsthumbnail's and ImageMagick's, each scored as PSNR against a Lanczos-3
// reference of its own geometry made from the full-size original. Pictures: a generated
// photo-like 6000 x 4000 JPEG, a fine line pattern as PNG and as JPEG, and every JPEG or PNG
// in the folder given with --photos. Needs libvips-tools and imagemagick.
#include "bench/support/BenchRun.h"
#include "bench/support/Psnr.h"
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
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kBounded = 1024;
constexpr int kThumb = 180;

// Value noise summed over octaves of equal amplitude: texture at every scale, as foliage, fabric
// or gravel give a photo, with as much fine detail as coarse.
std::vector<float> Texture(int w, int h, QRandomGenerator& random)
{
    std::vector<float> texture(std::size_t(w) * h, 0.0f);
    for (int period = 512; period >= 2; period /= 2) {
        const int gw = w / period + 2;
        const int gh = h / period + 2;
        std::vector<float> grid(std::size_t(gw) * gh);
        for (float& g : grid)
            g = float(random.generateDouble() * 2 - 1);
        for (int y = 0; y < h; ++y) {
            const int gy = y / period;
            const float fy = float(y % period) / period;
            for (int x = 0; x < w; ++x) {
                const int gx = x / period;
                const float fx = float(x % period) / period;
                const float* g = grid.data() + std::size_t(gy) * gw + gx;
                const float top = g[0] + (g[1] - g[0]) * fx;
                const float bottom = g[gw] + (g[gw + 1] - g[gw]) * fx;
                texture[std::size_t(y) * w + x] += top + (bottom - top) * fy;
            }
        }
    }
    return texture;
}

// Shapes with soft and hard edges at every angle, text, gradients, texture at every scale and
// sensor-like noise.
QImage PhotoLike()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, kWidth, kHeight);
    sky.setColorAt(0, QColor(40, 90, 160));
    sky.setColorAt(1, QColor(220, 180, 120));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(7);
    for (int i = 0; i < 700; ++i) {
        const QColor color(
            random.bounded(256), random.bounded(256), random.bounded(256), 120 + random.bounded(136));
        painter.setPen(QPen(color.darker(130), 1 + random.bounded(6)));
        painter.setBrush(color);
        const QRectF r(random.bounded(kWidth), random.bounded(kHeight), 20 + random.bounded(900),
            20 + random.bounded(600));
        painter.save();
        painter.translate(r.center());
        painter.rotate(random.bounded(360));
        painter.translate(-r.center());
        if (i % 3)
            painter.drawEllipse(r);
        else
            painter.drawRect(r);
        painter.restore();
    }
    painter.setPen(Qt::black);
    for (int i = 0; i < 60; ++i) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12 + random.bounded(120));
        painter.setFont(font);
        painter.drawText(
            random.bounded(kWidth - 500), random.bounded(kHeight), QStringLiteral("Vellmar 0123456789"));
    }
    painter.end();
    const std::vector<float> texture = Texture(kWidth, kHeight, random);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int n = random.bounded(13) - 6 + int(texture[std::size_t(y) * kWidth + x] * 12.0f);
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                std::clamp(qBlue(p) + n, 0, 255));
        }
    }
    return image;
}

// Tiles of 1000 x 1000: gratings of period 2 to 7 across, down and diagonal, checkerboards,
// coloured gratings and a zone plate, whose rings get finer to the corners.
QImage LinePattern()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int tile = x / 1000 + 6 * (y / 1000);
            const int lx = x % 1000;
            const int ly = y % 1000;
            const int p = 2 + tile % 6;
            bool on = false;
            QRgb ink = qRgb(255, 255, 255);
            switch (tile / 6) {
            case 0:
                on = lx % p < p / 2;
                break;
            case 1:
                on = ly % p < p / 2;
                break;
            case 2:
                on = (tile % 2 ? lx + ly : lx + 1000 - ly) % p == 0;
                ink = tile % 3 ? qRgb(255, 40, 40) : qRgb(40, 255, 255);
                break;
            default: {
                const double r2 = (lx - 500.0) * (lx - 500.0) + (ly - 500.0) * (ly - 500.0);
                const int v = tile % 2 ? int(127.5 + 127.5 * std::cos(std::numbers::pi * r2 / 1000.0))
                                       : ((lx / (tile % 3 + 1) + ly / (tile % 3 + 1)) % 2) * 255;
                line[x] = qRgb(v, v, v);
                continue;
            }
            }
            line[x] = on ? ink : qRgb(0, 0, 0);
        }
    }
    return image;
}

struct Score
{
    std::optional<double> psnr;
    double seconds = -1;
};

void Print(const char* tool, const Score& score, const std::optional<double>& vips)
{
    auto db = [](const std::optional<double>& v) {
        return !v            ? QStringLiteral("     -")
            : std::isinf(*v) ? QStringLiteral("   inf")
                             : QString::asprintf("%6.2f", *v);
    };
    QString delta = QStringLiteral("      ");
    if (score.psnr && vips && !std::isinf(*score.psnr) && !std::isinf(*vips))
        delta = QString::asprintf("%+6.2f", *score.psnr - *vips);
    std::printf("    %-34s %s dB   %s dB vs vips   %7.3f s\n", tool, qPrintable(db(score.psnr)),
        qPrintable(delta), score.seconds);
}

void Measure(TempFolder& temp, const QString& path, const QString& work)
{
    const QImage original = QImage(path).convertToFormat(QImage::Format_RGB32);
    if (original.isNull()) {
        std::printf("%s: cannot be read\n", qPrintable(path));
        return;
    }
    const QString base = work + u'/' + QFileInfo(path).completeBaseName();
    std::printf("%s (%dx%d)\n", qPrintable(QFileInfo(path).fileName()), original.width(), original.height());

    QElapsedTimer timer;
    timer.start();
    const PreparedImage prepared = PrepareForScoring(temp, path, kBounded, kThumb);
    const double vellmarSeconds = timer.nsecsElapsed() / 1e9;
    if (!prepared.ok())
        std::printf("    Vellmar failed: %s\n", qPrintable(prepared.error));
    const QImage bounded = prepared.ok() ? QImage(prepared.path) : QImage();
    const QImage small = prepared.thumbPath.isEmpty() ? QImage() : QImage(prepared.thumbPath);
    Score vellmarBig, vellmarSmall;
    vellmarBig.seconds = vellmarSmall.seconds = vellmarSeconds;
    if (!bounded.isNull()) {
        const QSize w = bounded.size();
        vellmarBig.psnr = ScoreVellmarBounded(path, bounded, base);
        // The thumbnail draws the bounded picture's proportions over (-0.5, -0.5, width + 1, height + 1.5).
        const QRectF dest(-0.5, -0.5, small.width() + 1.0, small.height() + 1.5);
        const QRectF from(-dest.x() * original.width() / dest.width(),
            -dest.y() * original.height() / dest.height(), small.width() * original.width() / dest.width(),
            small.height() * original.height() / dest.height());
        if (!small.isNull())
            vellmarSmall.psnr = Psnr(ReferenceLanczos(original, from, small.size()), small);
        // How far the floating-point reference is from ImageMagick's where both can draw.
        const QRectF boundedFrom(original.width() / (w.width() + 2.0), original.height() / (w.height() + 2.0),
            w.width() * original.width() / (w.width() + 2.0),
            w.height() * original.height() / (w.height() + 2.0));
        const auto agreement = Psnr(QImage(base + "_ref_v.png"), ReferenceLanczos(original, boundedFrom, w));
        std::printf("    (reference check: own Lanczos vs ImageMagick's, bounded geometry: %.1f dB)\n",
            agreement.value_or(0));
    }

    Score vipsBig, vipsSmall;
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (!vips.isEmpty()) {
        timer.restart();
        const bool ok
            = RunTool(vips, {path, "-s", QStringLiteral("%1x").arg(kBounded), "-o", base + "_vips_big.png"})
            && RunTool(vips, {path, "-s", QStringLiteral("%1x").arg(kThumb), "-o", base + "_vips_small.png"});
        vipsBig.seconds = vipsSmall.seconds = timer.nsecsElapsed() / 1e9;
        if (ok) {
            const QImage big(base + "_vips_big.png");
            const QImage tiny(base + "_vips_small.png");
            vipsBig.psnr = ScoreWholePicture(path, big, base + "_ref_vb.png");
            vipsSmall.psnr = ScoreWholePicture(path, tiny, base + "_ref_vs.png");
        }
    }

    // ImageMagick as it is used for speed: JPEG decoded at reduced size, twice the target.
    Score magickBig, magickSmall;
    if (!MagickProgram().isEmpty()) {
        const QSize big(kBounded, int(std::lround(double(kBounded) * original.height() / original.width())));
        const QSize tiny(kThumb, int(std::lround(double(kThumb) * original.height() / original.width())));
        timer.restart();
        const bool ok = RunTool(MagickProgram(),
                            {"-define", "jpeg:size=" + SizeText(big * 2), path, "-resize",
                                SizeText(big) + "!", base + "_im_big.png"})
            && RunTool(MagickProgram(),
                {"-define", "jpeg:size=" + SizeText(tiny * 2), path, "-thumbnail", SizeText(tiny) + "!",
                    base + "_im_small.png"});
        magickBig.seconds = magickSmall.seconds = timer.nsecsElapsed() / 1e9;
        if (ok) {
            magickBig.psnr
                = Psnr(MagickReference(path, big, {}, base + "_ref_mb.png"), QImage(base + "_im_big.png"));
            magickSmall.psnr
                = Psnr(MagickReference(path, tiny, {}, base + "_ref_ms.png"), QImage(base + "_im_small.png"));
        }
    }

    std::printf("  bounded picture, %d wide (times are for both sizes, PNG output):\n", kBounded);
    Print("Vellmar", vellmarBig, vipsBig.psnr);
    Print("vipsthumbnail", vipsBig, vipsBig.psnr);
    Print("ImageMagick (jpeg:size 2x)", magickBig, vipsBig.psnr);
    std::printf("  thumbnail, %d wide:\n", kThumb);
    Print("Vellmar", vellmarSmall, vipsSmall.psnr);
    Print("vipsthumbnail", vipsSmall, vipsSmall.psnr);
    Print("ImageMagick (jpeg:size 2x)", magickSmall, vipsSmall.psnr);
}

bool Save(const QImage& image, const QString& path, int quality)
{
    QImageWriter writer(path);
    writer.setQuality(quality);
    return writer.write(image);
}

} // namespace

int main(int argc, char** argv)
{
    const BenchRun scratch(argc, argv, "quality");
    if (!scratch.ok())
        return 1;
    QImageReader::setAllocationLimit(1024);

    QStringList pictures;
    std::printf("Generating a photo-like picture and a line pattern of %d x %d ...\n", kWidth, kHeight);
    const QImage lines = LinePattern();
    if (!Save(PhotoLike(), scratch.FilePath("photo.jpg"), 92)
        || !Save(lines, scratch.FilePath("lines.png"), -1) || !Save(lines, scratch.FilePath("lines.jpg"), 95))
        return 1;
    pictures << scratch.FilePath("photo.jpg") << scratch.FilePath("lines.png")
             << scratch.FilePath("lines.jpg");
    const QStringList args = QCoreApplication::arguments();
    const qsizetype photosAt = args.indexOf(QStringLiteral("--photos"));
    if (photosAt > 0 && photosAt + 1 < args.size()) {
        const QDir folder(args[photosAt + 1]);
        for (const QString& name : folder.entryList(
                 {"*.jpg", "*.jpeg", "*.JPG", "*.JPEG", "*.png", "*.PNG"}, QDir::Files, QDir::Name))
            pictures << folder.filePath(name);
    }
    TempFolder temp;
    for (const QString& picture : pictures)
        Measure(temp, picture, scratch.Path());
    temp.Empty();
    return 0;
}
