// SPDX-License-Identifier: MIT
#include "imaging/OutlinedText.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <algorithm>

namespace {

constexpr int kLargeEm = 48;
// The large rendering is kept inside this box; a longer line is rendered at a smaller em
// instead of being cut off, which only changes the intermediate bitmap, not the result.
constexpr float kLargeMaxWidth = 5000.0f;
constexpr float kLargeMaxHeight = 1600.0f;

qreal EmOf(const QFont& font)
{
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return QFontInfo(font).pixelSize();
}

QFont WithEm(const QFont& font, int em)
{
    QFont result(font);
    result.setPixelSize(std::max(1, em));
    return result;
}

struct LargeRendering
{
    QFont font;
    QSizeF size;
};

LargeRendering MakeLargeRendering(const QFont& font, const QString& text)
{
    LargeRendering large {WithEm(font, kLargeEm), {}};
    large.size = MeasureText(large.font, text);
    if (large.size.width() > kLargeMaxWidth || large.size.height() > kLargeMaxHeight) {
        const qreal shrink
            = std::min(kLargeMaxWidth / large.size.width(), kLargeMaxHeight / large.size.height());
        large.font = WithEm(font, static_cast<int>(kLargeEm * shrink));
        large.size = MeasureText(large.font, text);
    }
    return large;
}

float Offset(int align, float room, float extent)
{
    if (align == AlignNear)
        return 2.0f;
    if (align == AlignCenter)
        return (room - extent) * 0.5f;
    return room - extent - 2.0f;
}

} // namespace

QSizeF MeasureText(const QFont& font, const QString& text)
{
    const QFontMetricsF metrics(font);
    return QSizeF(metrics.horizontalAdvance(text) + EmOf(font) / 3.0, metrics.lineSpacing());
}

QSizeF OutlinedTextSize(const QFont& font, const QString& text)
{
    const float th = static_cast<float>(MeasureText(font, text).height());
    const LargeRendering large = MakeLargeRendering(font, text);
    const float w2 = static_cast<float>(large.size.width());
    const float h2 = static_cast<float>(large.size.height());
    if (th <= 0 || h2 <= 0)
        return {};
    return QSizeF(th / h2 * w2, th);
}

void DrawOutlinedText(QPainter& target, const QString& text, const QRectF& layout, const QFont& font,
    QRgb fill, QRgb outline, int hAlign, int vAlign, float factor)
{
    if (text.isEmpty())
        return;
    const float th = static_cast<float>(MeasureText(font, text).height());
    const LargeRendering large = MakeLargeRendering(font, text);
    const float w2 = static_cast<float>(large.size.width());
    const float h2 = static_cast<float>(large.size.height());
    if (th <= 0 || h2 <= 0 || w2 <= 0)
        return;
    const float tw = th / h2 * w2;
    // Wide enough that the contour is 2 x factor pixels once scaled down to th.
    const float penWidth = 2.0f * factor * h2 / th;

    QImage glyphs(static_cast<int>(w2), static_cast<int>(h2), QImage::Format_ARGB32_Premultiplied);
    if (glyphs.isNull())
        return;
    glyphs.fill(Qt::transparent);
    {
        QPainter painter(&glyphs);
        painter.setRenderHint(QPainter::Antialiasing);
        const QFontMetricsF metrics(large.font);
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        path.addText(QPointF(EmOf(large.font) / 6.0, metrics.ascent()), large.font, text);
        // Miter joins and flat caps, as the original pen had; centred on the glyph edge, so
        // the fill drawn next covers the inner half of the contour.
        QPen pen(QColor::fromRgba(outline), penWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        painter.strokePath(path, pen);
        painter.fillPath(path, QColor::fromRgba(fill));
    }

    const int drawWidth = static_cast<int>(tw);
    const int drawHeight = static_cast<int>(th);
    if (drawWidth <= 0 || drawHeight <= 0)
        return;
    const float room = static_cast<float>(layout.width());
    const float roomHeight = static_cast<float>(layout.height());
    const int x = static_cast<int>(static_cast<float>(layout.x()) + Offset(hAlign, room, tw));
    const int y = static_cast<int>(static_cast<float>(layout.y()) + Offset(vAlign, roomHeight, th));

    // Only the part that lands on the target is scaled: a huge font on a small picture would
    // otherwise cost a scaled copy of the whole text.
    const QRect dest(x, y, drawWidth, drawHeight);
    QRect visible = dest;
    if (const QPaintDevice* device = target.device())
        visible &= target.worldTransform().inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    if (visible.isEmpty())
        return;
    QImage part = glyphs;
    if (visible != dest) {
        const double sx = double(w2) / drawWidth;
        const double sy = double(h2) / drawHeight;
        const QRectF source(
            (visible.x() - x) * sx, (visible.y() - y) * sy, visible.width() * sx, visible.height() * sy);
        part = glyphs.copy(source.toAlignedRect() & glyphs.rect());
    }
    // Area-averaging the large rendering down is the counterpart of a high-quality bicubic
    // draw; a plain scaled drawImage would only sample it bilinearly and alias.
    const QImage scaled = part.scaled(visible.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    target.save();
    target.setCompositionMode(QPainter::CompositionMode_SourceOver);
    target.drawImage(visible.topLeft(), scaled);
    target.restore();
}
