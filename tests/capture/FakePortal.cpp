// SPDX-License-Identifier: MIT
// A stand-in for the desktop portal's screenshot service, for the tests' own session bus.
// Arguments: the picture it "takes" of the whole screen, then the one of the window the user
// picks in the interactive mode; an empty argument means the user cancels in that mode.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>

class CFakeScreenshot : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    CFakeScreenshot(QString wholeScreen, QString window)
        : m_wholeScreen(std::move(wholeScreen))
        , m_window(std::move(window))
    { }

public slots:
    QDBusObjectPath Screenshot(const QString& parentWindow, const QVariantMap& options)
    {
        Q_UNUSED(parentWindow);
        // The request path the portal documents: the caller's unique name without ':' and with
        // '_' for '.', then the caller's token.
        const QString sender = message().service().mid(1).replace(u'.', u'_');
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        const QString file = options.value(QStringLiteral("interactive")).toBool() ? m_window : m_wholeScreen;
        // The answer comes after the reply, as from a portal that shows its window first.
        QTimer::singleShot(20, this, [path, file] {
            QDBusMessage response = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            QVariantMap results;
            if (!file.isEmpty())
                results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
            response << uint(file.isEmpty() ? 1 : 0) << results;
            QDBusConnection::sessionBus().send(response);
        });
        return QDBusObjectPath(path);
    }

private:
    QString m_wholeScreen;
    QString m_window;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fputs("usage: fake_portal WHOLE_SCREEN.png WINDOW.png\n", stderr);
        return 2;
    }
    CFakeScreenshot screenshot(args[1], args[2]);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &screenshot, QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake_portal: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return QCoreApplication::exec();
}

#include "FakePortal.moc"
