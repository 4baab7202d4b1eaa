// SPDX-License-Identifier: MIT
#include "settings/Paths.h"
#include "settings/AnsiCodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(Paths, FileTypesByExtension)
{
    // Case does not matter; no extension, or one in a folder's name, is neither.
    const QStringList images = {"a.jpg", "a.JPEG", "a.Png", "a.bmp", "a.gif", "a.tif", "a.TIFF", "a.webp",
        "a.heic", "a.HEIF", "a.hif", "a.avif", "a.jxl"};
    const QStringList videos = {
        "a.AVI", "a.mpg", "a.mpeg", "a.vob", "a.divx", "a.flv", "a.wmv", "a.asf", "a.mkv", "a.mp2", "a.mp4"};
    for (const QString& path : QStringList({"a.psd", "a", "a.", "x.jpg/a", "a.mp3"}) + images + videos) {
        EXPECT_EQ(IsImageFile(path), images.contains(path)) << path.toStdString();
        EXPECT_EQ(IsVideoFile(path), videos.contains(path)) << path.toStdString();
    }
}

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
