// SPDX-License-Identifier: MIT
#include "tests/support/TempDir.h"

#include "imaging/TempFolder.h"

#include <QDir>
#include <QFile>

TestDir::TestDir()
    : m_dir(QDir::tempPath() + QStringLiteral("/vellmar-test-XXXXXX"))
{ }

QString TestDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    WriteFile(path, bytes);
    return path;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TestDir::read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const std::shared_ptr<TempFolder>& TestTemp()
{
    static const auto temp = std::make_shared<TempFolder>();
    return temp;
}
