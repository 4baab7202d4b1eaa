// SPDX-License-Identifier: MIT
#include "ui/kit/Dlu.h"

#include "settings/platform/FontFaces.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
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

// How much a font darkens: the sum of the ink of a sample text drawn in it.
qint64 InkOf(const QFont& font)
{
    const QString sample = QStringLiteral("Vellmar Выберите");
    const QFontMetrics metrics(font);
    QImage canvas(metrics.horizontalAdvance(sample) + 4, metrics.height() + 4, QImage::Format_Grayscale8);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2, 2 + metrics.ascent(), sample);
    painter.end();
    qint64 ink = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        const uchar* line = canvas.constScanLine(y);
        for (int x = 0; x < canvas.width(); ++x)
            ink += 255 - line[x];
    }
    return ink;
}

} // namespace

QFont BoldFont(const QFont& font)
{
    QFont bold = font;
    bold.setBold(true);
    QFont regular = font;
    regular.setBold(false);
    // A real bold puts down a third more ink or so; a face that does not is given up.
    if (InkOf(bold) * 10 < InkOf(regular) * 12)
        bold.setFamilies({QStringLiteral("DejaVu Sans")});
    return bold;
}

QFont DialogFont(int points)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    QFont font(QStringLiteral("Tahoma"));
    // Rounded to whole pixels, as a dialog's font is created from its template.
    font.setPixelSize(qMax(1, qRound(points * dpi / 72)));
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
