// SPDX-License-Identifier: MIT
#include "tests/ui/UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

ModalAnswer::ModalAnswer(const QString& buttonText, int timeoutMs)
    : m_button(buttonText)
    , m_left(timeoutMs / 20)
{
    // The timer belongs to this object, so no poll can outlive it.
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
    m_timer.start(20);
}

ModalAnswer::~ModalAnswer() = default;

void ModalAnswer::Poll()
{
    if (m_seen)
        return;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        m_seen = true;
        m_timer.stop();
        m_caption = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            m_text = box->text();
        for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
            if (button->text() == m_button) {
                button->click();
                return;
            }
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        return;
    }
    if (--m_left <= 0)
        m_timer.stop();
}

QString WritePicture(const QString& dir, const QString& name, int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    const QString path = dir + u'/' + name;
    image.save(path, format);
    return path;
}

QString WriteSizedFile(const QString& dir, const QString& name, qint64 size)
{
    const QString path = dir + u'/' + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        QByteArray bytes(size, '\0');
        if (size >= 2) {
            bytes[0] = char(0xFF);
            bytes[1] = char(0xD8);
        }
        file.write(bytes);
    }
    return path;
}

QAbstractButton* ButtonById(QWidget* root, int id)
{
    return root->findChild<QAbstractButton*>(QString::number(id));
}

void WriteText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray ServersSection(const QString& host)
{
    QByteArray text = "[Servers]\n";
    for (int i = 0; i < 5; ++i)
        text += "Host" + QByteArray::number(i) + '=' + host.toUtf8() + '\n';
    return text;
}

QByteArray RefusingServers()
{
    return ServersSection(QStringLiteral("127.0.0.1:1"));
}
