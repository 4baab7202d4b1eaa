// SPDX-License-Identifier: MIT
#include "tests/upload/WorkerTestSupport.h"

#include "imaging/TempFolder.h"
#include "tests/support/TempDir.h"
#include "upload/testhost/TestHost.h"

#include <QDir>

void RecordingListener::OnProgressRange(int count)
{
    calls << QStringLiteral("range %1").arg(count);
    range = count;
}

void RecordingListener::OnProgress(int position)
{
    calls << QStringLiteral("progress %1").arg(position);
    progress << position;
}

void RecordingListener::OnStatus(const QString& text)
{
    calls << QStringLiteral("status %1").arg(statuses.size() + 1);
    statuses << text;
    if (onStatus)
        onStatus(text);
}

void RecordingListener::OnResult(const UploadResult& result)
{
    calls << QStringLiteral("result");
    results << result;
}

void RecordingListener::OnEngineFailure()
{
    calls << QStringLiteral("engine failure");
}

void RecordingListener::OnFinished(bool done, const QString& text)
{
    calls << QStringLiteral("finished");
    ++finished;
    completed = done;
    summary = text;
}

void RecordingListener::OnFileFailed(int index, const QString& reason)
{
    calls << QStringLiteral("failed %1").arg(index);
    failures.append({index, reason});
}

UploadJob JobFor(const TestHost& host, int serverId, const QStringList& files)
{
    UploadJob job;
    job.files = files;
    job.main.Main.ServerID = ServiceId(serverId);
    for (QString& name : job.servers.Host)
        name = host.HostText();
    job.temp = TestTemp();
    return job;
}

QStringList TempFiles()
{
    QStringList files;
    const QDir dir(TestTemp()->Path());
    for (const QString& name : dir.entryList(QDir::Files)) // the lock file is hidden
        files << dir.filePath(name);
    return files;
}
