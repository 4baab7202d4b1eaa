// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadJob.h"
#include "upload/UploadResult.h"

#include <QString>
#include <QStringList>
#include <atomic>

/// What the upload walk reports, on the thread that runs it. Listeners of a page pass the
/// calls on to the user-interface thread; the walk itself never touches a widget.
class UploadListener
{
public:
    virtual ~UploadListener();
    /// Once at the start, with the number of files; the position is then 0.
    virtual void OnProgressRange(int count) = 0;
    /// Files handled so far, after each file whether it went up or not.
    virtual void OnProgress(int position) = 0;
    /// "Uploading file i of N - "name"", before file i is prepared and sent.
    virtual void OnStatus(const QString& text) = 0;
    /// One uploaded file, in list order; failed files are missing.
    virtual void OnResult(const UploadResult& result) = 0;
    /// The service number names no engine; nothing is uploaded. OnFinished follows.
    virtual void OnEngineFailure() = 0;
    /// Always the last call. `completed`: every file was tried, and `summary` is the closing
    /// status text; otherwise (stop, abort, no engine) `summary` is empty.
    virtual void OnFinished(bool completed, const QString& summary) = 0;
    /// File `index` of the list was not uploaded, and why in a few words. Optional.
    virtual void OnFileFailed(int index, const QString& reason);
    /// Once a run, before OnFinished: the names of the files that went up as they are with a GPS
    /// position that could not be removed from them. Not called when there are none. Optional.
    virtual void OnLocationKept(const QStringList& names);
    /// Instead of OnResult when the job prepares into a folder: file `index` is prepared, and
    /// these are the picture and its thumbnail (empty when none) in the folder. Optional.
    virtual void OnPrepared(int index, const QString& picture, const QString& thumb);
};

/// Walks `job.files` once: prepares each file, sends it through the service of `job.profile` or
/// of `Main.ServerID`, sends the own thumbnail as a second upload when thumbnails are on and the
/// service's are not preferred, and reports each uploaded file; or, for a job that prepares into
/// a folder, puts each prepared file there. Runs on the calling thread.
/// `stop`: end the walk before the next file (the current file is still sent and recorded).
/// `abort`: also abort the running transfer; the file in flight gets no record.
/// Returns the number of files uploaded (or prepared into the folder).
int RunUpload(const UploadJob& job, UploadListener& listener, const std::atomic<bool>* stop,
    const std::atomic<bool>* abort);
