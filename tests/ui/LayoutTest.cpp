// SPDX-License-Identifier: MIT
#include "capture/CScreenshotDlg.h"
#include "imaging/TempFolder.h"
#include "tests/ui/TestWizard.h"
#include "ui/CLogoSettings.h"
#include "ui/kit/Dlu.h"
#include "ui/pages/CUploadDlg.h"
#include "ui/pages/CVideoGrabberParams.h"
#include "ui/widgets/CCommandListBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOption>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The room a control gives its text, and the texts it must show.
struct Room
{
    int width = 0;
    int height = 0;
    QStringList texts;
    bool wraps = false;
};

std::optional<Room> RoomOf(QWidget* w)
{
    QStyle* style = w->style();
    if (auto* label = qobject_cast<QLabel*>(w);
        label && label->pixmap().isNull() && !label->text().isEmpty()) {
        return Room {label->contentsRect().width(), label->contentsRect().height(), {label->text()},
            label->wordWrap()};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QStyle::SubElement contents = qobject_cast<QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
            : qobject_cast<QRadioButton*>(w)                            ? QStyle::SE_RadioButtonContents
                                                                        : QStyle::SE_PushButtonContents;
        const QRect rect = style->subElementRect(contents, &option, button);
        return Room {rect.width(), rect.height(), {button->text()}};
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) // the title keeps clear of the frame's corners
        return Room {group->width() - 16, group->height(), {group->title()}};
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QRect field
            = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
        Room room {field.width(), field.height()};
        for (int i = 0; i < list->count(); ++i)
            room.texts << list->itemText(i);
        return room;
    }
    if (auto* commands = qobject_cast<CCommandListBox*>(w)) {
        // The title starts 63 pixels into the entry and is clipped 3 pixels before its end.
        Room room {commands->contentsRect().width() - 66, CCommandListBox::kItemHeight - 15};
        for (int i = 0; i < commands->count(); ++i)
            room.texts << commands->item(i)->text();
        return room;
    }
    return std::nullopt;
}

// What does not fit, one line per text; empty when everything does.
QStringList Overflows(QWidget* window)
{
    QStringList found;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const std::optional<Room> room = w->window() == window ? RoomOf(w) : std::nullopt;
        if (!room)
            continue;
        const QFontMetrics metrics(w->font());
        for (const QString& text : room->texts) {
            const QRect needed = room->wraps
                ? metrics.boundingRect(QRect(0, 0, room->width, 10000), Qt::TextWordWrap, text)
                : QRect(0, 0, metrics.horizontalAdvance(text), metrics.height());
            if (needed.width() > room->width || needed.height() > room->height)
                found << w->objectName() + QStringLiteral(" \"") + text + u'"';
        }
    }
    return found;
}

// Every text fits its control. Tab walks every page from top to bottom, left to right within a
// row, then the button row; each control it stops at looks different with the focus than
// without. The window stands centred in the screen's free area.
TEST(Layout, TextsFitAndTabReadsEachPageInOrder)
{
    ASSERT_EQ(QFontInfo(DialogFont()).family(), QStringLiteral("Tahoma"))
        << "the face the layouts are made for";
    TestWizard w;
    CWizardDlg& frame = w.frame;
    for (int page = 0; page < kPageCount; ++page)
        ASSERT_TRUE(frame.CreatePage(page));
    // The longest texts the upload page writes into its status line.
    auto* upload = static_cast<CUploadDlg*>(frame.Page(kUploadPage));
    upload->findChild<QLabel*>(QStringLiteral("1050"))
        ->setText(QStringLiteral("Закачка завершена. Всего 999 из 999 файлов было загружено. 999 ошибок."));

    TempFolder temp(w.dir.path());
    CScreenshotDlg screenshot(&frame, frame.Page(kFileListPage)->PageWnd, ScreenshotPart(), temp);
    AppearancePart appearance;
    AdvancedSwitches switches;
    CLogoSettings logo(appearance, switches, &frame);
    TileSheetLayout layout;
    CVideoGrabberParams sheet(layout, &frame);
    for (QWidget* window : std::initializer_list<QWidget*> {&frame, &screenshot, &logo, &sheet}) {
        SCOPED_TRACE(window->objectName().toStdString());
        window->show(); // lays out and polishes what would otherwise wait for the first showing
        QCoreApplication::processEvents();
        EXPECT_EQ(Overflows(window), QStringList());
        if (window != &frame)
            window->hide();
    }

    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    const QRect area = frame.screen()->availableGeometry();
    // Within the border the window manager is assumed to add before it says.
    EXPECT_LE(std::abs(frame.frameGeometry().center().x() - area.center().x()), 4);
    EXPECT_GE(frame.frameGeometry().top(), area.top());

    const int row = DluY(5); // controls of one row stand this close
    for (const int index : {kVideoPage, kFileListPage, kUploadSettingsPage, kUploadPage, kWelcomePage}) {
        frame.ShowPage(index, -1, -1);
        QWidget* page = frame.Page(index)->PageWnd;
        // A first Tab and back, as a user starts with the keyboard.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QRect previous;
        int stops = 0;
        for (QWidget* focused = QApplication::focusWidget(); page->isAncestorOf(focused) && stops < 30;
             focused = QApplication::focusWidget(), ++stops) {
            SCOPED_TRACE(
                QStringLiteral("page %1, %2 %3")
                    .arg(index)
                    .arg(QString::fromLatin1(focused->metaObject()->className()), focused->objectName())
                    .toStdString());
            const QRect place(focused->mapTo(page, QPoint()), focused->size());
            if (stops > 0) {
                EXPECT_TRUE(place.top() > previous.top() + row
                    || (std::abs(place.top() - previous.top()) <= row && place.left() > previous.left()));
            }
            previous = place;
            const QImage withFocus = focused->grab().toImage();
            QTest::keyClick(focused, Qt::Key_Tab);
            EXPECT_NE(focused->grab().toImage(), withFocus) << "no sign of the focus";
        }
        EXPECT_GT(stops, 0);
        EXPECT_EQ(QApplication::focusWidget()->parentWidget(), &frame) << "the button row comes last";
    }
}

} // namespace
