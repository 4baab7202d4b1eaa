// SPDX-License-Identifier: MIT
#include "settings/Fonts.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

int ScreenDpiY()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const int dpi = qRound(screen->logicalDotsPerInchY());
            if (dpi > 0)
                return dpi;
        }
    }
    return 96;
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t magnitude = (std::llabs(product) + std::llabs(static_cast<std::int64_t>(c)) / 2)
        / std::llabs(static_cast<std::int64_t>(c));
    const std::int64_t result = ((product < 0) != (c < 0)) ? -magnitude : magnitude;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(result);
}

bool GetField(
    QStringView text, int index, QChar separator, QString& field, int capacity, const QString* defaultValue)
{
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    text = text.mid(start);

    QStringView found;
    bool present = false;
    if (!text.isEmpty() && index >= 0) {
        qsizetype from = 0;
        for (int i = 0;; ++i) {
            const qsizetype sep = text.indexOf(separator, from);
            if (i == index) {
                found = sep < 0 ? text.mid(from) : text.mid(from, sep - from);
                present = true;
                break;
            }
            if (sep < 0)
                break;
            from = sep + 1;
        }
    }
    if (!present || found.isEmpty()) {
        if (defaultValue)
            field = defaultValue->left(qMax(0, capacity - 1));
        return false;
    }
    field = found.left(qMax(0, capacity - 1)).toString();
    return true;
}

namespace {

// Leading blanks and an optional sign, then decimal digits; false when there are no digits.
bool ParseLeadingInt(QStringView text, int& value)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::int64_t number = 0;
    qsizetype digits = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && digits < 10; ++i, ++digits)
        number = number * 10 + (text[i].unicode() - u'0');
    if (digits == 0)
        return false;
    number = negative ? -number : number;
    if (number > std::numeric_limits<int>::max() || number < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(number);
    return true;
}

} // namespace

LogFont StringToFont(QStringView text, int dpiY)
{
    QString face = QStringLiteral("Ms Sans Serif");
    int points = 10;
    int charSet = 0;
    QString field;

    if (GetField(text, 0, u',', field, 32))
        face = field;
    if (GetField(text, 1, u',', field, 32)) {
        int number = 0;
        // Sizes outside what any font dialog offers would only overflow the pixel conversion.
        if (ParseLeadingInt(field, number) && number >= 1 && number <= kMaxFontPoints)
            points = number;
    }
    QString styles;
    GetField(text, 2, u',', styles, 32);
    if (GetField(text, 3, u',', field, 32)) {
        int number = 0;
        if (ParseLeadingInt(field, number))
            charSet = number;
    }

    LogFont font;
    font.faceName = face;
    font.height = -MulDiv(points, dpiY, 72);
    font.weight = styles.contains(u'b') ? 700 : 400;
    font.italic = styles.contains(u'i');
    font.underline = styles.contains(u'u');
    font.strikeOut = styles.contains(u's');
    font.charSet = charSet;
    return font;
}

QString FontToString(const LogFont& font, int dpiY)
{
    // 64 bits, so that no stored height can overflow the negation; one pass over the fields, so
    // that a face name holding "%1" stays as it is.
    const qint64 points = -static_cast<qint64>(MulDiv(font.height, 72, dpiY));
    QString text = font.faceName + QStringLiteral(", ") + QString::number(points) + QStringLiteral(", ");
    if (font.weight >= 700)
        text += u'b';
    if (font.italic)
        text += u'i';
    if (font.underline)
        text += u'u';
    if (font.strikeOut)
        text += u's';
    return text + QStringLiteral(", ") + QString::number(font.charSet);
}

QFont ToQFont(const LogFont& font)
{
    QFont result(font.faceName);
    // A negative logical height is the character height in pixels; a positive one the cell
    // height, which is close enough to it for drawing.
    // Capped: a font taller than any picture only costs memory wherever it is drawn.
    const int pixels
        = font.height != 0 ? static_cast<int>(std::min(std::abs(qint64(font.height)), qint64(4096))) : 13;
    result.setPixelSize(pixels);
    result.setWeight(static_cast<QFont::Weight>(qBound(1, font.weight, 1000)));
    result.setItalic(font.italic);
    result.setUnderline(font.underline);
    result.setStrikeOut(font.strikeOut);
    if (font.quality == 4)
        result.setStyleStrategy(QFont::PreferAntialias);
    return result;
}

LogFont FromQFont(const QFont& font, const LogFont& previous)
{
    LogFont result = previous;
    result.faceName = font.family().left(31);
    if (font.pixelSize() > 0)
        result.height = -font.pixelSize();
    else
        result.height = -MulDiv(qRound(font.pointSizeF()), ScreenDpiY(), 72);
    result.weight = font.weight();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikeOut = font.strikeOut();
    return result;
}
