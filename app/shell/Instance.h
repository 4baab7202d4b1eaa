// SPDX-License-Identifier: MIT
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

class CWizardDlg;
class QLocalSocket;

/// The local socket through which a later start hands its files to the window already open: one
/// per user, in the user's runtime folder where there is one.
QString InstanceSocketName();

/// File names as given on a command line, made absolute against the current folder, so that
/// another process can open them; file:// addresses are taken as well.
QStringList GivenFiles(const QStringList& arguments);

enum class HandOver {
    NoWindow, ///< no program of this user is running: open a window of its own
    Done, ///< the running window has the files
    Failed, ///< a program is running but did not take them
};

/// Sends `files` (possibly none: the window only comes to the front) to the program listening on
/// `name`. Blocks for a few seconds at most.
HandOver HandToRunningWindow(const QStringList& files, const QString& name);

/// Listens on `name` for later starts of the program: their files reach `frame` as a drop does,
/// and the frame comes to the front.
class CInstanceServer : public QObject
{
    Q_OBJECT
public:
    CInstanceServer(CWizardDlg& frame, const QString& name);

    bool IsListening() const { return m_server.isListening(); }

private:
    void Read(QLocalSocket& socket);

    CWizardDlg& m_frame;
    QLocalServer m_server;
};
