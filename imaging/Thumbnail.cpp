// SPDX-License-Identifier: MIT
#include "imaging/Thumbnail.h"

#include "imaging/Decode.h"
#include "imaging/OutlinedText.h"
#include "imaging/Resample.h"
#include "imaging/SaveToTemp.h"
#include "settings/Colors.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

constexpr int kThumbnailQuality = 90;
constexpr QRgb kCaptionOutline = 0x5A000000;

QImage CaptionBar(int width, int height, QRgb top, QRgb bottom)
{
    QImage bar(width, height, QImage::Format_ARGB32_Premultiplied);
    if (bar.isNull())
        return bar;
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, QColor::fromRgba(top));
    gradient.setColorAt(1, QColor::fromRgba(bottom));
    gradient.setSpread(QGradient::RepeatSpread);
    QPainter painter(&bar);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(bar.rect(), gradient);
    return bar;
}

void DrawFrame(QImage& image, QRgb color)
{
    const int w = image.width();
    const int h = image.height();
    auto row = [&](int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)); };
    std::fill_n(row(0), w, color);
    std::fill_n(row(h - 1), w, color);
    for (int y = 0; y < h; ++y) {
        row(y)[0] = color;
        row(y)[w - 1] = color;
    }
}

} // namespace

int CaptionHeight(const QFont& font)
{
    return static_cast<int>(MeasureText(font, QStringLiteral("test")).height() + 1);
}

ThumbnailLayout ThumbnailLayoutFor(float targetW, float targetH, int thumbWidth, int captionHeight,
    const MainPart& main, const AppearancePart& appearance)
{
    ThumbnailLayout layout;
    layout.frame = main.Thumbs.DrawFrame ? 2 : 0;
    layout.innerWidth = thumbWidth - layout.frame;
    if (targetW > 0) {
        // In double: a picture of extreme proportions must not overflow the conversion.
        const double full = static_cast<double>(static_cast<float>(layout.innerWidth) / targetW * targetH);
        layout.fullPictureHeight = static_cast<int>(std::min(full, double(INT_MAX / 2)));
        layout.pictureHeight
            = std::min(layout.fullPictureHeight, kMaxThumbnailAspect * std::max(thumbWidth, 1));
    }
    layout.captionHeight = captionHeight;
    layout.barHeight = main.Thumbs.AddImageSize && !appearance.Thumbs.TextOverThumb ? captionHeight : 0;
    layout.width = layout.innerWidth + layout.frame;
    layout.height = layout.frame + layout.barHeight + layout.pictureHeight;
    layout.barTop = layout.height - (main.Thumbs.DrawFrame ? 1 : 0) - captionHeight;
    return layout;
}

QString FormatFileSize(qint64 bytes)
{
    // C formatting on purpose: "%3.0f" pads and rounds exactly as the captions always showed.
    char text[64];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%lld %s", static_cast<long long>(bytes), "Bytes");
    else if (bytes < 1048576)
        std::snprintf(text, sizeof text, "%3.0f %s", static_cast<double>(bytes) / 1024.0, "kb");
    else if (bytes < 1073741824)
        std::snprintf(text, sizeof text, "%3.0f %s", static_cast<double>(bytes) / 1048576.0, "mb");
    else
        std::snprintf(text, sizeof text, "%3.0f %s", static_cast<double>(bytes) / 1073741824.0, "gb");
    return QString::fromLatin1(text);
}

QString ThumbnailCaption(float targetW, float targetH, qint64 fileSize)
{
    return QStringLiteral("%1x%2, %3")
        .arg(static_cast<int>(targetW))
        .arg(static_cast<int>(targetH))
        .arg(fileSize > 0 ? FormatFileSize(fileSize) : QString());
}

QImage DrawThumbnail(const QImage& source, float targetW, float targetH, qint64 fileSize, int thumbWidth,
    const MainPart& main, const AppearancePart& appearance)
{
    if (source.isNull() || !(targetW > 0) || !(targetH > 0) || thumbWidth <= 0)
        return {};
    const QFont font = ToQFont(appearance.Thumbs.Font);
    const ThumbnailLayout layout
        = ThumbnailLayoutFor(targetW, targetH, thumbWidth, CaptionHeight(font), main, appearance);
    if (layout.width <= 0 || layout.height <= 0 || layout.pictureHeight <= 0
        || qint64(layout.width) * layout.height * 4 > kMaxDecodedBytes)
        return {};
    QImage thumb(layout.width, layout.height, QImage::Format_ARGB32_Premultiplied);
    if (thumb.isNull())
        return {};
    thumb.fill(Qt::transparent);

    QPainter painter(&thumb);
    // The picture overhangs by half a pixel on each side so its edges are full pixels; it reaches
    // into row pictureHeight, which the frame or the caption bar covers where there is one. A
    // picture cut at the bound keeps its scale, and only its top shows.
    const QRectF dest(-0.5, -0.5, layout.width + 1.0, layout.fullPictureHeight + 1.5);
    const QSize covered(layout.width, std::min(layout.height, layout.pictureHeight + 1));
    painter.drawImage(
        QPoint(0, 0), Resample(source, SourceAreaFor(QSizeF(source.size()), dest, covered), covered));

    if (main.Thumbs.AddImageSize) {
        const int alpha = appearance.Thumbs.TextOverThumb ? qBound(0, appearance.Thumbs.Alpha, 255) : 255;
        const QImage bar = CaptionBar(layout.width, layout.captionHeight,
            ColorRefToArgb(appearance.Thumbs.Color1, alpha), ColorRefToArgb(appearance.Thumbs.Color2, alpha));
        painter.drawImage(QPoint(0, layout.barTop), bar);
        DrawOutlinedText(painter, ThumbnailCaption(targetW, targetH, fileSize),
            QRectF(1, layout.height - layout.captionHeight, layout.width - 1, layout.captionHeight + 1), font,
            ColorRefToArgb(appearance.Thumbs.TextColor, 0xFF), kCaptionOutline, AlignCenter, AlignCenter,
            1.0f);
    }
    painter.end();

    if (main.Thumbs.DrawFrame)
        DrawFrame(thumb, ColorRefToArgb(appearance.Thumbs.FrameColor, 0xFF));
    return thumb;
}

SavedPicture RenderThumbnail(TempFolder& folder, const QImage& source, float targetW, float targetH,
    qint64 fileSize, int thumbWidth, ImageFormat format, const MainPart& main,
    const AppearancePart& appearance)
{
    const QImage thumb = DrawThumbnail(source, targetW, targetH, fileSize, thumbWidth, main, appearance);
    if (thumb.isNull())
        return {{}, QStringLiteral("the thumbnail cannot be drawn")};
    return SaveToTemp(folder, thumb, QStringLiteral("thumb"), format, kThumbnailQuality);
}
