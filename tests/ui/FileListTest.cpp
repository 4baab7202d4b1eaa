// SPDX-License-Identifier: MIT
#include "tests/ui/TestWizard.h"
#include "ui/FileProperties.h"
#include "ui/pages/CMainDlg.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Pictures.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(FileList, DroppedFilesAreTakenInOrderOrNamedWithTheirReason)
{
    // The file, its size (-1: no such file, -2: a folder), why it is refused (empty: taken).
    const std::tuple<const char*, qint64, const char*> cases[] = {
        {"empty.jpg", 0, "файл пуст"},
        {"one.jpg", 1, ""},
        // Large photos are taken: the limit of the services is on the prepared file.
        {"over.jpg", 5242881, ""},
        {"photo.JPEG", 1000, ""},
        {"shot.bmp", 1000, ""},
        {"scan.tiff", 1000, ""},
        {"layers.psd", 1000, "не изображение и не видео"},
        {"missing.png", -1, "файл не найден"},
        {"folder.png", -2, "это папка"},
    };
    TestWizard w;
    QStringList dropped;
    QStringList taken;
    QStringList refused;
    for (const auto& [file, size, refusal] : cases) {
        const QString name = QString::fromUtf8(file);
        dropped << (size >= 0 ? WriteSizedFile(w.dir.path(), name, size) : w.dir.file(name));
        if (size == -2)
            QDir().mkdir(dropped.last());
        (*refusal ? refused : taken) << (*refusal ? name + " — " + QString::fromUtf8(refusal)
                                                  : dropped.last());
    }
    dropped << taken.first(); // the same file twice is allowed
    taken << taken.first();
    ModalAnswer notice(QStringLiteral("ОК"));
    w.frame.DropFiles(dropped);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice.Seen(); }));
    EXPECT_EQ(notice.Text(), QStringLiteral("Эти файлы не добавлены в список:\n\n") + refused.join(u'\n'));
    auto* page = w.PageAt<CMainDlg>(kFileListPage);
    EXPECT_EQ(w.frame.CurrentPage(), kFileListPage);
    EXPECT_EQ(page->FileList.Paths(), taken);
    EXPECT_EQ(page->View()->count(), taken.size());
    EXPECT_EQ(page->FileList.index(0).data(Qt::DisplayRole).toString(), QStringLiteral("one.jpg"));
    EXPECT_TRUE(w.Button(kNextButton)->isEnabled());
    EXPECT_EQ(page->AddToList(QString()), QStringLiteral("нет имени файла"));
}

// Removing keeps the list in step with the view, Properties describes the chosen file, and a
// screenshot joins the list.
TEST(FileList, RemovePropertiesAndScreenshot)
{
    TestWizard w;
    auto* page = w.PageAt<CMainDlg>(kFileListPage);
    w.frame.ShowPage(kFileListPage, -1, -1);
    EXPECT_FALSE(w.Button(kNextButton)->isEnabled());
    const QStringList files = SharedPictures(5);
    for (const QString& f : files)
        page->AddToList(f);
    CThumbsView* view = page->View();
    view->SetSelected(1, true);
    view->SetSelected(3, true);
    ButtonById(page, 1089)->click();
    EXPECT_EQ(page->FileList.Paths(), (QStringList {files[0], files[2], files[4]}));
    EXPECT_EQ(view->count(), 3);
    EXPECT_TRUE(w.Button(kNextButton)->isEnabled());

    view->SetSelected(1, true);
    ModalAnswer properties(QStringLiteral("ОК"));
    ButtonById(page, 1080)->click();
    EXPECT_EQ(properties.Caption(), QStringLiteral("Свойства"));
    EXPECT_TRUE(properties.Text().startsWith(QStringLiteral("Имя: ") + QFileInfo(files[2]).fileName()));
    EXPECT_TRUE(properties.Text().contains(QStringLiteral("400 x 300")));
    EXPECT_TRUE(properties.Text().contains(
        QLocale(QLocale::Russian).toString(QFile(files[2]).size()) + QStringLiteral(" байт")));
    EXPECT_TRUE(
        FilePropertiesText(w.dir.file(QStringLiteral("gone.png"))).contains(QStringLiteral("не найден")));

    page->ScreenshotTaker = [](CMainDlg*) { return Screenshot(); };
    ButtonById(page, 1058)->click();
    EXPECT_EQ(page->FileList.Count(), 3) << "cancelled: nothing added, nothing said";
    const QString shot = WritePicture(w.dir.path(), QStringLiteral("screenshot123.png"), 80, 60);
    page->ScreenshotTaker = [&](CMainDlg*) { return Screenshot {shot, {}}; };
    ModalAnswer ok(QStringLiteral("ОК"));
    ButtonById(page, 1058)->click();
    EXPECT_EQ(page->FileList.Paths().last(), shot);
    EXPECT_EQ(ok.Text(), QStringLiteral("Снимок экрана был сделан успешно."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->View()->ImageIndexOf(3) == 4; }));

    view->Clear();
    EXPECT_TRUE(page->FileList.Paths().isEmpty());
    EXPECT_FALSE(w.Button(kNextButton)->isEnabled());
}

} // namespace
