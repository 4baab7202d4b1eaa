// SPDX-License-Identifier: MIT
#include "imaging/Overlay.h"

#include "imaging/Decode.h"
#include "imaging/OutlinedText.h"
#include "settings/Colors.h"

namespace {

constexpr qint64 kMaxLogoPixels = 4096 * 4096;

int ValidPosition(int position)
{
    return position >= 0 && position <= 5 ? position : 0;
}

} // namespace

int HorizontalAlignOf(int position)
{
    return ValidPosition(position) % 3;
}

int VerticalAlignOf(int position)
{
    return ValidPosition(position) < 3 ? AlignNear : AlignFar;
}

QPoint LogoOrigin(int position, float W, float H, QSize logo)
{
    const float lw = static_cast<float>(logo.width());
    const float lh = static_cast<float>(logo.height());
    float x = 0;
    switch (HorizontalAlignOf(position)) {
    case AlignCenter:
        x = (W - lw) * 0.5f;
        break;
    case AlignFar:
        x = W - lw;
        break;
    default:
        break;
    }
    const float y = VerticalAlignOf(position) == AlignFar ? H - lh : 0.0f;
    return QPoint(static_cast<int>(x), static_cast<int>(y));
}

void StampText(QPainter& painter, float W, float H, const AppearancePart& appearance)
{
    LogFont logFont = appearance.Text.Font;
    logFont.quality = 4; // antialiased
    const QFont font = ToQFont(logFont);
    const int position = appearance.Text.Position;
    DrawOutlinedText(painter, appearance.Text.Text, QRectF(1, 1, W, H + 1), font,
        ColorRefToArgb(appearance.Text.Color, 0xFF), ColorRefToArgb(appearance.Thumbs.StrokeColor, 0xB4),
        HorizontalAlignOf(position), VerticalAlignOf(position), 1.0f);
}

void StampLogo(QPainter& painter, float W, float H, const AppearancePart& appearance)
{
    if (appearance.Logo.Filename.isEmpty())
        return;
    // The logo is read for every picture; one far larger than any picture would cost its full
    // size in memory each time for a stamp that is cut to the picture anyway.
    const DecodedImage logo
        = DecodeImageScaled(appearance.Logo.Filename, [](QSize original) -> std::optional<QSize> {
              if (qint64(original.width()) * original.height() > kMaxLogoPixels)
                  return std::nullopt;
              return QSize();
          });
    if (logo.isNull())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(LogoOrigin(appearance.Logo.Position, W, H, logo.image.size()), logo.image);
    painter.restore();
}
