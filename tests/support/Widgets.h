// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>

class QAbstractButton;
class QWidget;

/// Presses the button labelled `buttonText` of the next modal dialog that opens while it lives,
/// and keeps what the dialog showed. Create it before the action that opens the dialog.
class ModalAnswer
{
public:
    explicit ModalAnswer(const QString& buttonText, int timeoutMs = 5000);
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    bool Seen() const { return m_seen; }
    QString Text() const { return m_text; }
    QString Caption() const { return m_caption; }
    QMessageBox::Icon Icon() const { return m_icon; }
    QWidget* Owner() const { return m_owner; }

private:
    void Poll();
    QString m_button;
    int m_left;
    bool m_seen = false;
    QTimer m_timer;
    QString m_text;
    QString m_caption;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QPointer<QWidget> m_owner;
};

/// The button with the numeric id `id` (its object name) inside `root`.
QAbstractButton* ButtonById(QWidget* root, int id);
