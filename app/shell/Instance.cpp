// SPDX-License-Identifier: MIT
#include "app/shell/Instance.h"

#include "ui/CWizardDlg.h"

#include <QDataStream>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>
#include <unistd.h>

namespace {

constexpr int kConnectMs = 1000;
// The running window answers from its event loop, which a modal dialog keeps turning.
constexpr int kAnswerMs = 5000;
// Far more than any list of paths; a larger message is no start of ours.
constexpr qint64 kMaxMessage = 4 * 1024 * 1024;
const QByteArray kTaken = QByteArrayLiteral("taken");

void BringToFront(CWizardDlg& frame)
{
    // A frame hidden for a screenshot stays hidden: the capture shows it again.
    if (!frame.isVisible())
        return;
    frame.setWindowState(frame.windowState() & ~Qt::WindowMinimized);
    frame.raise();
    frame.activateWindow();
}

} // namespace

QString InstanceSocketName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/vellmar.socket");
    // Without a runtime folder the socket goes to the temporary folder, which all users share.
    return QStringLiteral("vellmar-%1").arg(getuid());
}

QStringList GivenFiles(const QStringList& arguments)
{
    QStringList files;
    for (const QString& argument : arguments) {
        const QUrl url(argument);
        files << (url.isLocalFile()  ? url.toLocalFile()
                : argument.isEmpty() ? argument
                                     : QFileInfo(argument).absoluteFilePath());
    }
    return files;
}

HandOver HandToRunningWindow(const QStringList& files, const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectMs))
        return HandOver::NoWindow;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << files;
    socket.write(message);
    // Only the answer says the files arrived; a socket written to may still be dropped unread.
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kAnswerMs))
            return HandOver::Failed;
    }
    while (socket.bytesAvailable() < kTaken.size()) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return HandOver::Failed;
    }
    return socket.read(kTaken.size()) == kTaken ? HandOver::Done : HandOver::Failed;
}

CInstanceServer::CInstanceServer(CWizardDlg& frame, const QString& name)
    : m_frame(frame)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a program that ended without removing it answers no one: the caller has
    // just found that out by trying to hand over.
    if (!m_server.listen(name) && m_server.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name);
        m_server.listen(name);
    }
    if (!m_server.isListening()) {
        qWarning("Vellmar: later starts cannot reach this window (%s)", qPrintable(m_server.errorString()));
    }
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(*socket); });
            if (socket->bytesAvailable() > 0)
                Read(*socket);
        }
    });
}

void CInstanceServer::Read(QLocalSocket& socket)
{
    if (socket.bytesAvailable() > kMaxMessage) {
        socket.abort();
        return;
    }
    QDataStream in(&socket);
    in.startTransaction();
    QStringList files;
    in >> files;
    if (!in.commitTransaction())
        return;
    socket.write(kTaken);
    socket.disconnectFromServer();
    // Answered first: the drop may open a message box, and the other start should not wait for it.
    QTimer::singleShot(0, &m_frame, [frame = &m_frame, files] {
        BringToFront(*frame);
        frame->DropFiles(files);
    });
}
