// SPDX-License-Identifier: MIT
#include "settings/Fonts.h"
#include "settings/Colors.h"

#include <gtest/gtest.h>

// Readable failure messages for the fonts compared below.
inline void PrintTo(const LogFont& f, std::ostream* os)
{
    *os << FontToString(f, 96).toStdString() << ", height " << f.height << ", quality " << f.quality;
}

namespace {

TEST(Fonts, StringToFontAndBack)
{
    // The text, the resolution, the logical font (face, height, weight, italic, underline,
    // strike-out, character set) and the text it is written back as.
    const std::tuple<const char*, int, LogFont, const char*> cases[] = {
        {"Tahoma,8,,204", 96, {"Tahoma", -11, 400, false, false, false, 204}, "Tahoma, 8, , 204"},
        {"Tahoma,7,b,204", 96, {"Tahoma", -9, 700, false, false, false, 204}, "Tahoma, 7, b, 204"},
        {"Arial", 96, {"Arial", -13}, "Arial, 10, , 0"},
        {"", 96, {"Ms Sans Serif", -13}, "Ms Sans Serif, 10, , 0"},
        {"Verdana,12,bius,1", 96, {"Verdana", -16, 700, true, true, true, 1}, "Verdana, 12, bius, 1"},
        {"Verdana,12,sub,1", 96, {"Verdana", -16, 700, false, true, true, 1}, "Verdana, 12, bus, 1"},
        {"Courier,x9,i", 96, {"Courier", -13, 400, true}, "Courier, 10, i, 0"},
        {"Courier,,,", 96, {"Courier", -13}, "Courier, 10, , 0"},
        {"Tahoma,8,,204", 120, {"Tahoma", -13, 400, false, false, false, 204}, "Tahoma, 8, , 204"},
        {"   Georgia,  9 ,b", 96, {"Georgia", -12, 700}, "Georgia, 9, b, 0"},
        // Sizes no font dialog offers keep the default; they would overflow the conversion.
        {"Tahoma,-2147483648,,0", 72, {"Tahoma", -10}, "Tahoma, 10, , 0"},
        {"Tahoma,0,b", 96, {"Tahoma", -13, 700}, "Tahoma, 10, b, 0"},
        {"Tahoma,1001", 96, {"Tahoma", -13}, "Tahoma, 10, , 0"},
        {"Tahoma,1000", 96, {"Tahoma", -1333}, "Tahoma, 1000, , 0"},
        // A face name is text, never a format.
        {"Odd %1 %2 Face,9,i", 96, {"Odd %1 %2 Face", -12, 400, true}, "Odd %1 %2 Face, 9, i, 0"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789,8", 96, {"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", -11},
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234, 8, , 0"},
    };
    for (const auto& [text, dpi, expected, written] : cases) {
        SCOPED_TRACE(text);
        const LogFont font = StringToFont(QString::fromUtf8(text), dpi);
        EXPECT_EQ(font, expected);
        EXPECT_EQ(FontToString(font, dpi), QString::fromUtf8(written));
        EXPECT_EQ(StringToFont(FontToString(font, dpi), dpi), font);
    }
}

// MulDiv rounds half away from zero and fails with -1; the logical font becomes a QFont in pixels;
// a colour reference becomes ARGB with the alpha a drawing step gives, its top byte ignored.
TEST(Fonts, MulDivQFontAndColours)
{
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 4, 1), -1);
    const QFont font = ToQFont(StringToFont(u"Tahoma,7,bi,204", 96));
    EXPECT_EQ(font.pixelSize(), 9);
    EXPECT_TRUE(font.bold() && font.italic() && !font.underline());
    EXPECT_EQ(ColorRefToArgb(-1, 255), 0xFFFFFFFFu);
    EXPECT_EQ(ColorRefToArgb(255, 255), 0xFFFF0000u);
    EXPECT_EQ(ColorRefToArgb(7293440, 0xB4), 0xB4004A6Fu);
    EXPECT_EQ(ColorRefToArgb(0x12345678, 0), 0x00785634u);
    EXPECT_EQ(ColorToColorRef(QColor(13, 86, 125)), 8214029);
}

} // namespace
