// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "upload/HttpClient.h"
#include "upload/profiles/ServiceProfile.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class TempFolder;
class UploadLog;
struct ServiceCatalog;

/// The largest file the program's own services are sent: the limit they set.
inline constexpr qint64 kMaxUploadBytes = 5 * 1024 * 1024;

/// One run: the files in list order and the copies of the settings it decides by.
struct UploadJob
{
    QStringList files;
    MainPart main;
    AppearancePart appearance;
    ServersPart servers;
    /// Where prepared pictures and thumbnails go; shared, so a run given up by its page can
    /// finish with it on its own.
    std::shared_ptr<TempFolder> temp;
    HttpTimeouts timeouts;
    /// A service described by the user; when set, it is used instead of `Main.ServerID`.
    std::optional<ServiceProfile> profile;
    /// Certificate authorities trusted for https instead of the system's; empty: the system's.
    QString caFile;
    /// How many files are prepared at once, ahead of the upload; 0: one per core.
    int jobs = 0;
    /// False: no own thumbnail is ever made; the thumbnail address is the service's or none.
    bool ownThumbs = true;
    /// A folder: each file is prepared into it under a name of its own, never over a file there,
    /// and nothing is sent. No service is used.
    QString prepareInto;
    /// Gets every file that went up, while `History.Keep` is on; none: nothing is kept.
    std::shared_ptr<UploadLog> log;
};

/// A job and, when the service the settings choose cannot be used, why not.
struct MadeUploadJob
{
    UploadJob job;
    QString error;
};

/// The run over `files` that `settings` describe: copies of their parts, sending to the service
/// they choose (a session's profile file, a service by name, or the program's own of
/// `Main.ServerID`), as the upload page and the command line both start it.
MadeUploadJob MakeUploadJob(const Settings& settings, const QStringList& files,
    std::shared_ptr<TempFolder> temp, const ServiceCatalog& catalog);
