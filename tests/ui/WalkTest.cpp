// SPDX-License-Identifier: MIT
// One walk through the whole wizard as a user makes it, with keys and clicks only, against the
// local hosting service program: welcome page, picture dialog, file list, options, upload, code.
#include "settings/IniFile.h"
#include "tests/ui/TestWizard.h"
#include "ui/kit/FileDialogs.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The local hosting service as its own program, on a port it chooses.
struct HostProgram
{
    QProcess process;
    QString host; // "127.0.0.1:port"

    HostProgram()
    {
        process.start(QStringLiteral(VELLMAR_TESTHOST_EXE), {});
        if (!process.waitForReadyRead(10000))
            return;
        const QRegularExpressionMatch found
            = QRegularExpression(QStringLiteral("http://(127\\.0\\.0\\.1:\\d+)/")).match(process.readLine());
        host = found.captured(1);
    }
    ~HostProgram()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// Checks that the open file dialog speaks Russian and opened in `folder`, then types the quoted
// names into it and Enter, as a user does.
void ChooseInFileDialog(const QString& folder, const QStringList& names)
{
    QTimer::singleShot(0, [=] {
        ASSERT_TRUE(
            QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
        EXPECT_EQ(dialog->directory().absolutePath(), folder);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::qWait(100); // the folder's listing first, or it empties the edit
        QTest::keyClicks(name, u'"' + names.join(QStringLiteral("\" \"")) + u'"');
        QTest::keyClick(name, Qt::Key_Return);
        // A dialog that did not take the names would hold the test for ever.
        if (QTest::qWait(200); dialog->isVisible()) {
            ADD_FAILURE() << "the file dialog did not take " << qPrintable(name->text());
            dialog->reject();
        }
    });
}

TEST(Walk, FromTheWelcomePageToTheCode)
{
    HostProgram service;
    ASSERT_FALSE(service.host.isEmpty()) << "vellmar-testhost did not start";
    TestWizard w(ServersSection(service.host));
    WritePicture(w.dir.path(), QStringLiteral("first.png"), 900, 600);
    WritePicture(w.dir.path(), QStringLiteral("second.jpg"), 640, 480, "JPEG");
    CWizardDlg& frame = w.frame;
    // The picture dialog opens in the folder it was last confirmed in.
    frame.WizardSettings().folders.Images = w.dir.path();
    ASSERT_TRUE(LoadQtTranslations());
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto* next = ButtonById(&frame, kNextButton);

    // Welcome: the first command has the focus; Enter opens the picture dialog.
    ChooseInFileDialog(w.dir.path(), {QStringLiteral("first.png"), QStringLiteral("second.jpg")});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(frame.CurrentPage(), kFileListPage);
    ASSERT_TRUE(next->isEnabled());
    EXPECT_EQ(frame.WizardSettings().folders.Images, w.dir.path());
    QTest::mouseClick(next, Qt::LeftButton);

    // Options: bound to 300 pixels wide, no logo, PNG, service 3; Enter is "Загрузить".
    ASSERT_EQ(frame.CurrentPage(), kUploadSettingsPage);
    QLineEdit* width = w.Control<QLineEdit>(kUploadSettingsPage, 1005);
    QTest::mouseDClick(width, Qt::LeftButton);
    QTest::keyClick(width, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(width, QStringLiteral("300"));
    QTest::mouseClick(w.Control<QCheckBox>(kUploadSettingsPage, 1007), Qt::LeftButton, {}, QPoint(6, 6));
    QComboBox* format = w.Control<QComboBox>(kUploadSettingsPage, 1011);
    format->setFocus();
    QTest::keyClick(format, Qt::Key_Down);
    QComboBox* server = w.Control<QComboBox>(kUploadSettingsPage, 1026);
    server->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(server, Qt::Key_Down);
    QTest::keyClick(width, Qt::Key_Return);

    // Upload: Next stops, Back and Exit wait; the run ends by itself; the code names both pictures.
    ASSERT_EQ(frame.CurrentPage(), kUploadPage);
    EXPECT_EQ(next->text(), QStringLiteral("Остановить"));
    EXPECT_FALSE(ButtonById(&frame, kPrevButton)->isEnabled());
    EXPECT_FALSE(ButtonById(&frame, kExitButton)->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return next->text() == QStringLiteral("Завершить >"); }, 30000));
    EXPECT_TRUE(ButtonById(&frame, kExitButton)->isEnabled());
    EXPECT_EQ(w.Control<QProgressBar>(kUploadPage, 1049)->value(), 2);
    QPlainTextEdit* box = w.Control<QPlainTextEdit>(kUploadPage, 1051);
    const QString code = box->toPlainText();
    const QString base = QStringLiteral("http://") + service.host;
    EXPECT_EQ(code,
        QStringLiteral("[url=%1/i/1][img]%1/i/2[/img][/url]  [url=%1/i/3][img]%1/i/4[/img][/url]  ")
            .arg(base));
    EXPECT_EQ(frame.WizardSettings().main.Image.MaxWidth, 300);
    EXPECT_FALSE(frame.WizardSettings().main.Image.AddLogo);
    EXPECT_EQ(frame.WizardSettings().main.Image.Format, ImageFormat::Png);
    EXPECT_EQ(frame.WizardSettings().main.Main.ServerID, ServiceId::Smages);
    QTest::mouseClick(w.Control<QPushButton>(kUploadPage, 1071), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), code);
    // One picture a row, then HTML: the code follows the controls at once.
    QLineEdit* perRow = w.Control<QLineEdit>(kUploadPage, 1040);
    QTest::keyClick(perRow, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(perRow, QStringLiteral("1"));
    EXPECT_EQ(box->toPlainText().count(QStringLiteral("\n\n")), 2) << qPrintable(box->toPlainText());
    QComboBox* type = w.Control<QComboBox>(kUploadPage, 1025);
    type->setFocus();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(type, Qt::Key_Down);
    EXPECT_TRUE(box->toPlainText().startsWith(QStringLiteral("<center><a href=\"%1/i/1\">").arg(base)));

    // Finish: back on the welcome page, with the code type kept.
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(frame.CurrentPage(), kWelcomePage);
    int stored = -1;
    ReadIniValue(w.settings.Path(), u"Upload.Codetype", stored, 0);
    EXPECT_EQ(stored, 5);
}

} // namespace
