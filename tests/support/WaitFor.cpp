// SPDX-License-Identifier: MIT
#include "tests/support/WaitFor.h"

#include <QCoreApplication>
#include <QElapsedTimer>

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
