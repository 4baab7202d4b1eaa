// SPDX-License-Identifier: MIT
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>

ModalAnswer::ModalAnswer(const QString& buttonText, int timeoutMs)
    : m_button(buttonText)
    , m_left(timeoutMs / 20)
{
    // The timer belongs to this object, so no poll can outlive it.
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
    m_timer.start(20);
}

void ModalAnswer::Poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        if (--m_left <= 0)
            m_timer.stop();
        return;
    }
    m_seen = true;
    m_timer.stop();
    m_caption = modal->windowTitle();
    m_owner = modal->parentWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_text = box->text();
        m_icon = box->icon();
    }
    for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
        if (button->text() == m_button) {
            button->click();
            return;
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
}

QAbstractButton* ButtonById(QWidget* root, int id)
{
    return root->findChild<QAbstractButton*>(QString::number(id));
}
