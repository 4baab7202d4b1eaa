// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadWorker.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

/// Prints what a run of the worker reports: a line per file as it is done, unless the code is
/// printed at the end instead, and a message naming each file that failed.
class CliListener : public UploadListener
{
public:
    enum class Run { Upload, Prepare };

    CliListener(const QStringList& files, Run run, bool printLines, QTextStream& out, QTextStream& err);

    void OnProgressRange(int) override { }
    void OnProgress(int position) override { m_handled = position; }
    void OnStatus(const QString&) override { }
    void OnResult(const UploadResult& result) override;
    void OnEngineFailure() override { engineFailed = true; }
    void OnFinished(bool, const QString&) override { }
    void OnFileFailed(int index, const QString& reason) override;
    void OnLocationKept(const QStringList& names) override;
    void OnPrepared(int index, const QString& picture, const QString& thumb) override;

    /// Names every file the run did not come to, as stopped.
    void ReportUnhandled();

    QList<UploadResult> results;
    int failures = 0;
    bool engineFailed = false;

private:
    const QStringList& m_files;
    const Run m_run;
    const bool m_printLines;
    QTextStream& m_out;
    QTextStream& m_err;
    int m_handled = 0;
};
