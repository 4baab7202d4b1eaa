// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

/// The wall time and peak memory of a program run to its end.
struct Measure
{
    double seconds = 0;
    /// The peak resident size of the largest process among the program and the children it
    /// waited for, in KiB.
    long peakKiB = 0;
    /// It started and exited with status 0.
    bool ok = true;
};

/// Runs `command` (the program is looked up on the PATH) to its end with standard error thrown
/// away and standard output into `stdoutPath` (thrown away when empty). The peak memory comes
/// from wait4 and is never below what this process has resident at the start (OwnResidentKiB).
Measure Spawn(const QStringList& command, const QString& stdoutPath = {});

/// What this process has resident now, in KiB: no program it spawns is reported below it.
long OwnResidentKiB();

/// Runs the commands one after another: their times add up, the peak is the largest.
Measure SpawnEach(const std::vector<QStringList>& commands);
