// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>

/// Resamples the rectangle `from` of `source`, in source pixels (fractional, and allowed to reach
/// past the edges), onto a whole picture of `size`.
///
/// Lanczos-3, one pass per direction; when shrinking the filter is widened by the factor, so
/// nothing aliases, and reductions of 8x and more first average whole blocks of pixels. The
/// picture ends at its edges: filter taps past them are left out and the others reweighted.
/// Colours are filtered premultiplied, so transparent pixels lend no colour to their neighbours.
/// The result is Format_ARGB32_Premultiplied for pictures with an alpha channel, else
/// Format_RGB32; it shares `source` when `from` is the whole picture at its own size. Besides the
/// result it needs only a few rows of memory. Null when a size is empty or memory runs out.
/// Single-threaded and safe on any thread; it uses the widest vectors the processor has.
QImage Resample(const QImage& source, const QRectF& from, QSize size);

/// The rectangle of a picture that lands on the `size` output when the whole picture, `extent`
/// pixels large, is drawn stretched into `target` (in output pixels): what Resample takes to
/// reproduce a painter's drawImage(target, picture) on a canvas of `size`.
QRectF SourceAreaFor(QSizeF extent, const QRectF& target, QSize size);
