// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class TempFolder;

/// A private folder for one test, removed afterwards; never the user's home or temp folder of the program.
class TestDir
{
public:
    TestDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    /// Writes `bytes` to `name` inside the folder and returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const;
    static QByteArray read(const QString& path);

private:
    QTemporaryDir m_dir;
};

/// Writes `bytes` to `path`, replacing the file.
void WriteFile(const QString& path, const QByteArray& bytes);

/// The program's temporary folder for one test program, shared by its tests.
const std::shared_ptr<TempFolder>& TestTemp();
