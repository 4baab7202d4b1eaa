// SPDX-License-Identifier: MIT
#include "ui/Artwork.h"

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
    }
    return {};
}
