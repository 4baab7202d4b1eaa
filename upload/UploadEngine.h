// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "upload/HttpClient.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

/// Sends one picture file to one hosting service and returns the two addresses cut out of the
/// service's answer. One subclass per service; each call is a fresh exchange.
class CUploadEngine
{
public:
    virtual ~CUploadEngine();

    /// Thumbnail size in pixels asked of the service; set by the caller before every call.
    int ThumbSize = 0;

    /// Uploads the file at `path`. Either output may be null; each receives at most 255
    /// characters. True when the answer held both addresses; on false the first one found may
    /// already be written.
    virtual bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) = 0;

    /// Why the last call failed, in a few words; empty after a success.
    QString LastError() const { return m_lastError; }

protected:
    /// What tells one service's exchange from another's.
    struct Service
    {
        QByteArray userAgent;
        QByteArray path; ///< request path of the POST
        QList<QByteArray> headers; ///< lines before the Content-Type line
        bool followRedirects = true;
        bool answerViaRefresh = false; ///< the page comes from the address in the Refresh header
        QByteArray startTag = "[IMG]";
        QByteArray endTag = "[/IMG]";
        bool firstIsThumb = false; ///< which tagged address is the picture
    };
    /// Lays out the form head, the file and the closing delimiter of the body.
    using BodyWriter = std::function<void(HttpBody& body, const QByteArray& boundary,
        const QByteArray& fileName, const QString& path, qint64 size)>;

    /// `host` is "name" or "name:port"; `stop`, when given, aborts a running exchange.
    CUploadEngine(const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts);

    const QString& Host() const { return m_host; }
    /// "Referer: http://host/".
    QByteArray RefererLine() const;
    bool Exchange(const QString& path, const Service& service, const BodyWriter& writeBody, QString* imageUrl,
        QString* thumbUrl);

private:
    QByteArray FetchAnswer(
        const Service& service, const HttpBody& body, const QByteArray& boundary, long& status);

    QString m_host;
    const std::atomic<bool>* m_stop;
    HttpTimeouts m_timeouts;
    QString m_lastError;
};

/// Creates the engine of one service for the worker and hands it the thumbnail size per call.
class CUploadEngineSelector
{
public:
    explicit CUploadEngineSelector(
        const ServersPart& servers, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});

    int ServerId = 0;
    std::unique_ptr<CUploadEngine> Engine;

    /// Replaces the engine with the one of service 0..4; any other number leaves none and fails.
    bool Select(int serverId);
    /// False at once without an engine; otherwise sets ThumbSize and calls UploadFile.
    bool Upload(const QString& path, QString* imageUrl, QString* thumbUrl, int thumbSize);
    /// True for the services that make their own thumbnails: all five.
    static bool HasServerThumbs(int serverId);

private:
    ServersPart m_servers;
    const std::atomic<bool>* m_stop;
    HttpTimeouts m_timeouts;
};

/// The engine of service `serverId` talking to `host`, or none for an unknown number.
std::unique_ptr<CUploadEngine> CreateUploadEngine(
    int serverId, const QString& host, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});

/// An address as a service answered it, made fit for output: control characters (a line break
/// could forge an extra result line) are percent-encoded, and only http and https addresses
/// count; anything else (javascript:, data:, ...) gives an empty text.
QString WebAddress(const QString& address);
