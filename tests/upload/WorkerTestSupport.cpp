// SPDX-License-Identifier: MIT
#include "WorkerTestSupport.h"

#include "HostedServices.h"
#include "TempFolder.h"
#include "TestHost.h"
#include "UploadTestSupport.h"

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

QList<SentUpload> SentUploads(const TestHost& host)
{
    // The size field of each service's form, by the form's file field.
    const std::pair<QByteArray, QByteArray> sizeFields[]
        = {{"pfile", "preview_size"}, {"F", "VM"}, {"userfile", "thumb_resize"}};
    QList<SentUpload> uploads;
    for (const QByteArray& raw : host.Requests()) {
        if (!raw.startsWith("POST "))
            continue;
        SentUpload upload;
        const QList<FormPart> parts = ParseMultipart(BodyOf(raw), CapturedBoundary(raw));
        QByteArray sizeName;
        for (const FormPart& part : parts) {
            if (!part.isFile)
                continue;
            upload.fileName = part.fileName;
            upload.data = part.data;
            for (const auto& [fileField, sizeField] : sizeFields) {
                if (part.name == fileField)
                    sizeName = sizeField;
            }
        }
        for (const FormPart& part : parts) {
            if (!sizeName.isEmpty() && part.name == sizeName)
                upload.sizeField = part.data;
        }
        uploads.append(upload);
    }
    return uploads;
}

UploadJob JobFor(const TestHost& host, int serverId, const QStringList& files)
{
    UploadJob job;
    job.files = files;
    job.main.Main.ServerID = serverId;
    for (QString& name : job.servers.Host)
        name = host.HostText();
    return job;
}

QStringList TempFiles()
{
    QStringList files;
    const QDir dir(TempFolderPath());
    for (const QString& name : dir.entryList(QDir::Files))
        files << dir.filePath(name);
    return files;
}
