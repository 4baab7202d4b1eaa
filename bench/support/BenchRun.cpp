// SPDX-License-Identifier: MIT
#include "bench/support/BenchRun.h"

#include "settings/platform/FontFaces.h"

#include <QDir>

BenchRun::BenchRun(int& argc, char** argv, const char* name)
    : m_scratch(QDir::tempPath() + QStringLiteral("/vellmar-%1-XXXXXX").arg(QLatin1String(name)))
    , m_environment(PrepareEnvironment(m_scratch))
    , m_app(argc, argv)
{
    EnsureWindowsFaces();
}

// Runs before the application object exists: the platform is chosen when it is made.
bool BenchRun::PrepareEnvironment(const QTemporaryDir& scratch)
{
    if (scratch.isValid())
        qputenv("TMPDIR", QFile::encodeName(scratch.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return scratch.isValid();
}
