// SPDX-License-Identifier: MIT
#include "imaging/TempFolder.h"
#include "tests/imaging/ImagingSupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Occupant { Nothing, OurOpenFolder, OtherUsersFolder, Link, File };

// Puts `occupant` where the temporary folder would go; false when this user cannot.
bool Occupy(Occupant occupant, const QString& name, const QString& elsewhere)
{
    const QByteArray native = QFile::encodeName(name);
    switch (occupant) {
    case Occupant::OurOpenFolder:
        return QDir().mkdir(name) && ::chmod(native.constData(), 0755) == 0;
    case Occupant::OtherUsersFolder:
        return ::geteuid() == 0 && QDir().mkdir(name) && ::chown(native.constData(), 65534, 65534) == 0;
    case Occupant::Link:
        return QDir().mkdir(elsewhere) && QFile::link(elsewhere, name);
    case Occupant::File:
        return QFile(name).open(QIODevice::WriteOnly);
    default:
        return true;
    }
}

} // namespace

TEST(TempFolder, ResolvesToAPrivateFolderOfOurOwn)
{
    const struct
    {
        const char* name;
        Occupant occupant;
        bool keepsName;
    } cases[] = {{"fresh", Occupant::Nothing, true}, {"ours, too open", Occupant::OurOpenFolder, true},
        {"another user's", Occupant::OtherUsersFolder, false}, {"a link", Occupant::Link, false},
        {"a file", Occupant::File, false}};
    for (const auto& c : cases) {
        TestDir root;
        const QString preferred = root.file("pelk_vl_temp");
        const QString elsewhere = root.file("elsewhere");
        if (!Occupy(c.occupant, preferred, elsewhere)) {
            std::printf("[  SKIPPED ] case '%s' needs root\n", c.name);
            continue;
        }
        const QString resolved = ResolveTempFolder(root.path());
        ASSERT_TRUE(resolved.startsWith(preferred)) << c.name;
        EXPECT_EQ(resolved == preferred, c.keepsName) << c.name << ": " << resolved.toStdString();
        struct stat st
        { };
        ASSERT_EQ(::lstat(QFile::encodeName(resolved).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) << c.name;
        EXPECT_EQ(st.st_mode & 07777, 0700u) << c.name;
        EXPECT_TRUE(QDir(elsewhere).isEmpty()) << c.name; // nothing went through the link
    }
}

TEST(TempFolder, EmptyingRemovesFilesOnly)
{
    const QDir folder(TempFolderPath());
    TestDir outside;
    const QString kept = outside.write("kept.txt", "kept");
    for (const char* name : {"image1.jpg", ".hidden", "sub/inner.jpg"}) {
        folder.mkdir("sub");
        ASSERT_TRUE(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(kept, folder.filePath("link")));

    EmptyTempFolder();
    EXPECT_EQ(FileCount(folder.path()), 0);
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("sub/inner.jpg")));
    EXPECT_TRUE(QFileInfo(folder.filePath("link")).isSymLink());
    EXPECT_EQ(TestDir::read(kept), "kept");
}
