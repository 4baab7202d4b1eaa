// SPDX-License-Identifier: MIT
#include "capture/platform/CPortalScreenGrabber.h"

#include "imaging/Decode.h"

#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <utility>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// Errors that mean nobody answers for the portal at all (nothing installed or running).
bool MeansNoPortal(QDBusError::ErrorType type)
{
    switch (type) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::Disconnected:
        return true;
    default:
        return false;
    }
}

CaptureOutcome Failure(const QString& why)
{
    CaptureOutcome outcome;
    outcome.reason = QStringLiteral("Снимок экрана не сделан: ") + why;
    return outcome;
}

CaptureOutcome NoPortal(const QString& detail)
{
    return Failure(QStringLiteral("в сеансе Wayland снимки экрана делает служба xdg-desktop-portal, "
                                  "а она не найдена (%1). Установите пакет xdg-desktop-portal и портал "
                                  "своего рабочего стола, например xdg-desktop-portal-gnome или "
                                  "xdg-desktop-portal-kde.")
                       .arg(detail));
}

} // namespace

/// The request object the portal answers on; only its one signal is of interest.
class CPortalRequest : public QDBusAbstractInterface
{
    Q_OBJECT
public:
    // No service name: the answer comes from whichever process owns the portal by then (it may
    // be started by this very call), and the path already names this connection and request.
    CPortalRequest(const QString& path, const QDBusConnection& bus)
        : QDBusAbstractInterface(QString(), path, "org.freedesktop.portal.Request", bus, nullptr)
    { }

signals:
    void Response(uint response, const QVariantMap& results);
};

CPortalScreenGrabber::CPortalScreenGrabber(std::chrono::milliseconds answerWithin)
    : m_answerWithin(answerWithin)
{
    m_timeout.setSingleShot(true);
    QObject::connect(&m_timeout, &QTimer::timeout, &m_life, [this] { OnTimeout(); });
}

CPortalScreenGrabber::~CPortalScreenGrabber()
{
    // A portal window still open for a request nobody waits for any more is closed.
    if (m_done)
        CloseRequest();
}

void CPortalScreenGrabber::Capture(bool wholeScreen, Done done)
{
    if (m_done)
        return done({}); // one capture at a time
    m_done = std::move(done);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Finish(NoPortal(QStringLiteral("нет сеансовой шины D-Bus")));

    // The portal answers on a request object whose path it derives from this connection's
    // name and the token; listening there before asking cannot miss a quick answer.
    static int requests = 0;
    const QString token = QStringLiteral("vellmar%1").arg(++requests);
    const QString sender = bus.baseService().mid(1).replace(u'.', u'_');
    Listen(kPortalPath + QStringLiteral("/request/") + sender + u'/' + token);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    const QVariantMap options {
        {QStringLiteral("handle_token"), token},
        {QStringLiteral("modal"), true},
        {QStringLiteral("interactive"), !wholeScreen},
    };
    call << QString() << options;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), &m_life);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, &m_life, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            OnCallFinished(*w);
        });
    m_timeout.start(m_answerWithin);
}

void CPortalScreenGrabber::Listen(const QString& requestPath)
{
    // Never called from the old request's own signal, so it can go at once.
    m_request = std::make_unique<CPortalRequest>(requestPath, QDBusConnection::sessionBus());
    QObject::connect(m_request.get(), &CPortalRequest::Response, &m_life,
        [this](uint response, const QVariantMap& results) { OnResponse(response, results); });
}

void CPortalScreenGrabber::OnCallFinished(QDBusPendingCallWatcher& call)
{
    if (!m_done)
        return;
    const QDBusPendingReply<QDBusObjectPath> reply = call;
    if (reply.isError()) {
        const QDBusError error = reply.error();
        const QString detail = error.name() + QStringLiteral(": ") + error.message();
        return Finish(MeansNoPortal(error.type())
                ? NoPortal(detail)
                : Failure(QStringLiteral("служба снимков экрана ответила ошибкой (%1).").arg(detail)));
    }
    // Portals older than the handle token choose the path themselves.
    if (const QString handle = reply.value().path(); m_request && handle != m_request->path())
        Listen(handle);
}

void CPortalScreenGrabber::OnResponse(uint response, const QVariantMap& results)
{
    if (!m_done)
        return;
    if (response == 1) {
        CaptureOutcome cancelled;
        cancelled.status = CaptureOutcome::Cancelled;
        return Finish(cancelled);
    }
    if (response != 0)
        return Finish(Failure(QStringLiteral("служба снимков экрана не смогла его сделать.")));
    const QString uri = results.value(QStringLiteral("uri")).toString();
    const QUrl url(uri);
    if (!url.isLocalFile())
        return Finish(Failure(QStringLiteral("служба снимков экрана не дала файла (\"%1\").").arg(uri)));
    // The portal's file is the user's (the desktop may keep it among their pictures): it is
    // read, not moved, and the picture goes the way of every screenshot.
    DecodedImage decoded = DecodeImage(url.toLocalFile());
    if (decoded.isNull()) {
        return Finish(
            Failure(QStringLiteral("файл снимка %1 не читается: %2.").arg(url.toLocalFile(), decoded.error)));
    }
    CaptureOutcome taken;
    taken.status = CaptureOutcome::Taken;
    taken.image = std::move(decoded.image);
    Finish(taken);
}

void CPortalScreenGrabber::OnTimeout()
{
    if (!m_done)
        return;
    CloseRequest();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_answerWithin).count();
    Finish(Failure(
        QStringLiteral("служба снимков экрана не ответила за %1 с.").arg(std::max<qint64>(seconds, 1))));
}

void CPortalScreenGrabber::CloseRequest()
{
    if (!m_request)
        return;
    QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(kPortalService, m_request->path(),
        QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
}

void CPortalScreenGrabber::Finish(const CaptureOutcome& outcome)
{
    // The request stays until the next capture or the grabber's end: Finish may run inside its
    // own signal. Later answers find no one waiting.
    m_timeout.stop();
    const Done done = std::exchange(m_done, nullptr);
    done(outcome);
}

#include "CPortalScreenGrabber.moc"
