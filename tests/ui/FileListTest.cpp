// SPDX-License-Identifier: MIT
#include "settings/SettingsStore.h"
#include "ui/CWizardDlg.h"
#include "ui/FileProperties.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

namespace {

CMainDlg* ListPage(CWizardDlg& frame)
{
    frame.CreatePage(kFileListPage);
    return static_cast<CMainDlg*>(frame.Page(kFileListPage));
}

TEST(FileList, AddToListLimits)
{
    struct Case
    {
        const char* name;
        qint64 size; // -1: do not create the file, -2: a folder
        const char* refusal; // empty: accepted
    };
    const char* notAPicture
        = "не изображение (подходят файлы JPEG, PNG, GIF, BMP, TIFF, WebP, HEIC, AVIF и JPEG XL)";
    const Case cases[] = {
        {"empty.jpg", 0, "файл пуст"},
        {"one.jpg", 1, ""},
        // Large photos are taken: the limit of the services is on the prepared file.
        {"over.jpg", 5242881, ""},
        {"photo.JPEG", 1000, ""},
        {"shot.bmp", 1000, ""},
        {"scan.tiff", 1000, ""},
        {"layers.psd", 1000, notAPicture},
        {"data.bin", 1000, notAPicture},
        {"missing.png", -1, "файл не найден"},
        {"folder.png", -2, "это папка"},
    };
    TestDir dir;
    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
    CWizardDlg frame(settings);
    CMainDlg* page = ListPage(frame);
    frame.ShowPage(kFileListPage, -1, -1);
    QAbstractButton* next = ButtonById(&frame, kNextButton);
    EXPECT_FALSE(next->isEnabled());
    QStringList expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.size >= 0 ? WriteSizedFile(dir.path(), QString::fromUtf8(c.name), c.size)
                                         : dir.file(QString::fromUtf8(c.name));
        if (c.size == -2)
            QDir().mkdir(path);
        EXPECT_EQ(page->AddToList(path), QString::fromUtf8(c.refusal));
        if (!*c.refusal)
            expected << path;
        EXPECT_EQ(page->FileList.Paths(), expected);
        EXPECT_EQ(page->View()->count(), expected.size());
        EXPECT_EQ(next->isEnabled(), !expected.isEmpty());
    }
    page->AddToList(QString());
    page->AddToList(expected.first()); // the same file twice is allowed
    EXPECT_EQ(page->FileList.Count(), expected.size() + 1);
    EXPECT_EQ(page->FileList.index(0).data(Qt::DisplayRole).toString(), QStringLiteral("one.jpg"));
}

TEST(FileList, TheAddAndImportButtons)
{
    TestDir dir;
    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
    CWizardDlg frame(settings);
    CMainDlg* page = ListPage(frame);
    const QStringList chosen = {WritePicture(dir.path(), QStringLiteral("1.png")),
        WriteSizedFile(dir.path(), QStringLiteral("2.png"), 0),
        WritePicture(dir.path(), QStringLiteral("3.jpg"))};
    QString video;
    page->ImagePicker = [&](QWidget*) { return chosen; };
    page->VideoPicker = [&](QWidget*) { return video; };
    ModalAnswer notice(QStringLiteral("ОК"));
    ButtonById(page, 1000)->click();
    EXPECT_EQ(page->FileList.Paths(), (QStringList {chosen[0], chosen[2]}))
        << "in order, without the refused";
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice.Seen(); }));
    EXPECT_EQ(notice.Text(), QStringLiteral("Эти файлы не добавлены в список:\n\n2.png — файл пуст"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->View()->ImageIndexOf(1) == 2; }));

    ButtonById(page, 1001)->click(); // the video dialog cancelled
    EXPECT_EQ(frame.CurrentPage(), kWelcomePage);
    video = dir.file(QStringLiteral("movie.wmv"));
    ButtonById(page, 1001)->click();
    EXPECT_EQ(frame.CurrentPage(), kVideoPage);
    EXPECT_EQ(static_cast<CVideoGrabber*>(frame.Page(kVideoPage))->VideoFile(), video);
    EXPECT_EQ(frame.PrevPage, kFileListPage);
    EXPECT_EQ(frame.NextPage, kFileListPage);
}

TEST(FileList, RemovingKeepsTheListInStep)
{
    TestDir dir;
    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
    CWizardDlg frame(settings);
    CMainDlg* page = ListPage(frame);
    frame.ShowPage(kFileListPage, -1, -1);
    const QStringList files = SharedPictures(5);
    for (const QString& f : files)
        page->AddToList(f);

    CThumbsView* view = page->View();
    view->SetSelected(1, true);
    view->SetSelected(3, true);
    ButtonById(page, 1089)->click();
    EXPECT_EQ(page->FileList.Paths(), (QStringList {files[0], files[2], files[4]}));
    EXPECT_EQ(view->count(), 3);
    EXPECT_TRUE(ButtonById(&frame, kNextButton)->isEnabled());
    view->Clear();
    EXPECT_TRUE(page->FileList.Paths().isEmpty());
    EXPECT_FALSE(ButtonById(&frame, kNextButton)->isEnabled());
}

TEST(FileList, PropertiesDescribeTheFile)
{
    TestDir dir;
    const QString path = WritePicture(dir.path(), QStringLiteral("p.png"), 64, 48);
    const QString text = FilePropertiesText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("p.png")));
    EXPECT_TRUE(text.contains(QStringLiteral("64 x 48")));
    EXPECT_TRUE(
        text.contains(QLocale(QLocale::Russian).toString(QFile(path).size()) + QStringLiteral(" байт")));
    EXPECT_TRUE(
        FilePropertiesText(dir.file(QStringLiteral("gone.png"))).contains(QStringLiteral("не найден")));
}

TEST(FileList, ScreenshotIsAddedAndAnnounced)
{
    TestDir dir;
    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
    CWizardDlg frame(settings);
    frame.DropFiles({WritePicture(dir.path(), QStringLiteral("a.png"))});
    CMainDlg* page = ListPage(frame);
    EXPECT_TRUE(ButtonById(page, 1058)->isEnabled()) << "the page takes screenshots itself";

    page->ScreenshotTaker = [](CMainDlg*) { return Screenshot(); };
    page->OnScreenshot();
    EXPECT_EQ(page->FileList.Count(), 1) << "cancelled: nothing added, nothing said";

    const QString shot = WritePicture(dir.path(), QStringLiteral("screenshot123.png"), 80, 60);
    page->ScreenshotTaker = [&](CMainDlg*) { return Screenshot {shot, {}}; };
    ModalAnswer ok(QStringLiteral("ОК"));
    page->OnScreenshot();
    EXPECT_EQ(page->FileList.Count(), 2);
    EXPECT_EQ(page->FileList.Paths().last(), shot);
    EXPECT_EQ(ok.Text(), QStringLiteral("Снимок экрана был сделан успешно."));
    EXPECT_EQ(ok.Caption(), QStringLiteral("Vellmar"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->View()->ImageIndexOf(1) == 2; }));
}

} // namespace
