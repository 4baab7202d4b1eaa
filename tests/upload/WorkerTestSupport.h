// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadWorker.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <utility>

class TestHost;

/// Keeps every report of a run, and the order of the calls as short words.
class RecordingListener : public UploadListener
{
public:
    void OnProgressRange(int count) override;
    void OnProgress(int position) override;
    void OnStatus(const QString& text) override;
    void OnResult(const UploadResult& result) override;
    void OnEngineFailure() override;
    void OnFinished(bool completed, const QString& summary) override;
    void OnFileFailed(int index, const QString& reason) override;

    QStringList calls; ///< "range 3", "progress 1", "status 2", "result", "failed 1", "finished"...
    int range = -1;
    QList<int> progress;
    QStringList statuses;
    QList<UploadResult> results;
    QList<std::pair<int, QString>> failures;
    int finished = 0;
    bool completed = false;
    QString summary;
    /// Runs inside OnStatus, on the worker's thread, for tests that act during a file.
    std::function<void(const QString&)> onStatus;
};

/// A job for service `serverId` at `host` with the defaults of the settings record.
UploadJob JobFor(const TestHost& host, int serverId, const QStringList& files);
/// The regular files now in the jobs' temporary folder.
QStringList TempFiles();
