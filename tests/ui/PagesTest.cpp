// SPDX-License-Identifier: MIT
// The welcome page's commands and the upload settings page's bindings, used as a user does.
#include "tests/ui/TestWizard.h"
#include "ui/FailureReasons.h"
#include "ui/kit/FileDialogs.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CUploadSettings.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/pages/CWelcomeDlg.h"
#include "ui/widgets/CCommandListBox.h"
#include "upload/FailureReasons.h"
#include "upload/profiles/ServiceCatalog.h"

#include "tests/support/Pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Welcome : TestWizard
{
    QStringList picked;
    QString video;

    Welcome()
    {
        frame.show();
        frame.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&frame));
        Page()->ImagePicker = [this](QWidget*) { return picked; };
        Page()->VideoPicker = [this](QWidget*) { return video; };
    }
    CWelcomeDlg* Page() { return PageAt<CWelcomeDlg>(kWelcomePage); }
    CCommandListBox* Commands() { return Page()->Commands(); }
    QPoint CentreOf(int row) { return Commands()->visualItemRect(Commands()->item(row)).center(); }
};

TEST(Welcome, CommandsByMouseAndKeyboard)
{
    const auto click = [](int row) {
        return [row](Welcome& w) {
            QTest::mouseClick(w.Commands()->viewport(), Qt::LeftButton, {}, w.CentreOf(row));
        };
    };
    const struct
    {
        const char* name;
        bool returned; // the list page exists: the user came back to the welcome page
        std::function<void(Welcome&)> act;
        int page;
        int back, next; // the one-shot targets left for the page shown
        const char* modal = ""; // the caption of the dialog the command opens
    } cases[] = {
        {"Enter at first start: only a refused picture, the list all the same", false,
            [](Welcome& w) { QTest::keyClick(w.Commands(), Qt::Key_Return); }, kFileListPage, kWelcomePage,
            kUploadSettingsPage, "Vellmar"},
        {"a click on the video command", false, click(1), kVideoPage, kWelcomePage, kUploadSettingsPage},
        {"the video command after a return", true, click(1), kVideoPage, kWelcomePage, kFileListPage},
        {"Down, Space: the video command", true,
            [](Welcome& w) {
                QTest::keyClick(w.Commands(), Qt::Key_Down);
                QTest::keyClick(w.Commands(), Qt::Key_Space);
            },
            kVideoPage, kWelcomePage, kFileListPage},
        {"a click below the last entry runs it", false,
            [](Welcome& w) {
                QTest::mouseClick(w.Commands()->viewport(), Qt::LeftButton, {},
                    QPoint(20, w.Commands()->viewport()->height() - 2));
            },
            kWelcomePage, -1, -1, "Скриншот"}, // the screenshot command, cancelled
        {"after a return Next leads to the list", true, [](Welcome& w) { w.frame.OnNext(); }, kFileListPage,
            -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Welcome w;
        if (c.returned) {
            w.frame.ShowPage(kFileListPage, -1, -1);
            w.frame.ShowPage(kWelcomePage, -1, -1);
        }
        EXPECT_EQ(w.Button(kNextButton)->isVisibleTo(&w.frame), c.returned);
        EXPECT_FALSE(w.Button(kPrevButton)->isVisibleTo(&w.frame));
        ASSERT_TRUE(w.Commands()->hasFocus());
        EXPECT_EQ(w.Commands()->currentRow(), 0) << "the focus marks the first command";
        w.picked = {w.dir.file(QStringLiteral("b.psd"))};
        w.video = w.dir.file(QStringLiteral("clip.avi"));
        ModalAnswer any(QStringLiteral("Отмена"), 800); // the refusal notice, or the screenshot dialog
        c.act(w);
        (void)QTest::qWaitFor([&] { return any.Seen(); }, *c.modal ? 5000 : 100);
        EXPECT_EQ(any.Caption(), QString::fromUtf8(c.modal));
        EXPECT_EQ(w.frame.CurrentPage(), c.page);
        EXPECT_EQ(w.frame.PrevPage, c.back);
        EXPECT_EQ(w.frame.NextPage, c.next);
        if (c.page == kVideoPage) {
            EXPECT_EQ(w.PageAt<CVideoGrabber>(kVideoPage)->VideoFile(), w.video);
        }
        if (c.next == kUploadSettingsPage && c.page == kFileListPage) {
            EXPECT_EQ(w.PageAt<CMainDlg>(kFileListPage)->FileList.Count(), 0);
            EXPECT_FALSE(w.Button(kNextButton)->isEnabled());
            EXPECT_EQ(any.Text(),
                QStringLiteral("Эти файлы не добавлены в список:\n\nb.psd — не изображение (подходят файлы "
                               "JPEG, PNG, GIF, BMP, TIFF, WebP, HEIC, AVIF и JPEG XL)"));
        }
    }
}

// How the command list marks entry `row` in a grab: "filled" with the selection colour,
// "dotted" with a dotted frame inside it as well, "plain".
std::string MarkOf(CCommandListBox* list, int row)
{
    const QImage grab = list->viewport()->grab().toImage();
    const QRect item = list->visualItemRect(list->item(row));
    const QRgb fill = list->palette().color(QPalette::Highlight).rgb();
    if (grab.pixel(item.center().x(), item.bottom() - 4) != fill)
        return "plain";
    // Along the frame's top line every other pixel has the text's colour.
    int dots = 0;
    for (int x = item.left() + 1; x < item.right() - 1; ++x)
        dots += grab.pixel(x, item.top() + 1) != fill;
    const int length = item.width() - 3;
    return dots > length / 3 && dots < length * 2 / 3 ? "dotted" : "filled";
}

TEST(Welcome, MarkFollowsTheMouseAndKeysAndCancelChangesNothing)
{
    Welcome w;
    int opened = 0;
    w.Page()->ImagePicker = [&](QWidget*) { return ++opened, QStringList(); };
    CCommandListBox* list = w.Commands();
    const auto marks = [&] { return std::vector {MarkOf(list, 0), MarkOf(list, 1), MarkOf(list, 2)}; };
    using M = std::vector<std::string>;
    // At start the list has the focus, and the first entry is marked and framed.
    EXPECT_EQ(marks(), M({"dotted", "plain", "plain"}));
    QTest::mouseMove(list->viewport(), w.CentreOf(2));
    EXPECT_EQ(marks(), M({"plain", "plain", "dotted"}));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(list, &leave);
    EXPECT_EQ(marks(), M({"plain", "plain", "plain"}));
    // Nothing marked, nothing runs.
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(opened, 0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(marks(), M({"plain", "dotted", "plain"}));
    list->clearFocus();
    EXPECT_EQ(marks(), M({"plain", "plain", "plain"}));

    // The picture dialog cancelled.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, w.CentreOf(0));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(w.frame.CurrentPage(), kWelcomePage);
    EXPECT_EQ(w.frame.Page(kFileListPage), nullptr);
    // The two headings are drawn heavier than the text beside them.
    for (const int id : {1076, 1077})
        EXPECT_GT(QFontInfo(w.Control<QLabel>(kWelcomePage, id)->font()).weight(), QFont::Normal) << id;
}

// The state of a control as text: "1"/"0" for a check box, the index of a list, an edit's text.
QString StateOf(QWidget* control)
{
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto* list = qobject_cast<QComboBox*>(control))
        return QString::number(list->currentIndex());
    return static_cast<QLineEdit*>(control)->text();
}

void SetState(QWidget* control, const QString& state)
{
    if (auto* box = qobject_cast<QCheckBox*>(control))
        box->setChecked(state == QStringLiteral("1"));
    else if (auto* list = qobject_cast<QComboBox*>(control))
        list->setCurrentIndex(state.toInt());
    else
        static_cast<QLineEdit*>(control)->setText(state);
}

TEST(UploadSettings, EveryBoundControlBothWaysAndTheRulesThatSwitchThem)
{
    // Shown from the record when the page is made, then set by the user and stored by Next.
    const MainPart loaded {.Image = {.MaxWidth = 0,
                               .MaxHeight = 600,
                               .KeepAsIs = true,
                               .AddLogo = false,
                               .AddText = true,
                               .Format = std::nullopt,
                               .Quality = 0},
        .Main = {.CreateThumbs = false, .ThumbWidth = 0, .ServerID = ServiceId::Smages},
        .Thumbs = {.UserServerThumbs = true, .DrawFrame = false, .AddImageSize = true},
        .KeepProportions = false};
    // "Оставить без изменений" and "Создавать эскизы" are clicked after the rest is set.
    const MainPart stored {.Image = {.MaxWidth = 0,
                               .MaxHeight = 0,
                               .KeepAsIs = true,
                               .AddLogo = true,
                               .AddText = false,
                               .Format = ImageFormat::Webp,
                               .Quality = 150,
                               .StripLocation = false},
        .Main = {.CreateThumbs = false, .ThumbWidth = 2000, .ServerID = ServiceId::Keep4u},
        .Thumbs = {.UserServerThumbs = false, .DrawFrame = true, .AddImageSize = false},
        .KeepProportions = true};
    // Empty edits for 0, except the thumbnail width; text that is no number stores 0.
    const struct
    {
        int id;
        const char* shown;
        const char* typed;
    } controls[] = {{1003, "1", "0"}, {1005, "", ""}, {1006, "600", "abc"}, {1027, "0", "1"},
        {1007, "0", "1"}, {1008, "1", "0"}, {1011, "0", "4"}, {1015, "", "150"}, {1037, "0", "1"},
        {1030, "0", "2000"}, {1036, "0", "1"}, {1028, "1", "0"}, {1024, "1", "0"}, {1026, "3", "1"}};
    TestWizard w;
    w.frame.WizardSettings().main = loaded;
    w.frame.WizardSettings().servers.Host[1] = QString(60, u'k');
    w.PageAt<CUploadSettings>(kUploadSettingsPage)->AppearanceEditor
        = [](AppearancePart& appearance, bool& stripLocation, QWidget*) {
              appearance.Text.Text = QStringLiteral("новый");
              stripLocation = false;
          };
    w.frame.ShowPage(kUploadSettingsPage, -1, -1);
    const auto control = [&](int id) { return w.Control<QWidget>(kUploadSettingsPage, id); };
    for (const auto& c : controls)
        EXPECT_EQ(StateOf(control(c.id)), QLatin1String(c.shown)) << c.id;
    auto* servers = w.Control<QComboBox>(kUploadSettingsPage, 1026);
    EXPECT_EQ(servers->itemText(0), QStringLiteral(" imageshack.us"));
    EXPECT_EQ(servers->itemText(1), u' ' + QString(48, u'k')) << "a field of 50 wide characters";

    // Unchanged files and no thumbnails: their controls are off; "Дополнительно..." stays on.
    const auto enabled = [&](std::initializer_list<int> ids) {
        return std::count_if(ids.begin(), ids.end(), [&](int id) { return control(id)->isEnabled(); });
    };
    const std::initializer_list<int> image
        = {1005, 1006, 1009, 1010, 1027, 1007, 1008, 1011, 1013, 1014, 1015, 1012, 1016};
    const std::initializer_list<int> thumbs = {1030, 1034, 1036, 1028, 1024};
    EXPECT_EQ(enabled(image) + enabled(thumbs), 0);
    EXPECT_EQ(enabled({1018}), 1);
    // "Дополнительно...": the record gets the working copy on Next, not on Back.
    QTest::mouseClick(control(1018), Qt::LeftButton);
    w.frame.OnBack();
    EXPECT_EQ(w.frame.WizardSettings().appearance.Text.Text, QStringLiteral("Vellmar"));
    EXPECT_TRUE(w.frame.WizardSettings().main.Image.StripLocation);

    for (const auto& c : controls)
        SetState(control(c.id), QLatin1String(c.typed));
    w.frame.ShowPage(kUploadSettingsPage, -1, -1);
    EXPECT_EQ(enabled(image) + enabled(thumbs), 13 + 5);
    QTest::mouseClick(control(1003), Qt::LeftButton);
    EXPECT_EQ(enabled(image), 0);
    EXPECT_EQ(enabled(thumbs), 5) << "the thumbnails follow only their own switch";
    QTest::mouseClick(control(1037), Qt::LeftButton);
    EXPECT_EQ(enabled(thumbs), 0);
    w.frame.OnNext();
    EXPECT_EQ(w.frame.CurrentPage(), kUploadPage);
    EXPECT_TRUE(w.frame.WizardSettings().main == stored);
    EXPECT_EQ(w.frame.WizardSettings().appearance.Text.Text, QStringLiteral("новый"));
}

TEST(UploadSettings, ServicesAddedByDropChosenByNameAndForOneSession)
{
    QDir(UserServiceFolder()).removeRecursively();
    TestWizard w;
    const QString mine = w.dir.write(QStringLiteral("mine.sxcu"),
        R"({"Name": "Mine", "RequestURL": "https://up.example/", "FileFormName": "f"})");
    const QString old = w.dir.write(QStringLiteral("old.sxcu"),
        R"({"Version": "13.2.0", "Name": "Old", "RequestURL": "http://a", "FileFormName": "f",
            "URL": "$json:url$"})");
    const QString broken = w.dir.write(QStringLiteral("broken.sxcu"), "{");
    {
        // Profiles dropped on the window are added, one in the older syntax converted; a broken
        // one is named with its reason.
        ModalAnswer added(QStringLiteral("ОК"));
        w.frame.DropFiles({mine, old});
        EXPECT_EQ(added.Text(),
            QStringLiteral("Добавлены сервисы: «Mine», «Old» (файл версии 13.2.0 преобразован в нынешний "
                           "синтаксис).\nИх можно выбрать на странице параметров загрузки."));
        ModalAnswer refused(QStringLiteral("ОК"));
        w.frame.DropFiles({broken});
        EXPECT_EQ(refused.Text(),
            "Файл сервиса не добавлен:\n" + broken + ": line 1: not JSON: the text ends too early");
    }
    Settings& settings = w.frame.WizardSettings();
    settings.main.Main.Service = QStringLiteral("mine");
    auto* servers = w.Control<QComboBox>(kUploadSettingsPage, 1026);
    QStringList items;
    for (int i = 0; i < servers->count(); ++i)
        items << servers->itemText(i);
    EXPECT_EQ(items.mid(4), QStringList({" ipicture.ru", " 0x0.st", " catbox.moe", " Mine", " Old"}));
    EXPECT_EQ(servers->currentIndex(), 7) << "chosen by name, whatever its case";

    const struct
    {
        int index;
        ServiceId id;
        const char* name;
    } choices[] = {{6, ServiceId::ImageShack, "catbox.moe"}, {2, ServiceId::Radikal, ""}};
    for (const auto& c : choices) {
        w.frame.ShowPage(kUploadSettingsPage, -1, -1);
        servers->setCurrentIndex(c.index);
        w.frame.Page(kUploadSettingsPage)->OnNext();
        EXPECT_EQ(settings.main.Main.Service, QString::fromUtf8(c.name));
        EXPECT_EQ(settings.main.Main.ServerID, c.id);
    }
    // A session's file is listed last and chosen; nothing about it is kept.
    settings.main.Main.ServiceFile = mine;
    w.frame.Page(kUploadSettingsPage)->OnShow();
    ASSERT_EQ(servers->count(), 10);
    EXPECT_EQ(servers->itemText(9), QStringLiteral(" Mine"));
    for (const int index : {9, 0}) {
        servers->setCurrentIndex(index);
        w.frame.Page(kUploadSettingsPage)->OnNext();
        EXPECT_EQ(settings.main.Main.ServiceFile, index == 9 ? mine : QString());
        EXPECT_EQ(settings.main.Main.Service, QString());
    }
    QDir(UserServiceFolder()).removeRecursively();
}

TEST(FileDialogs, OpenWhereTheLastOneWasLeftAndSpeakRussian)
{
    ASSERT_TRUE(LoadQtTranslations());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    TestDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("shots")));
    const QString picture = WritePicture(dir.path() + QStringLiteral("/shots"), QStringLiteral("a.png"));
    QString folder = dir.path();
    QString openedIn;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(
            QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        openedIn = dialog->directory().absolutePath();
        dialog->selectFile(picture);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_EQ(PickImageFiles(nullptr, &folder), QStringList {picture});
    EXPECT_EQ(openedIn, dir.path());
    EXPECT_EQ(folder, dir.path() + QStringLiteral("/shots"));
}

TEST(FailureReasons, InRussianOrAsTheyCame)
{
    const std::pair<const char*, const char*> cases[] = {
        {"no data moved for 30 seconds", "передача замерла: 30 с без данных"},
        {"cannot write into /tmp/100%2 x: No space", "не удалось записать в /tmp/100%2 x: No space"},
        {"no addresses in the answer (HTTP status 502)", "в ответе сервиса нет адресов (код HTTP 502)"},
        // A reason the table does not know, the service's own among them, stays as it came.
        {"File type not allowed", "File type not allowed"},
    };
    for (const auto& [english, russian] : cases)
        EXPECT_EQ(RussianReason(QString::fromUtf8(english)), QString::fromUtf8(russian));
    // The upload library's own wording of its rule and limit reasons is known to the table.
    EXPECT_EQ(RussianReason(Reasons::RuleFoundNothing(QStringLiteral("ThumbnailURL"))),
        QStringLiteral("правило ThumbnailURL ничего не нашло в ответе сервиса"));
    EXPECT_EQ(RussianReason(Reasons::AnswerTooSlow(120)),
        QStringLiteral("ответ сервиса не закончился за 120 с после отправки"));
}

} // namespace
