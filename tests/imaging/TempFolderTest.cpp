// SPDX-License-Identifier: MIT
#include "TempFolder.h"
#include "ImagingSupport.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

mode_t ModeOf(const QString& path)
{
    struct stat st
    { };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace

TEST(TempFolder, ResolvesToAPrivateFolderOfOurOwn)
{
    const struct
    {
        const char* name;
        std::function<bool(const QString& preferred, const QString& elsewhere)> setUp; ///< false: skip
        bool keepsPreferred;
    } cases[] = {
        {"fresh", [](const QString&, const QString&) { return true; }, true},
        {"ours, too open",
            [](const QString& preferred, const QString&) {
                return QDir().mkdir(preferred)
                    && ::chmod(QFile::encodeName(preferred).constData(), 0755) == 0;
            },
            true},
        {"another user's",
            [](const QString& preferred, const QString&) {
                return ::geteuid() == 0 && QDir().mkdir(preferred)
                    && ::chown(QFile::encodeName(preferred).constData(), 65534, 65534) == 0;
            },
            false},
        {"a symbolic link",
            [](const QString& preferred, const QString& elsewhere) {
                return QDir().mkdir(elsewhere) && QFile::link(elsewhere, preferred);
            },
            false},
        {"a file",
            [](const QString& preferred, const QString&) {
                QFile file(preferred);
                return file.open(QIODevice::WriteOnly);
            },
            false},
    };
    for (const auto& c : cases) {
        TestDir root;
        const QString preferred = root.file("pelk_vl_temp");
        const QString elsewhere = root.file("elsewhere");
        if (!c.setUp(preferred, elsewhere)) {
            std::printf("[  SKIPPED ] case '%s' needs root\n", c.name);
            continue;
        }
        const QString resolved = ResolveTempFolder(root.path());
        ASSERT_FALSE(resolved.isEmpty()) << c.name;
        EXPECT_EQ(resolved == preferred, c.keepsPreferred) << c.name << ": " << resolved.toStdString();
        const QFileInfo info(resolved);
        EXPECT_TRUE(info.isDir() && !info.isSymLink()) << c.name;
        EXPECT_EQ(info.ownerId(), ::geteuid()) << c.name;
        EXPECT_EQ(ModeOf(resolved), 0700u) << c.name;
        EXPECT_TRUE(resolved.startsWith(preferred)) << c.name;
        EXPECT_TRUE(QDir(elsewhere).isEmpty()) << c.name; // nothing went through the link
    }
}

TEST(TempFolder, IsResolvedOnceForAllThreads)
{
    QString seen[4];
    std::thread threads[4];
    for (int i = 0; i < 4; ++i)
        threads[i] = std::thread([&seen, i] { seen[i] = TempFolderPath(); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(seen[0], QDir::tempPath() + "/pelk_vl_temp");
    for (const QString& s : seen)
        EXPECT_EQ(s, seen[0]);
}

TEST(TempFolder, EmptyingRemovesFilesOnly)
{
    const QDir folder(TempFolderPath());
    TestDir outside;
    const QString kept = outside.write("kept.txt", "kept");
    QFile(folder.filePath("image1.jpg")).open(QIODevice::WriteOnly);
    QFile(folder.filePath(".hidden")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(folder.mkdir("sub"));
    QFile(folder.filePath("sub/inner.jpg")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(kept, folder.filePath("link")));

    EmptyTempFolder();
    EXPECT_EQ(FileCount(folder.path()), 0);
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("sub/inner.jpg")));
    EXPECT_TRUE(QFileInfo(folder.filePath("link")).isSymLink());
    EXPECT_EQ(TestDir::read(kept), "kept");
}
