// SPDX-License-Identifier: MIT
// Runs one screenshot on an X server for the capture tests and prints what happened as
// key=value lines. The caller sets DISPLAY, QT_QPA_PLATFORM=xcb and TMPDIR.
//
// Modes: "screen" (whole screen through TakeScreenshot), "window" and "maximised" (the
// coloured window is named in _NET_ACTIVE_WINDOW), "unmapped" (a window that is not on the
// screen is named), "noproperty" (_NET_ACTIVE_WINDOW is removed).
#include "capture/CScreenshotDlg.h"
#include "imaging/TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace {

struct ConnectionDeleter
{
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

// Plays the window manager's part: publishes `window` as the active one, or removes the
// property when `window` is 0.
bool PublishActiveWindow(xcb_window_t window)
{
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> c(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(c.get()))
        return false;
    xcb_ewmh_connection_t ewmh {};
    if (!xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(c.get(), &ewmh), nullptr))
        return false;
    const xcb_window_t root = ewmh.screens[screenNumber]->root;
    xcb_void_cookie_t cookie = window ? xcb_ewmh_set_active_window_checked(&ewmh, screenNumber, window)
                                      : xcb_delete_property_checked(c.get(), root, ewmh._NET_ACTIVE_WINDOW);
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(c.get(), cookie), &std::free);
    xcb_ewmh_connection_wipe(&ewmh);
    return !error;
}

void FillWith(QWidget& w, const QColor& colour)
{
    QPalette palette = w.palette();
    palette.setColor(QPalette::Window, colour);
    w.setPalette(palette);
    w.setAutoFillBackground(true);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <mode> <ini>\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLatin1(argv[1]);
    const QString ini = QString::fromLocal8Bit(argv[2]);

    // The frame is green and sits where the dialog opens: neither may be in the picture.
    QWidget frame;
    FillWith(frame, Qt::green);
    frame.setGeometry(600, 400, 200, 150);
    auto* page = new QWidget(&frame);
    page->resize(frame.size());
    frame.show();

    QWidget target;
    FillWith(target, Qt::red);
    target.setGeometry(
        mode == QLatin1String("maximised") ? QRect(-8, -8, 1040, 784) : QRect(100, 80, 320, 240));
    target.show();
    if (!QTest::qWaitForWindowExposed(&frame) || !QTest::qWaitForWindowExposed(&target)) {
        std::fprintf(stderr, "windows not exposed\n");
        return 3;
    }

    QWidget offScreen;
    xcb_window_t active = 0;
    if (mode == QLatin1String("window") || mode == QLatin1String("maximised"))
        active = xcb_window_t(target.winId());
    else if (mode == QLatin1String("unmapped"))
        active = xcb_window_t(offScreen.winId()); // created but never shown
    if (mode != QLatin1String("screen") && !PublishActiveWindow(active)) {
        std::fprintf(stderr, "cannot set _NET_ACTIVE_WINDOW\n");
        return 4;
    }

    QString message;
    QString caption;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<CScreenshotDlg*>(modal)) {
            if (dlg->isVisible())
                dlg->findChild<QPushButton*>(QStringLiteral("1"))->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            message = box->text();
            caption = box->windowTitle();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QStringLiteral("ОК"))
                    button->click();
        }
    });
    answer.start(50);

    // The test reads the picture after this process has ended, so its folder is never emptied.
    static TempFolder* const kept = new TempFolder;
    TempFolder& temp = *kept;
    int result = 0;
    QString path;
    bool fellBack = false;
    if (mode == QLatin1String("screen")) {
        path = TakeScreenshot(&frame, page, ini, temp);
        result = path.isEmpty() ? 0 : 1;
    } else {
        CScreenshotDlg dlg(&frame, page, ini, temp);
        result = dlg.exec();
        path = dlg.ResultPath();
        fellBack = dlg.FellBackToWholeScreen();
    }
    answer.stop();

    std::printf("result=%d\npath=%s\nfellback=%d\nframevisible=%d\nmessage=%s\ncaption=%s\n", result,
        qPrintable(path), fellBack ? 1 : 0, frame.isVisible() ? 1 : 0, qPrintable(message),
        qPrintable(caption));
    return 0;
}
