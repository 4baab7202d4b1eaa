// SPDX-License-Identifier: MIT
#include "upload/UploadWorker.h"

#include "app/core/Files.h"
#include "imaging/Prepare.h"
#include "imaging/SaveToTemp.h"
#include "imaging/TempFolder.h"
#include "settings/Paths.h"
#include "upload/PrepareAhead.h"
#include "upload/UploadEngine.h"
#include "upload/UploadLog.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

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

int EffectiveThumbWidth(int thumbWidth)
{
    return thumbWidth < 1 || thumbWidth > kMaxThumbWidth ? kFallbackThumbWidth : thumbWidth;
}

// Puts `file` into `folder` as `base` with its extension, or as `base`_1, ... when that is
// taken: the name is claimed first, so no file there is ever replaced. A prepared file is moved
// over the claimed name; the user's own file, or one on another file system, is copied into it
// with its permissions. Empty when that fails.
QString Deliver(const QString& file, const QString& folder, const QString& base, bool keepSource)
{
    CreatedFile target = CreateUniqueFile(folder + u'/' + base, u'.' + QFileInfo(file).suffix().toLower());
    if (!target.ok())
        return {};
    if (!keepSource
        && ::rename(QFile::encodeName(file).constData(), QFile::encodeName(target.path).constData()) == 0)
        return target.path;
    QFile source(file);
    struct stat st
    { };
    bool copied = source.open(QIODevice::ReadOnly) && ::fstat(source.handle(), &st) == 0
        && ::fchmod(target.fd.get(), st.st_mode & 0777) == 0;
    for (QByteArray chunk; copied && !(chunk = source.read(1 << 20)).isEmpty();)
        copied = WriteAll(target.fd.get(), chunk);
    if (!target.fd.close() || !copied || source.error() != QFileDevice::NoError) {
        ::unlink(QFile::encodeName(target.path).constData());
        return {};
    }
    return target.path;
}

// A prepared picture and its thumbnail moved into `folder`, named after `source`.
PreparedImage PrepareInto(const QString& folder, const QString& source, const PreparedImage& prepared)
{
    PreparedImage kept = prepared;
    const QString base = QFileInfo(source).completeBaseName();
    kept.path = Deliver(prepared.path, folder, base, prepared.path == source);
    if (kept.path.isEmpty())
        kept.error = QStringLiteral("cannot write into %1").arg(folder);
    else if (!prepared.thumbPath.isEmpty())
        kept.thumbPath = Deliver(prepared.thumbPath, folder, base + QStringLiteral("-thumb"), false);
    return kept;
}

} // namespace

UploadListener::~UploadListener() = default;

UploadLog::~UploadLog() = default;

void UploadListener::OnFileFailed(int, const QString&) { }

void UploadListener::OnLocationKept(const QStringList&) { }

void UploadListener::OnPrepared(int, const QString&, const QString&) { }

int RunUpload(const UploadJob& job, UploadListener& listener, const std::atomic<bool>* stop,
    const std::atomic<bool>* abort)
{
    // The abort flag is the one the transfers poll; a stop alone lets the running file finish.
    CUploadEngineSelector selector(job.servers, {abort, job.timeouts, job.caFile});
    const ServiceId service = job.main.Main.ServerID;
    const bool prepareOnly = !job.prepareInto.isEmpty();
    if (job.profile) {
        selector.Select(*job.profile);
    } else if (!prepareOnly && !selector.Select(service)) {
        listener.OnEngineFailure();
        listener.OnFinished(false, QString());
        return 0;
    }

    const int count = int(job.files.size());
    listener.OnProgressRange(count);
    listener.OnProgress(0);

    const bool thumbs = job.main.Main.CreateThumbs;
    const int thumbWidth = EffectiveThumbWidth(job.main.Main.ThumbWidth);
    const bool serverThumbs = prepareOnly ? false
        : job.profile                     ? CUploadEngineSelector::HasServerThumbs(*job.profile)
                                          : CUploadEngineSelector::HasServerThumbs(service);
    const bool ownThumb = job.ownThumbs && thumbs && !(job.main.Thumbs.UserServerThumbs && serverThumbs);
    UploadLog* const log = job.main.History.Keep && !prepareOnly ? job.log.get() : nullptr;
    const QString serviceName = !log ? QString()
        : job.profile                ? job.profile->name
                                     : BuiltInProfile(service).name;

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
        if (prepareOnly) {
            const PreparedImage kept
                = prepared.ok() ? PrepareInto(job.prepareInto, source, prepared) : prepared;
            if (kept.ok()) {
                ++uploaded;
                if (kept.locationKept)
                    locationKept << FileNameOf(source);
                listener.OnPrepared(i, kept.path, kept.thumbPath);
            } else {
                listener.OnFileFailed(i, kept.error);
            }
            listener.OnProgress(i + 1);
            continue;
        }
        // The user's services set their own limits and say so in their answers.
        const QString refusal = !prepared.ok() ? prepared.error
            : job.profile                      ? QString()
                                               : OverLimit(prepared.path);
        if (!refusal.isEmpty()) {
            listener.OnFileFailed(i, refusal);
            listener.OnProgress(i + 1);
            continue;
        }

        const UploadOutcome sent = selector.Upload(prepared.path, thumbWidth);
        UploadResult result = sent.addresses;
        const bool ok = sent.ok() && !result.ImageUrl.isEmpty();
        if (ok && ownThumb && !prepared.thumbPath.isEmpty()) {
            // A failed thumbnail upload leaves the service's own thumbnail address in place; on
            // success its picture address is the thumbnail's.
            const UploadOutcome own = selector.Upload(prepared.thumbPath, kOwnThumbUploadSize);
            if (!own.addresses.ImageUrl.isEmpty())
                result.ThumbUrl = own.addresses.ImageUrl;
        }
        if (!thumbs)
            result.ThumbUrl.clear();
        // The picture is on the service even when a stop came during its thumbnail: its
        // addresses, the deletion address above all, are kept.
        if (ok && log)
            log->Record({QDateTime::currentDateTimeUtc(), source, prepared.path, serviceName, result});
        if (IsSet(abort)) {
            listener.OnFileFailed(i, QStringLiteral("stopped"));
        } else if (ok) {
            ++uploaded;
            if (prepared.locationKept)
                locationKept << FileNameOf(source);
            listener.OnResult(result);
        } else {
            listener.OnFileFailed(i, sent.error);
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
