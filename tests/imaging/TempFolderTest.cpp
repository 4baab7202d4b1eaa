// SPDX-License-Identifier: MIT
#include "imaging/TempFolder.h"
#include "app/core/TickCount.h"
#include "imaging/SaveToTemp.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

enum class Occupant { Nothing, OurOpenFolder, OtherUsersFolder, Link, File };

// Puts `occupant` where a temporary folder would go; false when this user cannot.
bool Occupy(Occupant occupant, const QString& name, const QString& elsewhere)
{
    const QByteArray native = QFile::encodeName(name);
    switch (occupant) {
    case Occupant::OurOpenFolder:
        return QDir().mkdir(name) && ::chmod(native.constData(), 0755) == 0;
    case Occupant::OtherUsersFolder:
        return ::geteuid() == 0 && QDir().mkdir(name) && ::chown(native.constData(), 65534, 65534) == 0;
    case Occupant::Link:
        return QDir().mkpath(elsewhere) && QFile::link(elsewhere, name);
    case Occupant::File:
        return QFile(name).open(QIODevice::WriteOnly);
    default:
        return true;
    }
}

} // namespace

TEST(TempFolder, APrivateFolderOfOurOwnWhoeverHoldsTheSharedName)
{
    const QString perUser = QStringLiteral("pelk_vl_temp-%1").arg(::geteuid());
    // What holds the shared name and the per-user one; the folder this copy's folder is made in
    // (empty: one made for this copy alone).
    const std::tuple<const char*, Occupant, Occupant, QString> cases[] = {
        {"fresh", Occupant::Nothing, Occupant::Nothing, "pelk_vl_temp"},
        {"ours, too open", Occupant::OurOpenFolder, Occupant::Nothing, "pelk_vl_temp"},
        {"another user's", Occupant::OtherUsersFolder, Occupant::Nothing, perUser},
        {"a link", Occupant::Link, Occupant::Nothing, perUser},
        {"a file, and a link too", Occupant::File, Occupant::Link, ""},
    };
    for (const auto& [name, shared, second, expectedBase] : cases) {
        TestDir root;
        const QString elsewhere = root.file("elsewhere");
        if (!Occupy(shared, root.file("pelk_vl_temp"), elsewhere)
            || !Occupy(second, root.file(perUser), elsewhere + "2")) {
            std::printf("[  SKIPPED ] case '%s' needs root\n", name);
            continue;
        }
        QString base;
        {
            TempFolder temp(root.path());
            const QString path = temp.Path();
            ASSERT_FALSE(path.isEmpty()) << name << ": " << temp.Error().toStdString();
            base = QFileInfo(path).absolutePath();
            if (expectedBase.isEmpty())
                EXPECT_TRUE(QFileInfo(base).fileName().startsWith(perUser + "-")) << base.toStdString();
            else
                EXPECT_EQ(base, root.file(expectedBase)) << name;
            for (const QString& folder : {base, path}) {
                struct stat st = {};
                ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &st), 0);
                EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) << name;
                EXPECT_EQ(st.st_mode & 07777, 0700u) << name;
            }
        }
        EXPECT_TRUE(QDir(elsewhere).isEmpty()) << name; // nothing went through the link
        // A folder made for one copy goes with it, so they do not pile up run after run.
        EXPECT_EQ(QFileInfo::exists(base), !expectedBase.isEmpty()) << name;
    }
}

// Copies keep apart, leftovers of ended copies go, and emptying takes files and nothing more.
TEST(TempFolder, CopiesLeftoversAndEmptying)
{
    TestDir root;
    TempFolder unused(root.path());
    unused.Empty();
    EXPECT_TRUE(QDir(root.path()).isEmpty()); // shutdown makes no folder
    auto first = std::make_unique<TempFolder>(root.path());
    TempFolder second(root.path());
    ASSERT_NE(first->Path(), second.Path());
    const QString mine = second.Path() + "/image1.jpg";
    ASSERT_TRUE(QFile(mine).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile(first->Path() + "/image2.jpg").open(QIODevice::WriteOnly));
    const QString firstPath = first->Path();
    first.reset(); // the copy that exits first takes only its own files
    EXPECT_FALSE(QFileInfo::exists(firstPath));
    EXPECT_TRUE(QFileInfo::exists(mine));

    // Left by copies that crashed: one whose lock nobody holds, one that never took its lock.
    const QDir base(QFileInfo(second.Path()).absolutePath());
    for (const char* name : {"run-1-crashed", "run-2-unlocked"}) {
        ASSERT_TRUE(base.mkdir(name));
        ASSERT_TRUE(QFile(base.filePath(name) + "/image3.jpg").open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile(base.filePath("run-1-crashed/.lock")).open(QIODevice::WriteOnly));
    const utimbuf old {100, 100};
    ASSERT_EQ(::utime(QFile::encodeName(base.filePath("run-2-unlocked")).constData(), &old), 0);
    TempFolder third(root.path());
    EXPECT_FALSE(base.exists("run-1-crashed"));
    EXPECT_FALSE(base.exists("run-2-unlocked"));
    EXPECT_TRUE(QFileInfo::exists(mine)); // a running copy's folder is held by its lock

    const QDir folder(second.Path());
    const QString kept = root.write("kept.txt", "kept"); // outside the folder, linked from it
    folder.mkdir("sub");
    for (const char* name : {".hidden", "sub/inner.jpg"})
        ASSERT_TRUE(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(kept, folder.filePath("link")));
    second.Empty();
    EXPECT_EQ(FileCount(folder.path()), 0);
    EXPECT_FALSE(QFileInfo(folder.filePath("link")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("sub/inner.jpg"))); // sub-folders stay
    EXPECT_EQ(TestDir::read(kept), "kept");
}

TEST(SaveToTemp, NamesByHintAndTickNeverOverwritesAndSaysWhyNot)
{
    TestDir root;
    TempFolder temp(root.path());
    const QString folder = temp.Path();
    ASSERT_FALSE(folder.isEmpty());
    const QImage picture = Solid(16, 16, qRgb(1, 2, 3));
    const QString path = SaveToTemp(temp, picture, "dir/image.jpg", ImageFormat::Jpeg, 80).path;
    EXPECT_TRUE(QRegularExpression("/image-?\\d+\\.jpg$").match(path).hasMatch()) << path.toStdString();
    EXPECT_TRUE(path.startsWith(folder + "/"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_EQ(FileSizeOf(path), QFileInfo(path).size());

    // Occupy the names of the coming ticks: the save must pick a further number.
    const qint32 tick = static_cast<qint32>(TickCount());
    for (int t = 0; t < 3000; ++t)
        WriteFile(folder + "/thumb" + QString::number(tick + t) + ".png", "taken");
    const QString first = SaveToTemp(temp, picture, "thumb", ImageFormat::Png, 0).path;
    const QString second = SaveToTemp(temp, picture, "thumb", ImageFormat::Png, 0).path;
    EXPECT_TRUE(first.endsWith("_1.png")) << first.toStdString();
    EXPECT_NE(first, second);
    EXPECT_EQ(TestDir::read(folder + "/thumb" + QString::number(tick) + ".png"), "taken");
    EXPECT_TRUE(TestDir::read(first).startsWith("\x89PNG"));

    const SavedPicture failed = SaveToTemp(temp, QImage(), "image.jpg", ImageFormat::Jpeg, 80);
    EXPECT_TRUE(failed.path.isEmpty());
    EXPECT_EQ(failed.error, "the picture cannot be encoded as JPG");
    EXPECT_EQ(FileSizeOf(folder), -1);
    EXPECT_EQ(FileSizeOf(folder + "/missing"), -1);

    // A temporary directory that is missing, or a file, is named.
    for (const QString& missing : {root.file("gone"), root.write("file", "x")}) {
        TempFolder nowhere(missing);
        const QString why = QStringLiteral("the temporary directory %1 does not exist").arg(missing);
        EXPECT_EQ(SaveToTemp(nowhere, picture, "image.jpg", ImageFormat::Jpeg, 80).error, why);
        EXPECT_TRUE(nowhere.Path().isEmpty());
        EXPECT_EQ(nowhere.Error(), why);
    }
}
