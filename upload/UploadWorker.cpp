// SPDX-License-Identifier: MIT
#include "upload/UploadWorker.h"

#include "imaging/Prepare.h"
#include "imaging/SaveToTemp.h"
#include "imaging/TempFolder.h"
#include "settings/Paths.h"
#include "upload/PrepareAhead.h"
#include "upload/UploadEngine.h"

#include <QFileInfo>

namespace {

constexpr int kFallbackThumbWidth = 150;
constexpr int kMaxThumbWidth = 1024;
// The own thumbnail is sent as a picture of its own; the size asked for its thumbnail is moot.
constexpr int kOwnThumbUploadSize = 160;

bool IsSet(const std::atomic<bool>* flag)
{
    return flag && flag->load();
}

// The limit applies to what is sent: a large photo is usually bounded to a fraction of it.
QString OverLimit(const QString& path)
{
    const qint64 size = FileSizeOf(path);
    if (size <= kMaxUploadBytes)
        return {};
    return QStringLiteral("the file to send is %1 bytes, more than the %2 bytes the services take")
        .arg(size)
        .arg(kMaxUploadBytes);
}

} // namespace

UploadListener::~UploadListener() = default;

void UploadListener::OnFileFailed(int, const QString&) { }

void UploadListener::OnLocationKept(const QStringList&) { }

int EffectiveThumbWidth(int thumbWidth)
{
    return thumbWidth < 1 || thumbWidth > kMaxThumbWidth ? kFallbackThumbWidth : thumbWidth;
}

int RunUpload(const UploadJob& job, UploadListener& listener, const std::atomic<bool>* stop,
    const std::atomic<bool>* abort)
{
    // The abort flag is the one the transfers poll; a stop alone lets the running file finish.
    CUploadEngineSelector selector(job.servers, {abort, job.timeouts, job.caFile});
    const ServiceId service = job.main.Main.ServerID;
    if (job.profile) {
        selector.Select(*job.profile);
    } else if (!selector.Select(service)) {
        listener.OnEngineFailure();
        listener.OnFinished(false, QString());
        return 0;
    }

    const int count = int(job.files.size());
    listener.OnProgressRange(count);
    listener.OnProgress(0);

    const bool thumbs = job.main.Main.CreateThumbs;
    const int thumbWidth = EffectiveThumbWidth(job.main.Main.ThumbWidth);
    const bool serverThumbs = job.profile ? CUploadEngineSelector::HasServerThumbs(*job.profile)
                                          : CUploadEngineSelector::HasServerThumbs(service);
    const bool ownThumb = job.ownThumbs && thumbs && !(job.main.Thumbs.UserServerThumbs && serverThumbs);

    // The next files are prepared while this one uploads; uploads stay one at a time, in order.
    CPrepareAhead ahead(
        job.files, job.jobs > 0 ? job.jobs : CPrepareAhead::DefaultJobs(),
        [&](const QString& source) {
            return PrepareImage(*job.temp, source, ownThumb ? thumbWidth : 0, job.main, job.appearance);
        },
        stop, abort);
    int uploaded = 0;
    QStringList locationKept;
    const auto finish = [&](bool completed, const QString& summary) {
        if (!locationKept.isEmpty())
            listener.OnLocationKept(locationKept);
        listener.OnFinished(completed, summary);
    };
    for (int i = 0; i < count; ++i) {
        if (IsSet(stop) || IsSet(abort)) {
            finish(false, QString());
            return uploaded;
        }
        const QString& source = job.files[i];
        // Shown before the preparation, which takes a moment for a large picture.
        listener.OnStatus(
            QStringLiteral("Uploading file %1 of %2 - \"%3\"").arg(i + 1).arg(count).arg(FileNameOf(source)));

        // Fresh buffers per file, so an address of the previous file can never stick to this one.
        const PreparedImage prepared = ahead.Take(i);
        // The user's services set their own limits and say so in their answers.
        const QString refusal
            = prepared.ok() ? (job.profile ? QString() : OverLimit(prepared.path)) : prepared.error;
        if (!refusal.isEmpty()) {
            listener.OnFileFailed(i, refusal);
            listener.OnProgress(i + 1);
            continue;
        }

        UploadResult result;
        QString thumbUrl;
        const bool sent = selector.Upload(prepared.path, &result.ImageUrl, &thumbUrl, thumbWidth);
        result.DeletionUrl = sent ? selector.Engine->DeletionUrl() : QString();
        if (sent && !result.ImageUrl.isEmpty() && ownThumb && !prepared.thumbPath.isEmpty()) {
            // A failed thumbnail upload leaves the service's own thumbnail address in place.
            QString ownThumbUrl;
            selector.Upload(prepared.thumbPath, &ownThumbUrl, nullptr, kOwnThumbUploadSize);
            if (!ownThumbUrl.isEmpty())
                thumbUrl = ownThumbUrl;
        }
        if (IsSet(abort)) {
            listener.OnFileFailed(i, QStringLiteral("stopped"));
        } else if (sent && !result.ImageUrl.isEmpty()) {
            ++uploaded;
            if (prepared.locationKept)
                locationKept << FileNameOf(source);
            if (thumbs)
                result.ThumbUrl = thumbUrl;
            listener.OnResult(result);
        } else {
            listener.OnFileFailed(i, selector.Engine->LastError());
        }
        listener.OnProgress(i + 1);
    }

    finish(true,
        QStringLiteral("Закачка завершена. Всего %1 из %2 файлов было загружено. %3 ошибок.")
            .arg(uploaded)
            .arg(count)
            .arg(count - uploaded));
    return uploaded;
}
