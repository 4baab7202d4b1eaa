// SPDX-License-Identifier: MIT
#include "UploadCli.h"

#include <QCoreApplication>
#include <csignal>

namespace {

std::atomic<bool> g_stop {false};

// The first Ctrl+C ends the running upload cleanly; a second one ends the program at once.
void OnStopSignal(int signal)
{
    g_stop = true;
    std::signal(signal, SIG_DFL);
}

} // namespace

int main(int argc, char** argv)
{
    // Uploading as it is needs no GUI; preparing pictures will, and will then want the
    // offscreen platform when there is no display.
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunUploadCli(QCoreApplication::arguments(), out, err, &g_stop);
}
