// SPDX-License-Identifier: MIT
#include "settings/SettingsStore.h"
#include "ui/CWizardDlg.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QStringList FileNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& p : paths)
        names << QFileInfo(p).fileName();
    return names;
}

TEST(Drops, RoutedByKindAndPage)
{
    struct Case
    {
        const char* name;
        int startPage; // 0 or 2 (after one earlier picture), or 3
        std::vector<const char*> dropped;
        int page;
        std::vector<const char*> list; // file names in the list afterwards
        const char* video; // the video page's file, or ""
        const char* notice; // the lines of the notice about refused files, or ""
    };
    const Case cases[] = {
        {"three pictures on welcome", 0, {"a.png", "b.jpg", "c.gif"}, 2, {"a.png", "b.jpg", "c.gif"}, "", ""},
        {"pictures on the list page", 2, {"b.jpg"}, 2, {"first.png", "b.jpg"}, "", ""},
        {"other files are named", 0, {"x.psd", "notes.txt", "noext"}, 0, {}, "",
            "x.psd — не изображение и не видео\nnotes.txt — не изображение и не видео\n"
            "noext — не изображение и не видео"},
        {"a folder named like a picture", 0, {"folder.jpg"}, 2, {}, "", "folder.jpg — это папка"},
        {"a video", 0, {"clip.AVI"}, 1, {}, "clip.AVI", ""},
        {"picture, video, picture", 0, {"a.png", "clip.mkv", "b.jpg"}, 1, {"a.png"}, "clip.mkv", ""},
        {"video first ignores the rest", 0, {"clip.mp4", "a.png"}, 1, {}, "clip.mp4", ""},
        {"drops on the settings page are ignored", 3, {"a.png", "clip.avi"}, 3, {"first.png"}, "", ""},
    };
    TestDir dir;
    for (const char* name : {"a.png", "b.jpg", "c.gif", "x.psd", "noext", "first.png"})
        WritePicture(dir.path(), QString::fromLatin1(name));
    WriteSizedFile(dir.path(), QStringLiteral("notes.txt"), 10);
    QDir(dir.path()).mkdir(QStringLiteral("folder.jpg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir folder;
        SettingsStore settings(folder.file(QStringLiteral("vellmar.ini")));
        CWizardDlg frame(settings);
        if (c.startPage >= 2)
            frame.DropFiles({dir.file(QStringLiteral("first.png"))});
        if (c.startPage == 3)
            frame.OnNext();
        ASSERT_EQ(frame.CurrentPage(), c.startPage);

        QStringList dropped;
        for (const char* name : c.dropped)
            dropped << dir.file(QString::fromUtf8(name));
        ModalAnswer notice(QStringLiteral("ОК"));
        frame.DropFiles(dropped);
        // Without a notice expected, a short look is enough to catch one shown by mistake.
        (void)QTest::qWaitFor([&] { return notice.Seen(); }, *c.notice ? 5000 : 300);
        EXPECT_EQ(notice.Text(),
            *c.notice ? QStringLiteral("Эти файлы не добавлены в список:\n\n") + QString::fromUtf8(c.notice)
                      : QString());

        EXPECT_EQ(frame.CurrentPage(), c.page);
        QStringList expected;
        for (const char* name : c.list)
            expected << QString::fromUtf8(name);
        auto* list = static_cast<CMainDlg*>(frame.Page(kFileListPage));
        EXPECT_EQ(list ? FileNames(list->FileList.Paths()) : QStringList(), expected);
        if (list) {
            EXPECT_EQ(list->View()->count(), list->FileList.Count());
        }
        auto* video = static_cast<CVideoGrabber*>(frame.Page(kVideoPage));
        EXPECT_EQ(video ? QFileInfo(video->VideoFile()).fileName() : QString(), QString::fromUtf8(c.video));
    }
}

TEST(Drops, LongNames)
{
    TestDir dir;
    // A deep but real path of more than 255 characters is a file like any other.
    QString deep = dir.path();
    while (deep.size() < 300)
        deep += QStringLiteral("/folder_with_a_long_name");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString longPicture = WritePicture(deep, QStringLiteral("deep.png"));
    ASSERT_GT(longPicture.size(), 255);
    const QString impossible = dir.path() + u'/' + QString(5000, u'x') + QStringLiteral(".png");

    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));

    CWizardDlg frame(settings);
    frame.DropFiles({impossible, longPicture});
    auto* list = static_cast<CMainDlg*>(frame.Page(kFileListPage));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->FileList.Paths(), QStringList {longPicture});
}

TEST(Drops, ThroughTheWindowSystem)
{
    TestDir dir;
    const QString picture = WritePicture(dir.path(), QStringLiteral("a.png"));
    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
    CWizardDlg frame(settings);
    frame.show();

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(picture), QUrl(QStringLiteral("https://example.invalid/b.png"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    EXPECT_EQ(frame.CurrentPage(), kFileListPage);
    auto* list = static_cast<CMainDlg*>(frame.Page(kFileListPage));
    EXPECT_EQ(list->FileList.Paths(), QStringList {picture});
    // The loader was started after the drop and draws the thumbnail.
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->View()->ImageIndexOf(0) == 1; }));
}

} // namespace
