// SPDX-License-Identifier: MIT
#pragma once

#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>

/// The surroundings of one benchmark run: everything it writes, the program's own temporary
/// folder included, goes into one private folder that is removed at the end, and pictures and
/// fonts work without a display. Construct it first thing in main().
class BenchRun
{
public:
    BenchRun(int& argc, char** argv, const char* name);
    BenchRun(const BenchRun&) = delete;
    BenchRun& operator=(const BenchRun&) = delete;

    /// False when the private folder could not be made; main() then returns 1.
    bool ok() const { return m_scratch.isValid(); }
    QString Path() const { return m_scratch.path(); }
    QString FilePath(const QString& name) const { return m_scratch.filePath(name); }

private:
    static bool PrepareEnvironment(const QTemporaryDir& scratch);

    QTemporaryDir m_scratch;
    bool m_environment;
    QGuiApplication m_app;
};
