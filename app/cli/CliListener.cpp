// SPDX-License-Identifier: MIT
#include "app/cli/CliListener.h"

#include "app/tool/CommandLine.h"

CliListener::CliListener(
    const QStringList& files, Run run, bool printLines, QTextStream& out, QTextStream& err)
    : m_files(files)
    , m_run(run)
    , m_printLines(printLines)
    , m_out(out)
    , m_err(err)
{ }

void CliListener::OnResult(const UploadResult& result)
{
    results.append(result);
    if (!m_printLines)
        return;
    m_out << result.ImageUrl << '\t' << result.ThumbUrl;
    if (!result.DeletionUrl.isEmpty())
        m_out << '\t' << result.DeletionUrl;
    m_out << '\n' << Qt::flush;
}

void CliListener::OnPrepared(int, const QString& picture, const QString& thumb)
{
    m_out << picture << '\t' << thumb << '\n' << Qt::flush;
}

void CliListener::OnFileFailed(int index, const QString& reason)
{
    ++failures;
    m_err << "vellmar-upload: " << Quoted(m_files.value(index))
          << (m_run == Run::Upload ? ": not uploaded: " : ": not prepared: ") << reason << '\n'
          << Qt::flush;
}

// Files that keep a GPS position the user asked to remove are named once, at the end.
void CliListener::OnLocationKept(const QStringList& names)
{
    m_err << "vellmar-upload: " << (m_run == Run::Upload ? "sent" : "prepared")
          << " as they are, with a location (GPS) that could not be removed: "
          << names.join(QStringLiteral(", ")) << '\n'
          << Qt::flush;
}

void CliListener::ReportUnhandled()
{
    for (int i = m_handled; i < m_files.size(); ++i)
        OnFileFailed(i, QStringLiteral("stopped"));
}
