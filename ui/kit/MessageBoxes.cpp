// SPDX-License-Identifier: MIT
#include "ui/kit/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

void ShowWithOk(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption)
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, owner);
    box.addButton(QStringLiteral("ОК"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

bool AskYesNo(QWidget* owner, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, owner);
    QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void ShowInformation(QWidget* owner, const QString& text, const QString& caption)
{
    ShowWithOk(owner, QMessageBox::Information, text, caption);
}

void ShowWarning(QWidget* owner, const QString& text, const QString& caption)
{
    ShowWithOk(owner, QMessageBox::Warning, text, caption);
}

void ShowMessage(QWidget* owner, const QString& text, const QString& caption)
{
    ShowWithOk(owner, QMessageBox::NoIcon, text, caption);
}

void ShowRefusedFiles(QWidget* owner, const QStringList& lines)
{
    if (lines.isEmpty() || !owner)
        return;
    QTimer::singleShot(0, owner, [owner, lines] {
        ShowInformation(owner, QStringLiteral("Эти файлы не добавлены в список:\n\n") + lines.join(u'\n'),
            QStringLiteral("Vellmar"));
    });
}
