// SPDX-License-Identifier: MIT
#include "imaging/TempFolder.h"
#include "tests/ui/TestWizard.h"
#include "ui/FileProperties.h"
#include "ui/pages/CMainDlg.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Pictures.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>
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

// Ctrl+V or the list's menu, between the pictures or on one: a picture from the clipboard joins
// the list as a PNG file of the temporary folder; copied files go where a drop of them would.
TEST(FileList, PasteAPictureOrCopiedFiles)
{
    TestDir source;
    const QImage picture = QImage(WritePicture(source.path(), QStringLiteral("p.png"), 50, 40))
                               .convertToFormat(QImage::Format_RGB32);
    // How it is pasted (V: Ctrl+V, E: the menu on an empty spot, I: the menu on a picture), what
    // the clipboard holds, the menu's entries, the list after it, the message.
    const std::tuple<char, std::function<void(QMimeData&, const TestDir&)>, const char*, const char*,
        const char*>
        cases[] = {
            {'V', [&](QMimeData& d, const TestDir&) { d.setImageData(picture); }, "", "first.png clipboard",
                ""},
            {'E',
                [](QMimeData& d, const TestDir& dir) {
                    d.setUrls({QUrl::fromLocalFile(WritePicture(dir.path(), QStringLiteral("a.png"))),
                        QUrl::fromLocalFile(dir.file(QStringLiteral("notes.txt"))),
                        QUrl(QStringLiteral("https://example.invalid/b.png"))});
                },
                "Вставить", "first.png a.png", "notes.txt — не изображение и не видео"},
            {'I',
                [](QMimeData& d, const TestDir&) {
                    d.setUrls({QUrl(QStringLiteral("https://example.invalid/b.png"))});
                    d.setText(QStringLiteral("b.png"));
                },
                "Просмотр|Удалить\tDel|Свойства||Вставить off", "first.png", ""},
        };
    for (const auto& [how, fill, entries, listed, told] : cases) {
        SCOPED_TRACE(how);
        TestWizard w;
        auto* page = w.PageAt<CMainDlg>(kFileListPage);
        w.frame.ShowPage(kFileListPage, -1, -1);
        w.frame.show();
        page->AddToList(WritePicture(w.dir.path(), QStringLiteral("first.png")));
        auto* data = new QMimeData;
        fill(*data, w.dir);
        QGuiApplication::clipboard()->setMimeData(data);
        ModalAnswer message(QStringLiteral("ОК"));
        QStringList shown;
        if (how == 'V') {
            QApplication::setActiveWindow(&w.frame);
            page->View()->setFocus();
            QTest::keyClick(page->View(), Qt::Key_V, Qt::ControlModifier);
        } else {
            QTimer::singleShot(0, page, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                ASSERT_NE(menu, nullptr);
                for (QAction* action : menu->actions())
                    shown << action->text() + (action->isEnabled() ? "" : " off");
                menu->close();
                if (menu->actions().last()->isEnabled())
                    menu->actions().last()->trigger();
            });
            const QRect first = page->View()->visualRect(page->FileList.index(0));
            emit page->View()->customContextMenuRequested(
                how == 'I' ? first.center() : page->View()->viewport()->rect().bottomRight() - QPoint(4, 4));
        }
        (void)QTest::qWaitFor([&] { return message.Seen() || !*told; }); // a message comes later
        EXPECT_EQ(shown.join(u'|'), QString::fromUtf8(entries));
        EXPECT_EQ(message.Seen() ? message.Text().section(u'\n', 2) : QString(), QString::fromUtf8(told));
        QStringList names;
        for (const QString& path : page->FileList.Paths()) {
            const QString name = QFileInfo(path).fileName();
            names << (name.startsWith(QLatin1String("clipboard")) ? QStringLiteral("clipboard") : name);
        }
        EXPECT_EQ(names.join(u' '), QString::fromUtf8(listed));
        if (how == 'V') {
            const QString pasted = page->FileList.Paths().last();
            EXPECT_TRUE(pasted.startsWith(w.frame.Temp()->Path() + QStringLiteral("/clipboard")));
            EXPECT_TRUE(pasted.endsWith(QLatin1String(".png")));
            EXPECT_EQ(QImage(pasted).convertToFormat(QImage::Format_RGB32), picture);
        }
    }
}

} // namespace
