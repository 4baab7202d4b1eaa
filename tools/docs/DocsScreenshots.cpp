// SPDX-License-Identifier: MIT
// Draws a few landscape-like pictures and takes them through the wizard, saving a picture of the
// welcome page, the file list, the upload settings, the logo and text dialog and the upload page
// after a run against the local hosting service, and the video page with frames of a clip that
// the ffmpeg program makes, and the history window with that run's files. Run under Xvfb to refresh the
// README's pictures:
//   xvfb-run -s "-screen 0 1024x768x24" build/dev/tools/docs/vellmar_docs_screenshots docs
#include "app/shell/Run.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"
#include "testhost/TestHost.h"
#include "ui/CHistoryWindow.h"
#include "ui/CLogoSettings.h"
#include "ui/CWizardDlg.h"
#include "ui/kit/Dlu.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/widgets/CThumbsView.h"
#include "ui/wizard/CWizardPage.h"

#include <QAbstractButton>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

QImage Landscape(int seed)
{
    const int w = 1600 - seed * 90;
    const int h = 1000 + (seed % 3) * 150;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor sky = QColor::fromHsv((200 + seed * 23) % 360, 120, 235);
    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0, sky.darker(130));
    gradient.setColorAt(1, sky.lighter(140));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 220, 120));
    painter.drawEllipse(QPointF(w * (0.2 + 0.1 * seed), h * 0.25), h * 0.08, h * 0.08);
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hills;
        hills.moveTo(0, h);
        for (int x = 0; x <= w; x += w / 8)
            hills.lineTo(x, h * (0.55 + 0.12 * layer) + ((x * (seed + 3) + layer * 97) % 130) - 65);
        hills.lineTo(w, h);
        hills.closeSubpath();
        painter.setBrush(QColor::fromHsv((100 + seed * 31 + layer * 15) % 360, 140, 170 - layer * 40));
        painter.drawPath(hills);
    }
    return image;
}

} // namespace

bool Save(QWidget& window, const QString& folder, const char* name)
{
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (window.grab().save(path))
        return true;
    fprintf(stderr, "Cannot write %s\n", qPrintable(path));
    return false;
}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    // The run's history goes into the temporary folder, not into the user's.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    QApplication app(argc, argv);
    PrepareDialogFonts();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QStringList files;
    const char* names[]
        = {"mountains.jpg", "evening.jpg", "valley.png", "lake.jpg", "dunes.jpg", "fields.jpg"};
    for (int i = 0; i < 6; ++i) {
        files << dir.filePath(QString::fromLatin1(names[i]));
        QImage picture = Landscape(i);
        if (files.last().endsWith(QStringLiteral(".png")))
            picture = picture.scaledToWidth(640, Qt::SmoothTransformation);
        picture.save(files.last(), nullptr, 90);
    }

    SettingsStore settings(dir.filePath(QStringLiteral("vellmar.ini")));
    ChooseFirstStartService(settings);
    CWizardDlg frame(settings);
    frame.show();
    if (!Save(frame, out, "welcome.png"))
        return 1;

    // The video page with the frames of a clip made by the ffmpeg program, where it is installed.
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    QElapsedTimer clock;
    if (QProcess::execute(QStringLiteral("ffmpeg"),
            {"-v", "error", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=30", "-g", "25",
                "-pix_fmt", "yuv420p", clip})
        == 0) {
        frame.SetVideoFile(clip);
        frame.ShowPage(kVideoPage, kWelcomePage, kUploadSettingsPage);
        auto* video = static_cast<CVideoGrabber*>(frame.Page(kVideoPage));
        video->OnExtract();
        clock.start();
        while (clock.elapsed() < 20000 && video->IsExtracting())
            app.processEvents(QEventLoop::AllEvents, 50);
        if (!Save(frame, out, "video.png"))
            return 1;
        frame.ShowPage(kWelcomePage, -1, -1);
    }
    frame.DropFiles(files);
    auto* list = static_cast<CMainDlg*>(frame.Page(kFileListPage));
    clock.restart();
    while (clock.elapsed() < 20000) {
        app.processEvents(QEventLoop::AllEvents, 50);
        bool done = !list->View()->IsRunning();
        for (int i = 0; i < list->View()->count(); ++i)
            done = done && list->View()->ImageIndexOf(i) > 0;
        if (done)
            break;
    }
    list->View()->SetSelected(1, true);
    if (!Save(frame, out, "file-list.png"))
        return 1;
    frame.OnNext();
    if (!Save(frame, out, "upload-settings.png"))
        return 1;

    AppearancePart appearance = frame.WizardSettings().appearance;
    appearance.Logo.Filename = files[3];
    AdvancedSwitches switches {
        frame.WizardSettings().main.Image.StripLocation, frame.WizardSettings().main.History.Keep};
    CLogoSettings logo(appearance, switches, &frame);
    logo.show();
    if (!Save(logo, out, "logo-settings.png"))
        return 1;
    logo.close();

    // The upload page after a run against the local hosting service, which fails one picture.
    TestHost host;
    host.SetUploadFault(5, TestHost::Fault::ServerError);
    if (!host.Start())
        return 1;
    for (QString& name : frame.WizardSettings().servers.Host)
        name = host.HostText();
    // The first start chose a service on the internet; the first of the program's own goes to the host.
    frame.Page(kUploadSettingsPage)
        ->PageWnd->findChild<QComboBox*>(QStringLiteral("1026"))
        ->setCurrentIndex(0);
    frame.OnNext();
    clock.restart();
    auto* next = frame.findChild<QAbstractButton*>(QString::number(kNextButton));
    while (clock.elapsed() < 60000 && next->text() != QStringLiteral("Завершить >"))
        app.processEvents(QEventLoop::AllEvents, 50);
    if (!Save(frame, out, "upload.png"))
        return 1;

    // The history writes its rows on a thread of its own; they are there a moment after the run.
    clock.restart();
    while (clock.elapsed() < 1500)
        app.processEvents(QEventLoop::AllEvents, 50);
    CHistoryWindow history(
        HistoryPathFor(settings.Path()), frame.WizardSettings().upload.Codetype, QString(),
        [](const QString&) {}, &frame);
    history.resize(640, 400);
    history.show();
    history.List()->setCurrentIndex(history.List()->model()->index(0, 0));
    clock.restart();
    while (clock.elapsed() < 1000)
        app.processEvents(QEventLoop::AllEvents, 50);
    return Save(history, out, "history.png") ? 0 : 1;
}
