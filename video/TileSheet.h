// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

/// The layout values of the sheet, as the settings hold them.
struct TileSheetLayout
{
    int columns = 3; ///< below 1 counts as 1
    int tileWidth = 200;
    int gapWidth = 5;
    int gapHeight = 7;
};

struct TileSheetGeometry
{
    int columns = 0;
    int rows = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    int gapWidth = 0;
    int gapHeight = 0;
    int width = 0;
    int height = 0;

    /// Where frame `index` (from 0) goes.
    QRect Tile(int index) const;
    bool operator==(const TileSheetGeometry&) const = default;
};

/// The grid for `count` frames whose largest width and height are `maxWidth` x `maxHeight`:
/// tiles as wide as the layout says and as high as the largest frame's proportions give,
/// never more columns than frames. Nothing when there is no frame, no size or no room.
std::optional<TileSheetGeometry> TileSheetGeometryFor(
    int count, const TileSheetLayout& layout, int maxWidth, int maxHeight);

/// One frame on the sheet: its picture, or the file to load it from when `picture` is null.
struct SheetFrame
{
    QImage picture;
    QString path;
    QString caption; ///< drawn in the tile's lower right corner
};

/// All frames in one picture, each scaled into its tile with its caption and a thin frame,
/// over a light diagonal gradient. Needs a QGuiApplication for the caption font; runs on any
/// thread. A null image when TileSheetGeometryFor gives no grid or the sheet is too large.
QImage BuildTileSheet(
    const QList<SheetFrame>& frames, const TileSheetLayout& layout, int maxWidth, int maxHeight);
