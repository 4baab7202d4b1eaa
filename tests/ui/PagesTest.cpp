// SPDX-License-Identifier: MIT
// The welcome page's commands and the upload settings page's bindings, used as a user does.
#include "tests/ui/TestWizard.h"
#include "ui/FailureReasons.h"
#include "ui/pages/CUploadSettings.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/pages/CWelcomeDlg.h"
#include "ui/widgets/CCommandListBox.h"
#include "upload/FailureReasons.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

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

TEST(Welcome, CommandsByMouseAndKeys)
{
    TestWizard w;
    w.frame.show();
    w.frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.frame));
    auto* page = w.PageAt<CWelcomeDlg>(kWelcomePage);
    CCommandListBox* list = page->Commands();
    int pictureDialogs = 0;
    QStringList picked;
    page->ImagePicker = [&](QWidget*) { return ++pictureDialogs, picked; };
    page->VideoPicker = [&](QWidget*) { return w.dir.file(QStringLiteral("clip.avi")); };
    const auto click = [&](QPoint at) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); };
    const auto centre = [&](int row) { return list->visualItemRect(list->item(row)).center(); };
    const auto marks = [&] { return std::vector {MarkOf(list, 0), MarkOf(list, 1), MarkOf(list, 2)}; };
    using M = std::vector<std::string>;
    // At start the list has the focus, and the first entry is marked and framed.
    EXPECT_EQ(marks(), M({"dotted", "plain", "plain"}));
    QTest::mouseMove(list->viewport(), centre(2));
    EXPECT_EQ(marks(), M({"plain", "plain", "dotted"}));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(list, &leave);
    EXPECT_EQ(marks(), M({"plain", "plain", "plain"}));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(pictureDialogs, 0) << "nothing marked, nothing runs";
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(marks(), M({"plain", "dotted", "plain"}));
    list->clearFocus();
    EXPECT_EQ(marks(), M({"plain", "plain", "plain"}));
    // The two headings are drawn heavier than the text beside them.
    for (const int id : {1076, 1077})
        EXPECT_GT(QFontInfo(w.Control<QLabel>(kWelcomePage, id)->font()).weight(), QFont::Normal) << id;

    click(centre(0)); // the picture dialog, cancelled
    EXPECT_EQ(pictureDialogs, 1);
    EXPECT_EQ(w.frame.CurrentPage(), kWelcomePage);
    // The video page, whose Next leads to the settings while there is no list yet.
    click(centre(1));
    EXPECT_EQ(w.frame.CurrentPage(), kVideoPage);
    EXPECT_EQ(w.PageAt<CVideoGrabber>(kVideoPage)->VideoFile(), w.dir.file(QStringLiteral("clip.avi")));
    EXPECT_EQ(std::pair(w.frame.PrevPage, w.frame.NextPage), std::pair(0, 3));
    w.frame.OnBack();
    {
        // The screenshot dialog, cancelled.
        ModalAnswer cancel(QStringLiteral("Отмена"));
        click(centre(2));
        EXPECT_EQ(cancel.Caption(), QStringLiteral("Скриншот"));
        EXPECT_EQ(w.frame.CurrentPage(), kWelcomePage);
    }
    // A click below the last entry runs it: the history's window, over the wizard.
    click(QPoint(20, list->viewport()->height() - 2));
    ASSERT_TRUE(w.frame.HistoryWindow());
    EXPECT_TRUE(w.frame.HistoryWindow()->isVisible());
    EXPECT_EQ(w.frame.HistoryWindow()->windowTitle(), QStringLiteral("История загрузок"));
    w.frame.HistoryWindow()->close();
    EXPECT_EQ(w.frame.CurrentPage(), kWelcomePage);
    // Only a refused picture: the list all the same, empty, and the refusal named.
    picked = {w.dir.file(QStringLiteral("b.psd"))};
    ModalAnswer notice(QStringLiteral("ОК"));
    for (int up = 0; up < 3; ++up)
        QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice.Seen(); }));
    EXPECT_EQ(notice.Text(),
        QStringLiteral(
            "Эти файлы не добавлены в список:\n\nb.psd — не изображение (подходят файлы JPEG, PNG, GIF, "
            "BMP, TIFF, WebP, HEIC, AVIF и JPEG XL)"));
    EXPECT_EQ(w.frame.CurrentPage(), kFileListPage);
    EXPECT_EQ(std::pair(w.frame.PrevPage, w.frame.NextPage), std::pair(0, 3));
    EXPECT_FALSE(w.Button(kNextButton)->isEnabled());
    // Back again: the video page's Next leads to the list now.
    w.frame.OnBack();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(std::pair(w.frame.CurrentPage(), w.frame.NextPage), std::pair(1, 2));
}

// A control's state as text ("1"/"0" for a check box, a list's index, an edit's text), set
// first to `typed` when that is given.
QString State(QWidget* control, const char* typed = nullptr)
{
    const QString text = QString::fromUtf8(typed);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        if (typed)
            box->setChecked(text == QStringLiteral("1"));
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        if (typed)
            list->setCurrentIndex(text.toInt());
        return QString::number(list->currentIndex());
    }
    if (typed)
        static_cast<QLineEdit*>(control)->setText(text);
    return static_cast<QLineEdit*>(control)->text();
}

TEST(UploadSettings, EveryBoundControlBothWaysAndTheRulesThatSwitchThem)
{
    // Shown from the record when the page is made, then set by the user and stored by Next;
    // "Оставить без изменений" and "Создавать эскизы" are clicked after the rest is set.
    MainPart loaded;
    loaded.Image = {0, 600, true, false, true, std::nullopt, 0};
    loaded.Main = {false, 0, ServiceId::Smages};
    loaded.Thumbs = {true, false, true};
    loaded.KeepProportions = false;
    MainPart stored;
    stored.Image = {0, 0, true, true, false, ImageFormat::Webp, 150, false};
    stored.Main = {false, 2000, ServiceId::Keep4u};
    stored.Thumbs = {false, true, false};
    stored.History.Keep = false;
    // Empty edits for 0, except the thumbnail width; text that is no number stores 0.
    const std::tuple<int, const char*, const char*> controls[]
        = {{1003, "1", "0"}, {1005, "", ""}, {1006, "600", "abc"}, {1027, "0", "1"}, {1007, "0", "1"},
            {1008, "1", "0"}, {1011, "0", "4"}, {1015, "", "150"}, {1037, "0", "1"}, {1030, "0", "2000"},
            {1036, "0", "1"}, {1028, "1", "0"}, {1024, "1", "0"}, {1026, "3", "1"}};
    TestWizard w;
    w.frame.WizardSettings().main = loaded;
    w.frame.WizardSettings().servers.Host[1] = QString(60, u'k');
    w.PageAt<CUploadSettings>(kUploadSettingsPage)->AppearanceEditor
        = [](AppearancePart& appearance, AdvancedSwitches& switches, QWidget*) {
              appearance.Text.Text = QStringLiteral("новый");
              switches = {false, false};
          };
    w.frame.ShowPage(kUploadSettingsPage, -1, -1);
    const auto control = [&](int id) { return w.Control<QWidget>(kUploadSettingsPage, id); };
    for (const auto& [id, shown, typed] : controls)
        EXPECT_EQ(State(control(id)), QString::fromUtf8(shown)) << id;
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
    EXPECT_TRUE(w.frame.WizardSettings().main.History.Keep);

    for (const auto& [id, shown, typed] : controls)
        State(control(id), typed);
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
    EXPECT_EQ(servers->currentText(), QStringLiteral(" Mine")) << "chosen by name, whatever its case";

    servers->setCurrentIndex(6);
    w.frame.Page(kUploadSettingsPage)->OnNext();
    EXPECT_EQ(settings.main.Main.Service, QStringLiteral("catbox.moe"));
    // A session's file is listed last and chosen; nothing about it is kept.
    settings.main.Main.ServiceFile = mine;
    w.frame.Page(kUploadSettingsPage)->OnShow();
    ASSERT_EQ(servers->count(), 10);
    EXPECT_EQ(servers->itemText(9), QStringLiteral(" Mine"));
    for (const int index : {9, 2}) {
        servers->setCurrentIndex(index);
        w.frame.Page(kUploadSettingsPage)->OnNext();
        EXPECT_EQ(settings.main.Main.ServiceFile, index == 9 ? mine : QString());
    }
    EXPECT_EQ(settings.main.Main.Service, QString()) << "one of the program's own services clears the name";
    EXPECT_EQ(settings.main.Main.ServerID, ServiceId::Radikal);
    QDir(UserServiceFolder()).removeRecursively();
}

TEST(FailureReasons, InRussianOrAsTheyCame)
{
    const std::pair<const char*, const char*> cases[] = {
        {"cannot write into /tmp/100%2 x: No space", "не удалось записать в /tmp/100%2 x: No space"},
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
