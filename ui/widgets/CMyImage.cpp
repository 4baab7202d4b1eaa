// SPDX-License-Identifier: MIT
#include "ui/widgets/CMyImage.h"

#include "imaging/Decode.h"
#include "ui/widgets/TilePainting.h"

#include <QMouseEvent>
#include <QPainter>

CMyImage::CMyImage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CMyImage"));
    // The prepared bitmap covers every pixel, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CMyImage::SetImage(const QString& path, const QImage& picture)
{
    m_bitmap = Render(size(), path, picture);
    m_hasBitmap = true;
}

QImage CMyImage::Render(QSize size, const QString& path, const QImage& picture)
{
    QImage bitmap(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    const qreal iw = size.width() - 2;
    const qreal ih = size.height() - 2;
    const QRectF layout(1, 1, iw, ih);

    QImage source = picture;
    QSizeF sourceSize = picture.size();
    if (source.isNull() && !path.isEmpty()) {
        // Decoded only as large as the window needs; the proportions come from the file itself.
        const DecodedImage decoded = DecodeImage(path, QSize(qMax(1, int(iw)), qMax(1, int(ih))));
        source = decoded.image;
        sourceSize = decoded.originalSize;
    }

    bitmap.fill(kTileBackground);
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (source.isNull() && !path.isEmpty()) {
        DrawNotSupported(painter, layout);
        return bitmap;
    }
    FillGradientBox(painter, layout, layout);
    if (source.isNull())
        return bitmap;

    const QSizeF fitted = FitWithin(sourceSize, QSizeF(iw, ih));
    const int x = int((iw - fitted.width()) * 0.5 + 1);
    const int y = int((ih - fitted.height()) * 0.5 + 1);
    const QSize drawn(int(fitted.width()), int(fitted.height()));
    if (drawn.isEmpty())
        return bitmap;
    // Area-averaged scaling: drawing a large photo straight into a small rectangle aliases.
    const QImage scaled = drawn == source.size()
        ? source
        : source.scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(QPoint(x, y), scaled);
    return bitmap;
}

void CMyImage::paintEvent(QPaintEvent*)
{
    if (!m_hasBitmap)
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_bitmap);
}

void CMyImage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        HideParent();
    event->accept();
}

void CMyImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton)
        HideParent();
    event->accept();
}

void CMyImage::HideParent()
{
    if (!m_hidesParent)
        return;
    if (QWidget* parent = parentWidget())
        parent->hide();
}
