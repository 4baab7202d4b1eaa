// SPDX-License-Identifier: MIT
#include "settings/Paths.h"
#include "settings/AnsiCodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(Paths, PiecesOfAPath)
{
    struct Case
    {
        const char* path;
        const char* directory;
        const char* name;
        const char* extension;
        const char* base;
    };
    const Case cases[] = {
        {"/home/u/photo.JPG", "/home/u/", "photo.JPG", "JPG", "photo"},
        {"photo.tar.gz", "", "photo.tar.gz", "gz", "photo.tar"},
        {"/a.b/noext", "/a.b/", "noext", "", "noext"},
        {"/dir/", "/dir/", "", "", ""},
        {"Image.MaxWidth", "", "Image.MaxWidth", "MaxWidth", "Image"},
        {".hidden", "", ".hidden", "hidden", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(DirectoryOf(path), QString::fromUtf8(c.directory));
        EXPECT_EQ(FileNameOf(path), QString::fromUtf8(c.name));
        EXPECT_EQ(ExtensionOf(path), QString::fromUtf8(c.extension));
        EXPECT_EQ(BaseNameOf(path), QString::fromUtf8(c.base));
    }
}

TEST(Paths, FileTypesByExtension)
{
    struct Case
    {
        const char* path;
        bool image;
        bool video;
    };
    const Case cases[] = {
        {"a.jpg", true, false},
        {"a.JPEG", true, false},
        {"a.Png", true, false},
        {"a.bmp", true, false},
        {"a.gif", true, false},
        {"a.tiff", false, false},
        {"a", false, false},
        {"a.", false, false},
        {"x.jpg/a", false, false},
        {"a.AVI", false, true},
        {"a.mkv", false, true},
        {"a.mp2", false, true},
        {"a.mp3", false, false},
        {"a.wmv", false, true},
        {"a.divx", false, true},
        {"a.flv", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsImageFile(QString::fromUtf8(c.path)), c.image);
        EXPECT_EQ(IsVideoFile(QString::fromUtf8(c.path)), c.video);
    }
}

TEST(AnsiCodePage, Windows1251BothWays)
{
    EXPECT_EQ(ToAnsi(u"photo.jpg"), QByteArray("photo.jpg"));
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
