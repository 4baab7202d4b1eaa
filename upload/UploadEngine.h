// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "upload/HttpClient.h"
#include "upload/UploadResult.h"
#include "upload/profiles/ServiceProfile.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

/// What one upload gave: the addresses cut out of the service's answer, or why there are none.
struct UploadOutcome
{
    /// On failure, what was found before it failed: the first address of the answer may be there.
    UploadResult addresses;
    QString error; ///< why it failed, in a few words; empty on success

    bool ok() const { return error.isEmpty(); }
};

/// Sends one picture file to one hosting service and returns the addresses cut out of the
/// service's answer. Each call is a fresh exchange.
class CUploadEngine
{
public:
    virtual ~CUploadEngine();

    /// Uploads the file at `path`, asking the service for thumbnails `thumbSize` pixels wide.
    /// Succeeds when the answer held the addresses the service promises. (The original engine
    /// took the size in `ThumbSize` before the call and left the addresses in two buffers and
    /// the reason in `LastError`; here they are the call's value.)
    virtual UploadOutcome UploadFile(const QString& path, int thumbSize) = 0;

protected:
    CUploadEngine() = default;
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

    UploadOutcome UploadFile(const QString& path, int thumbSize) override;

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
    /// The engine's UploadFile; a failure at once without an engine.
    UploadOutcome Upload(const QString& path, int thumbSize);
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
