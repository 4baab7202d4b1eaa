// SPDX-License-Identifier: MIT
#include "settings/AnsiCodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(AnsiCodePage, Windows1251BothWays)
{
    EXPECT_EQ(ToAnsi(u"Фото №1.jpg"),
        QByteArray("\xD4\xEE\xF2\xEE \xB9"
                   "1.jpg"));
    EXPECT_EQ(ToAnsi(u"€"), QByteArray("\x88"));
    EXPECT_EQ(ToAnsi(u"日本é"), QByteArray("???"));
    EXPECT_EQ(ToAnsi(QString::fromUcs4(U"\U0001F600x")), QByteArray("?x")); // one '?' for a surrogate pair
    EXPECT_EQ(FromAnsi("\xD4\xEE\xF2\xEE"), QStringLiteral("Фото"));
    EXPECT_EQ(FromAnsi("\x98"), QString(QChar::ReplacementCharacter));
}

} // namespace
