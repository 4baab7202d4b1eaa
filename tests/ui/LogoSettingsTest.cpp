// SPDX-License-Identifier: MIT
#include "ui/CLogoSettings.h"

#include "settings/Colors.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"
#include "ui/widgets/CMyImage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The upload settings page with its copy of the appearance, and the dialog opened on that copy.
struct LogoSettings : testing::Test
{
    QWidget page;
    AppearancePart appearance;
    AdvancedSwitches switches;
    std::unique_ptr<CLogoSettings> dialog;

    void Open()
    {
        page.setGeometry(100, 80, 700, 520);
        page.show();
        dialog = std::make_unique<CLogoSettings>(appearance, switches, &page);
        dialog->show();
    }
    template<class T> T* Control(int id) { return dialog->findChild<T*>(QString::number(id)); }
    void Press(int id) { ButtonById(dialog.get(), id)->click(); }
};

TEST_F(LogoSettings, OkStoresEveryEditCancelOnlyTheColours)
{
    TestDir dir;
    const QString logo = WritePicture(dir.path(), QStringLiteral("logo.png"), 60, 40, "PNG", Qt::red);
    QFont points(QStringLiteral("DejaVu Serif"), 12, QFont::DemiBold, true);
    points.setUnderline(true);
    points.setStrikeOut(true);
    for (const int leaveBy : {1, 2}) {
        SCOPED_TRACE(leaveBy == 1 ? "OK" : "Отмена");
        appearance = {};
        switches = {};
        Open();
        EXPECT_LE((dialog->geometry().center() - page.geometry().center()).manhattanLength(), 2);
        // The logo chosen with "Обзор..." is shown unscaled and centred in the 275 x 73 box inside
        // the preview's frame: red within its black border.
        auto* preview = Control<QGroupBox>(1070)->findChild<CMyImage*>();
        ASSERT_EQ(preview->geometry(), QRect(13, 20, 277, 75));
        EXPECT_FALSE(preview->HasBitmap()) << "no logo, no picture";
        dialog->LogoPicker = [&](QWidget* owner) { return owner == dialog.get() ? logo : QString(); };
        Press(1069);
        EXPECT_EQ(Control<QLineEdit>(1040)->text(), logo);
        EXPECT_EQ(BoxOf(preview->Bitmap(), QColor(Qt::red)), QRect(109, 18, 58, 38));
        Control<QComboBox>(1025)->setCurrentIndex(2);
        Control<QComboBox>(1027)->setCurrentIndex(2);
        Control<QLineEdit>(1067)->setText(QString(300, u'ж'));
        Control<QCheckBox>(1036)->setChecked(true);
        Control<QCheckBox>(1094)->setChecked(false);
        Control<QCheckBox>(1095)->setChecked(false);
        // The text font is replaced; the caption font goes to the picker and comes back as it was.
        dialog->FontPicker
            = [&](const QFont& offered, QWidget*) { return offered.bold() ? offered : points; };
        QList<int> offered;
        dialog->ColourPicker = [&](const QColor& colour, QWidget*) -> std::optional<QColor> {
            offered << ColorToColorRef(colour);
            return offered.size() < 6 ? std::optional(ColorRefToColor(0x102030 * offered.size()))
                                      : std::nullopt;
        };
        for (const int id : {1068, 1092, 1047, 1041, 1080, 1093, 1091, 1033})
            Press(id);
        EXPECT_EQ(offered, QList<int>({0xFFFFFF, 0, 7293440, 8214029, 16756230, 16777215}));
        if (leaveBy == 1) {
            // Both in one place: the question, and No keeps the dialog open with every edit.
            ModalAnswer no(QStringLiteral("Нет"));
            QTest::keyClick(dialog.get(), Qt::Key_Return);
            EXPECT_EQ(no.Text(),
                QStringLiteral(
                    "Вы действительно хотите поместить текст и логотип в одном месте на изображении?"));
            EXPECT_EQ(no.Caption(), QStringLiteral("Параметры изображения"));
            EXPECT_EQ(no.Icon(), QMessageBox::Question);
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(Control<QLineEdit>(1067)->text(), QString(300, u'ж'));
            EXPECT_TRUE(appearance.Logo.Filename.isEmpty()) << "nothing stored yet";
        }
        ModalAnswer samePlace(QStringLiteral("Да"));
        Press(leaveBy);
        EXPECT_EQ(samePlace.Seen(), leaveBy == 1);
        EXPECT_FALSE(dialog->isVisible());

        AppearancePart expected;
        int chosen = 0;
        for (int* colour : {&expected.Text.Color, &expected.Thumbs.StrokeColor, &expected.Thumbs.FrameColor,
                 &expected.Thumbs.Color1, &expected.Thumbs.Color2})
            *colour = 0x102030 * ++chosen;
        if (leaveBy == 1) {
            expected.Logo.Position = StampPosition::TopRight;
            expected.Text.Position = StampPosition::TopRight;
            expected.Logo.Filename = logo;
            expected.Text.Text = QString(255, u'ж');
            expected.Thumbs.TextOverThumb = true;
            const int height = -MulDiv(12, ScreenDpiY(), 72);
            expected.Text.Font = {QStringLiteral("DejaVu Serif"), height, 600, true, true, true, 204, 0};
        }
        EXPECT_TRUE(appearance == expected);
        EXPECT_EQ(switches.stripLocation, leaveBy == 2);
        EXPECT_EQ(switches.keepHistory, leaveBy == 2);
    }
    appearance.Logo.Filename = logo;
    Open();
    EXPECT_EQ(BoxOf(Control<QGroupBox>(1070)->findChild<CMyImage*>()->Bitmap(), QColor(Qt::red)),
        QRect(109, 18, 58, 38))
        << "a stored logo is shown as the dialog opens";
}

} // namespace
