// SPDX-License-Identifier: MIT
#include "ui/Artwork.h"

#include "ui/kit/Dlu.h"

#include <QLinearGradient>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Rendered at the exact size the page shows, so nothing is scaled twice.
QPixmap Render(const QString& resource, QSize size)
{
    QSvgRenderer renderer(resource);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    return QPixmap::fromImage(image);
}

} // namespace

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/vellmar-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap WelcomeBanner()
{
    return Render(QStringLiteral(":/artwork/banner.svg"), QSize(170, 437));
}

QPixmap WizardMark()
{
    return Render(QStringLiteral(":/artwork/wizard-mark.svg"), QSize(48, 48));
}

QPixmap CommandIcon(int commandId)
{
    switch (commandId) {
    case 1000:
        return Render(QStringLiteral(":/artwork/add-pictures.svg"), QSize(32, 32));
    case 1001:
        return Render(QStringLiteral(":/artwork/import-video.svg"), QSize(32, 32));
    case 1058:
        return Render(QStringLiteral(":/artwork/screenshot.svg"), QSize(32, 32));
    case 1059:
        return Render(QStringLiteral(":/artwork/history.svg"), QSize(32, 32));
    }
    return {};
}

QPixmap HeaderBand(const QString& caption, QSize size)
{
    if (caption.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRect rect(QPoint(0, 0), size);
    QLinearGradient background(rect.topLeft(), rect.bottomLeft());
    background.setColorAt(0, QColor::fromRgba(0xFFFFFFFF));
    background.setColorAt(1, QColor::fromRgba(0xFFEBEBEB));
    painter.fillRect(rect, background);

    painter.setFont(BoldFont(DialogFont(12)));
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient ink(rect.topRight(), rect.bottomLeft());
    ink.setColorAt(0, QColor::fromRgba(0x82FFFFFF));
    ink.setColorAt(1, QColor::fromRgba(0xFF828282));
    painter.setPen(QPen(QBrush(ink), 1));
    painter.drawText(rect, Qt::AlignCenter, caption);
    painter.end();
    return QPixmap::fromImage(image);
}
