// SPDX-License-Identifier: MIT
#include "video/TileSheet.h"

#include "imaging/Decode.h"

#include "imaging/Gradients.h"
#include "imaging/OutlinedText.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

constexpr QRgb kSheetBackground = 0xFFB4B4B4;
constexpr QRgb kGradientFrom = 0xFFE0E0E0;
constexpr QRgb kGradientTo = 0xFFF3F3F3;
constexpr QRgb kCaptionFill = 0x8CFFFFFF;
constexpr QRgb kCaptionOutline = 0x78000000;
constexpr QRgb kTileFrame = 0xFF5A5A5A;
constexpr int kCaptionAlign = 3; // far: right and bottom
constexpr int kMaxCaptionLength = 255;

} // namespace

QRect TileSheetGeometry::Tile(int index) const
{
    const int column = index % columns;
    const int row = index / columns;
    return QRect(column * (tileWidth + gapWidth) + gapWidth, row * (tileHeight + gapHeight) + gapHeight,
        tileWidth, tileHeight);
}

std::optional<TileSheetGeometry> TileSheetGeometryFor(
    int count, const TileSheetLayout& layout, int maxWidth, int maxHeight)
{
    if (count <= 0 || maxWidth <= 0 || maxHeight <= 0 || layout.tileWidth <= 0)
        return std::nullopt;
    TileSheetGeometry g;
    // A column count below 1 would divide by zero; one column is the nearest sensible sheet.
    g.columns = std::min(std::max(layout.columns, 1), count);
    g.rows = count / g.columns + (count % g.columns ? 1 : 0);
    g.tileWidth = layout.tileWidth;
    g.tileHeight = static_cast<int>(
        static_cast<float>(g.tileWidth) / static_cast<float>(maxWidth) * static_cast<float>(maxHeight));
    g.gapWidth = layout.gapWidth;
    g.gapHeight = layout.gapHeight;
    const std::int64_t width = std::int64_t(g.tileWidth + std::int64_t(g.gapWidth)) * g.columns + g.gapWidth;
    const std::int64_t height = std::int64_t(g.tileHeight + std::int64_t(g.gapHeight)) * g.rows + g.gapHeight;
    if (g.tileHeight <= 0 || width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
        return std::nullopt;
    g.width = static_cast<int>(width);
    g.height = static_cast<int>(height);
    return g;
}

QImage BuildTileSheet(
    const QList<SheetFrame>& frames, const TileSheetLayout& layout, int maxWidth, int maxHeight)
{
    const auto geometry = TileSheetGeometryFor(static_cast<int>(frames.size()), layout, maxWidth, maxHeight);
    if (!geometry)
        return {};
    QImage sheet(geometry->width, geometry->height, QImage::Format_RGB32);
    if (sheet.isNull())
        return {};
    sheet.fill(QColor::fromRgba(kSheetBackground));

    QPainter painter(&sheet);
    painter.fillRect(sheet.rect(),
        BackwardDiagonalGradient(
            QRectF(sheet.rect()), QColor::fromRgba(kGradientFrom), QColor::fromRgba(kGradientTo)));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(10);
    font.setBold(true);
    painter.setPen(QPen(QColor::fromRgba(kTileFrame), 1));
    painter.setBrush(Qt::NoBrush);

    for (int i = 0; i < frames.size(); ++i) {
        const SheetFrame& frame = frames[i];
        const QRect tile = geometry->Tile(i);
        // One picture at a time, decoded no larger than twice its tile: a sheet of a hundred large
        // frames never holds them all, and a JPEG decodes at a fraction of its size.
        const QImage picture
            = frame.picture.isNull() ? DecodeImage(frame.path, tile.size() * 2).image : frame.picture;
        if (!picture.isNull())
            painter.drawImage(
                tile.topLeft(), picture.scaled(tile.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        DrawOutlinedText(painter, frame.caption.left(kMaxCaptionLength), QRectF(tile), font, kCaptionFill,
            kCaptionOutline, kCaptionAlign, kCaptionAlign, 1.0f);
        painter.drawRect(tile);
    }
    return sheet;
}
