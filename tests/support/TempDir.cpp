// SPDX-License-Identifier: MIT
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

TestDir::TestDir()
    : m_dir(QDir::tempPath() + QStringLiteral("/vellmar-test-XXXXXX"))
{ }

QString TestDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QByteArray TestDir::read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
