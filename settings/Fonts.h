// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QString>
#include <QStringView>

/// The font description the settings store: the fields of a Windows logical font
/// that the program uses, kept as read so that a load/save round trip changes nothing.
struct LogFont
{
    QString faceName; ///< at most 31 characters
    int height = 0; ///< negative: character height in pixels, as a logical font has it
    int weight = 400; ///< 400 regular, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charSet = 0; ///< stored only for the round trip
    int quality = 0; ///< 4 asks for antialiased rendering

    bool operator==(const LogFont&) const = default;
};

/// Vertical resolution of the primary screen in dots per inch; 96 without a screen.
int ScreenDpiY();

/// a * b / c rounded half away from zero, computed in 64 bits; -1 when c is 0.
int MulDiv(int a, int b, int c);

/// Field `index` of `text` split at `separator`, cut to `capacity` - 1 characters.
/// Leading blanks of the whole text are skipped. Returns false (and copies the default
/// when one is given, else leaves `field` alone) for an empty text, a missing or empty field.
bool GetField(QStringView text, int index, QChar separator, QString& field, int capacity,
    const QString* defaultValue = nullptr);

/// Largest point size read from a font string; larger (or below 1) keeps the default of 10.
inline constexpr int kMaxFontPoints = 1000;

/// "face, points, bius, charset" to a logical font; missing fields keep "Ms Sans Serif", 10, none, 0.
LogFont StringToFont(QStringView text, int dpiY = ScreenDpiY());

/// The inverse of StringToFont, in the "%s, %d, %s%s%s%s, %d" form.
QString FontToString(const LogFont& font, int dpiY = ScreenDpiY());

/// The QFont that draws like the logical font does on a screen of the given resolution.
QFont ToQFont(const LogFont& font);

/// The logical font a QFont chosen by the user stands for: a pixel size becomes the negative
/// pixel height, a point size the height for the screen's resolution. QFont knows no character
/// set or quality, so those two come from `previous`.
LogFont FromQFont(const QFont& font, const LogFont& previous);
