// SPDX-License-Identifier: MIT
#include "bench/support/Spawn.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// A child started with posix_spawn shares our memory until it runs its program, and the kernel
// counts our high-water mark of that moment as the child's peak. Handing freed memory back and
// setting the mark to what is resident now keeps our own generated pictures out of its figure.
void LowerHighWaterMark()
{
    malloc_trim(0);
    QFile marks(QStringLiteral("/proc/self/clear_refs"));
    if (marks.open(QIODevice::WriteOnly))
        marks.write("5");
}

} // namespace

long OwnResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

Measure Spawn(const QStringList& command, const QString& stdoutPath)
{
    LowerHighWaterMark();
    Measure measure;
    if (command.isEmpty()) {
        measure.ok = false;
        return measure;
    }
    std::vector<QByteArray> bytes;
    for (const QString& part : command)
        bytes.push_back(part.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& part : bytes)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    const QByteArray out = stdoutPath.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(stdoutPath);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        measure.ok = false;
        return measure;
    }
    int status = 0;
    rusage usage {};
    // Linux reports the largest of the child and its own reaped children here.
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    measure.seconds = clock.nsecsElapsed() / 1e9;
    measure.peakKiB = usage.ru_maxrss;
    measure.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return measure;
}

Measure SpawnEach(const std::vector<QStringList>& commands)
{
    Measure total;
    for (const QStringList& command : commands) {
        const Measure one = Spawn(command);
        total.seconds += one.seconds;
        total.peakKiB = std::max(total.peakKiB, one.peakKiB);
        total.ok = total.ok && one.ok;
    }
    return total;
}
