// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <functional>

/// How much the process's peak resident memory grows while `work` runs, in bytes.
inline qint64 PeakMemoryGrowth(const std::function<void()>& work)
{
    auto field = [](const char* key) {
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(key))
                return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong()
                    * 1024;
        }
        return qint64(0);
    };
    const qint64 before = field("VmRSS:");
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // the peak starts again from what is resident now
    clear.close();
    work();
    return field("VmHWM:") - before;
}
