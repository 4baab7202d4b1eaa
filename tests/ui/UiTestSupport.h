// SPDX-License-Identifier: MIT
#pragma once

#include "tests/support/WaitFor.h"

#include <QImage>
#include <QString>
#include <QTimer>
#include <functional>

class QAbstractButton;
class QWidget;

/// Presses the button labelled `buttonText` of the next modal dialog that opens, and returns what
/// the dialog said (empty when none opened within `timeoutMs`). Call before the action that opens it.
class ModalAnswer
{
public:
    explicit ModalAnswer(const QString& buttonText, int timeoutMs = 5000);
    ~ModalAnswer();
    bool Seen() const { return m_seen; }
    QString Text() const { return m_text; }
    QString Caption() const { return m_caption; }

private:
    void Poll();
    QString m_button;
    int m_left;
    bool m_seen = false;
    QTimer m_timer;
    QString m_text;
    QString m_caption;
};

/// A small picture file of `width` x `height` in the given format, written into `dir`.
QString WritePicture(
    const QString& dir, const QString& name, int width = 64, int height = 48, const char* format = "PNG");
/// A file of exactly `size` bytes that starts like a JPEG.
QString WriteSizedFile(const QString& dir, const QString& name, qint64 size);

QAbstractButton* ButtonById(QWidget* root, int id);

/// Writes `text` to `path`, replacing the file.
void WriteText(const QString& path, const QByteArray& text);
/// A [Servers] section sending all five services to `host` ("name:port").
QByteArray ServersSection(const QString& host);
/// Servers on a local port nothing listens on: uploads fail at once, without leaving the machine.
QByteArray RefusingServers();
