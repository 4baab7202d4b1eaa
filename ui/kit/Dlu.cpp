// SPDX-License-Identifier: MIT
#include "ui/kit/Dlu.h"

#include "settings/platform/FontFaces.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>

QFont DialogFont()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    QFont font(QStringLiteral("Tahoma"));
    // 8 points rounded to whole pixels, as a dialog's font is created from its template.
    font.setPixelSize(qMax(1, qRound(8 * dpi / 72)));
    return font;
}

QStringList PrepareDialogFonts()
{
    const QStringList missing = EnsureWindowsFaces();
    QApplication::setFont(DialogFont());
    return missing;
}

DialogBaseUnits BaseUnits()
{
    // Measured once: the font and the resolution do not change while the program runs.
    static const DialogBaseUnits units = [] {
        const QFontMetrics metrics(DialogFont());
        const int alphabet = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        return DialogBaseUnits {qMax(1, (alphabet + 26) / 52), qMax(1, metrics.height())};
    }();
    return units;
}
