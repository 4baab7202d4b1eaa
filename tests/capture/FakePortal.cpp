// SPDX-License-Identifier: MIT
// The desktop portal's screenshot service, for the tests' own session bus. Arguments: the picture
// of the whole screen, then the one of the window picked in the interactive mode (empty: the user
// cancels there).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QUrl>

class CFakeScreenshot : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options)
    {
        // The request path is the caller's unique name without ':' and with '_' for '.', then its token.
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(message().service().mid(1).replace(u'.', u'_'),
                                     options.value(QStringLiteral("handle_token")).toString());
        const QString file
            = QCoreApplication::arguments().value(options.value("interactive").toBool() ? 2 : 1);
        // Answered after the reply, as by a portal that shows a window first.
        QTimer::singleShot(20, this, [path, file] {
            QDBusMessage response = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << uint(file.isEmpty())
                     << QVariantMap {{QStringLiteral("uri"), QUrl::fromLocalFile(file).toString()}};
            QDBusConnection::sessionBus().send(response);
        });
        return QDBusObjectPath(path);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CFakeScreenshot screenshot;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &screenshot, QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")))
        return 1;
    return QCoreApplication::exec();
}

#include "FakePortal.moc"
