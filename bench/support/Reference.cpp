// SPDX-License-Identifier: MIT
#include "bench/support/Reference.h"

#include "bench/support/Psnr.h"
#include "imaging/TempFolder.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

double Lanczos3(double x)
{
    x = std::abs(x);
    if (x < 1e-12)
        return 1;
    if (x >= 3)
        return 0;
    const double px = std::numbers::pi * x;
    return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

} // namespace

// The reference where ImageMagick's whole-pixel geometry cannot express ours.
QImage ReferenceLanczos(const QImage& original, const QRectF& from, QSize size)
{
    struct Tap
    {
        int first = 0;
        std::vector<double> w;
    };
    auto taps = [](double start, double scale, int out, int in) {
        std::vector<Tap> result(out);
        const double widen = std::max(scale, 1.0);
        for (int i = 0; i < out; ++i) {
            const double c = start + (i + 0.5) * scale;
            const int lo = std::max(0, int(std::floor(c - 3 * widen)));
            const int hi = std::min(in - 1, int(std::ceil(c + 3 * widen)));
            result[i].first = lo;
            double sum = 0;
            for (int j = lo; j <= hi; ++j)
                sum += Lanczos3((j + 0.5 - c) / widen);
            for (int j = lo; j <= hi; ++j)
                result[i].w.push_back(Lanczos3((j + 0.5 - c) / widen) / sum);
        }
        return result;
    };
    const double sx = from.width() / size.width();
    const double sy = from.height() / size.height();
    const auto tx = taps(from.x(), sx, size.width(), original.width());
    const auto ty = taps(from.y(), sy, size.height(), original.height());
    const int w = original.width();
    std::vector<float> middle(std::size_t(w) * size.height() * 3);
    for (int y = 0; y < size.height(); ++y)
        for (std::size_t k = 0; k < ty[y].w.size(); ++k) {
            const int row = ty[y].first + int(k);
            const auto* line = reinterpret_cast<const QRgb*>(original.constScanLine(row));
            const double wk = ty[y].w[k];
            float* m = middle.data() + std::size_t(y) * w * 3;
            for (int x = 0; x < w; ++x) {
                m[3 * x] += float(wk * qRed(line[x]));
                m[3 * x + 1] += float(wk * qGreen(line[x]));
                m[3 * x + 2] += float(wk * qBlue(line[x]));
            }
        }
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        const float* m = middle.data() + std::size_t(y) * w * 3;
        for (int x = 0; x < size.width(); ++x) {
            double c[3] = {};
            for (std::size_t k = 0; k < tx[x].w.size(); ++k) {
                const int col = tx[x].first + int(k);
                for (int ch = 0; ch < 3; ++ch)
                    c[ch] += tx[x].w[k] * m[3 * col + ch];
            }
            auto byte = [](double v) { return std::clamp(int(std::lround(v)), 0, 255); };
            out.setPixel(x, y, qRgb(byte(c[0]), byte(c[1]), byte(c[2])));
        }
    }
    return out;
}

QString MagickProgram()
{
    const QString system
        = QStandardPaths::findExecutable(QStringLiteral("convert"), {QStringLiteral("/usr/bin")});
    return system.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("convert")) : system;
}

bool RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

QString SizeText(QSize s)
{
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

QImage MagickReference(const QString& path, QSize size, const QRect& crop, const QString& out)
{
    QStringList args {path, "-filter", "Lanczos", "-resize", SizeText(size) + "!"};
    if (crop.isValid())
        args << "-crop" << QStringLiteral("%1+%2+%3").arg(SizeText(crop.size())).arg(crop.x()).arg(crop.y())
             << "+repage";
    args << out;
    return RunTool(MagickProgram(), args) ? QImage(out) : QImage();
}

PreparedImage PrepareForScoring(TempFolder& temp, const QString& path, int width, int thumbWidth)
{
    // Lossless output and a bare thumbnail, so only the scaling is measured.
    MainPart main;
    main.Image.MaxWidth = width;
    main.Image.MaxHeight = 0;
    main.Image.Format = ImageFormat::Png;
    main.Image.AddText = 0;
    main.Image.AddLogo = 0;
    main.Thumbs.DrawFrame = 0;
    main.Thumbs.AddImageSize = 0;
    return PrepareImage(temp, path, thumbWidth, main, AppearancePart());
}

std::optional<double> ScoreVellmarBounded(const QString& path, const QImage& bounded, const QString& base)
{
    if (bounded.isNull())
        return std::nullopt;
    // Vellmar maps pixel centres so that the photo's outermost half pixel falls outside: the
    // reference is a resize to one pixel more on every side, cropped.
    const QSize w = bounded.size();
    return Psnr(MagickReference(path, w + QSize(2, 2), QRect(QPoint(1, 1), w), base + "_ref_v.png"), bounded);
}

std::optional<double> ScoreWholePicture(
    const QString& path, const QImage& picture, const QString& referenceOut)
{
    if (picture.isNull())
        return std::nullopt;
    return Psnr(MagickReference(path, picture.size(), {}, referenceOut), picture);
}

BoundedQuality CompareBounded(TempFolder& temp, const QString& path, int width, const QString& work)
{
    BoundedQuality quality;
    const QString base = work + u'/' + QFileInfo(path).completeBaseName();
    const PreparedImage prepared = PrepareForScoring(temp, path, width, 0);
    if (prepared.ok()) {
        const QImage bounded(prepared.path);
        quality.vellmarSize = bounded.size();
        quality.vellmar = ScoreVellmarBounded(path, bounded, base);
    }
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    const QString vipsOut = base + "_vips_big.png";
    if (!vips.isEmpty() && RunTool(vips, {path, "-s", QStringLiteral("%1x").arg(width), "-o", vipsOut})) {
        const QImage big(vipsOut);
        quality.vipsSize = big.size();
        quality.vips = ScoreWholePicture(path, big, base + "_ref_vb.png");
    }
    temp.Empty();
    return quality;
}
