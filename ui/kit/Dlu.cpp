// SPDX-License-Identifier: MIT
#include "ui/kit/Dlu.h"

#include "settings/platform/FontFaces.h"

#include <QApplication>
#include <QFontMetrics>
#include <QRawFont>
#include <QScreen>
#include <QtEndian>

namespace {

// The height of a character cell as Windows measures it, from the font's own Windows ascent and
// descent: Qt follows the typographic metrics where a font asks for them, which for Tahoma gives
// 11 pixels at 8 points where every dialog was laid out for 13.
int WindowsCellHeight(const QFont& font)
{
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.fontTable("OS/2");
    if (os2.size() < 78 || raw.unitsPerEm() <= 0)
        return QFontMetrics(font).height();
    const auto* bytes = reinterpret_cast<const uchar*>(os2.constData());
    const qreal scale = raw.pixelSize() / raw.unitsPerEm();
    return qRound(qFromBigEndian<quint16>(bytes + 74) * scale)
        + qRound(qFromBigEndian<quint16>(bytes + 76) * scale);
}

} // namespace

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
        const QFont font = DialogFont();
        const QFontMetrics metrics(font);
        const int alphabet = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        return DialogBaseUnits {qMax(1, (alphabet + 26) / 52), qMax(1, WindowsCellHeight(font))};
    }();
    return units;
}
