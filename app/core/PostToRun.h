// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <utility>

/// Runs `f(page)` on the user-interface thread, later, unless the page is gone by then or has
/// moved on from run `run` (a run it gave up on): a worker's late reports then fall away. The
/// page tells its current run by `CurrentRun()`.
template<class Page, class F> void PostToRun(const QPointer<Page>& page, int run, F&& f)
{
    QMetaObject::invokeMethod(
        qApp,
        [page, run, f = std::forward<F>(f)] {
            if (page && page->CurrentRun() == run)
                f(page.data());
        },
        Qt::QueuedConnection);
}
