// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "upload/HttpClient.h"
#include "upload/profiles/ServiceProfile.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

/// Sends one picture file to one hosting service and returns the addresses cut out of the
/// service's answer. Each call is a fresh exchange.
class CUploadEngine
{
public:
    virtual ~CUploadEngine();

    /// Thumbnail size in pixels asked of the service; set by the caller before every call.
    int ThumbSize = 0;

    /// Uploads the file at `path`. Either output may be null. True when the answer held the
    /// addresses the service promises; on false the first one found may already be written.
    virtual bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) = 0;

    /// Why the last call failed, in a few words; empty after a success.
    QString LastError() const { return m_lastError; }
    /// Where the picture of the last successful call can be deleted; empty when the service
    /// gives no such address.
    QString DeletionUrl() const { return m_deletionUrl; }

protected:
    CUploadEngine() = default;

    QString m_lastError;
    QString m_deletionUrl;
};

/// How an engine reaches the network: its stop flag (aborts a running exchange), its time
/// limits and the certificate authorities it trusts beyond the system's.
struct EngineContext
{
    const std::atomic<bool>* stop = nullptr;
    HttpTimeouts timeouts;
    QString caFile;
};

/// The one engine: sends whatever a service profile describes. The program's five services are
/// profiles of it, and so is every service a user describes.
class CProfileEngine : public CUploadEngine
{
public:
    /// `variables` are the names the profile's values may use; the program's own services use
    /// {host}. An `ownService` is one of the program's five: both addresses must come back, they
    /// are taken as the answer gives them, and the status alone decides nothing.
    CProfileEngine(ServiceProfile profile, QMap<QString, QString> variables, EngineContext context,
        bool ownService = false);

    bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) override;

    const ServiceProfile& Profile() const { return m_profile; }
    /// Connections opened so far: the calls of one engine share them.
    int ConnectionsOpened() const;

private:
    struct Answer;
    Answer Send(const QString& path, const AnswerContext& request);

    ServiceProfile m_profile;
    QMap<QString, QString> m_variables;
    EngineContext m_context;
    bool m_ownService;
    std::unique_ptr<HttpClient> m_client; ///< kept across calls, with its connections
};

/// The profile of one of the program's five services; its values use {host} and {thumbsize}.
const ServiceProfile& BuiltInProfile(ServiceId service);

/// Creates the engine of one service for the worker and hands it the thumbnail size per call.
class CUploadEngineSelector
{
public:
    explicit CUploadEngineSelector(const ServersPart& servers, EngineContext context = {});

    std::unique_ptr<CUploadEngine> Engine;

    /// Replaces the engine with the one of `service`; a number no service has leaves none and fails.
    bool Select(ServiceId service);
    /// Replaces the engine with one for a user's service.
    void Select(const ServiceProfile& profile);
    /// False at once without an engine; otherwise sets ThumbSize and calls UploadFile.
    bool Upload(const QString& path, QString* imageUrl, QString* thumbUrl, int thumbSize);
    /// True for the services that make their own thumbnails: all five of the program's.
    static bool HasServerThumbs(ServiceId service);
    /// True when the profile's answer names a thumbnail.
    static bool HasServerThumbs(const ServiceProfile& profile);

private:
    ServersPart m_servers;
    EngineContext m_context;
};

/// The engine of `service` talking to `host`, or none for a number no service has.
std::unique_ptr<CUploadEngine> CreateUploadEngine(
    ServiceId service, const QString& host, EngineContext context = {});

/// An address as a service answered it, made fit for output: control characters (a line break
/// could forge an extra result line) are percent-encoded, and only http and https addresses
/// count; anything else (javascript:, data:, ...) gives an empty text.
QString WebAddress(const QString& address);
