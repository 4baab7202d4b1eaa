// SPDX-License-Identifier: MIT
#include "capture/CScreenshotDlg.h"

#include "capture/CaptureGeometry.h"
#include "imaging/SaveToTemp.h"
#include "settings/Settings.h"
#include "ui/wizard/CUpDown.h"
#include "ui/wizard/Dlu.h"
#include "ui/wizard/MessageBoxes.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kResultFailed = 0;
constexpr int kResultSaved = 1;
constexpr int kResultCancelled = 2;

// The delay box's own fallbacks: the timer falls back to 3 s, the stored value to the default.
constexpr int kMinDelay = 1;
constexpr int kMaxDelay = 30;
constexpr int kTimerFallbackDelay = 3;
constexpr int kStoredFallbackDelay = 4;
constexpr int kFallbackQuality = 80;

// A number box read as a signed integer: anything that is not a whole number counts as 0.
int ReadNumber(const QLineEdit* edit)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& rect)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(rect);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, int id, const QRect& rect)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setGeometry(rect);
    return edit;
}

} // namespace

CScreenshotDlg::CScreenshotDlg(QWidget* frameWindow, QWidget* pageWindow, const QString& iniPath,
    TempFolder& temp, std::unique_ptr<CScreenGrabber> grabber)
    : QDialog(frameWindow)
    , m_frame(frameWindow)
    , m_page(pageWindow)
    , m_iniPath(iniPath)
    , m_temp(temp)
    , m_grabber(grabber ? std::move(grabber) : CreateScreenGrabber())
{
    setObjectName(QStringLiteral("105"));
    setWindowTitle(QStringLiteral("Скриншот"));
    setFixedSize(DluX(150), DluY(122));

    auto* group = new QGroupBox(QStringLiteral("Сделать снимок:"), this);
    group->setGeometry(DluRect(7, 5, 136, 42));
    m_wholeScreen = new QRadioButton(QStringLiteral(" Всего экрана"), this);
    m_wholeScreen->setObjectName(QStringLiteral("1061"));
    m_wholeScreen->setGeometry(DluRect(15, 17, 120, 10));
    m_activeWindow = new QRadioButton(QStringLiteral(" Активного окна"), this);
    m_activeWindow->setObjectName(QStringLiteral("1062"));
    m_activeWindow->setGeometry(DluRect(15, 30, 120, 10));

    MakeLabel(this, QStringLiteral("Задержка:"), DluRect(9, 56, 42, 8));
    m_delay = MakeEdit(this, 1060, DluRect(54, 54, 30, 12));
    (new CUpDown(m_delay, kMinDelay, kMaxDelay, this))->setObjectName(QStringLiteral("1059"));
    MakeLabel(this, QStringLiteral("с"), DluRect(98, 56, 12, 8));

    MakeLabel(this, QStringLiteral("Формат:"), DluRect(9, 73, 42, 8));
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("1011"));
    m_format->setGeometry(DluRect(54, 71, 53, 13));
    m_format->addItems({QStringLiteral("JPEG"), QStringLiteral("PNG")});

    MakeLabel(this, QStringLiteral("Качество:"), DluRect(9, 90, 42, 8));
    m_quality = MakeEdit(this, 1015, DluRect(54, 88, 30, 12));
    (new CUpDown(m_quality, 1, 100, this))->setObjectName(QStringLiteral("1012"));
    MakeLabel(this, QStringLiteral("%"), DluRect(98, 90, 12, 8));

    auto* take = new QPushButton(QStringLiteral("Сделать"), this);
    take->setObjectName(QStringLiteral("1"));
    take->setGeometry(DluRect(26, 104, 55, 14));
    take->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(DluRect(88, 104, 55, 14));

    const ScreenshotSettings values = LoadScreenshotSettings(m_iniPath);
    (values.EntireScreen != 0 ? m_wholeScreen : m_activeWindow)->setChecked(true);
    m_quality->setText(QString::number(values.Quality));
    m_delay->setText(QString::number(values.Delay));
    m_format->setCurrentIndex(values.Format);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CScreenshotDlg::Capture);
    connect(take, &QPushButton::clicked, this, &CScreenshotDlg::Take);
    connect(cancel, &QPushButton::clicked, this, &CScreenshotDlg::reject);
}

CScreenshotDlg::~CScreenshotDlg() = default;

int CScreenshotDlg::exec()
{
    // QDialog::exec() returns as soon as its dialog is hidden, and this one hides itself for
    // the delay; so wait for the dialog to finish instead.
    setWindowModality(Qt::ApplicationModal);
    setResult(kResultFailed);
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    loop.exec(QEventLoop::DialogExec);
    return result();
}

void CScreenshotDlg::reject()
{
    // Escape and the close box mean "Отмена" here; never during the delay, when the capture owns the dialog.
    if (!m_timer.isActive() && !m_captured)
        done(kResultCancelled);
}

void CScreenshotDlg::Take()
{
    if (m_timer.isActive() || m_captured)
        return;
    const int delay = ReadNumber(m_delay);
    const int seconds = delay < kMinDelay || delay > kMaxDelay ? kTimerFallbackDelay : delay;
    m_timer.start(seconds * 1000);
    hide();
    if (m_frame)
        m_frame->hide();
}

void CScreenshotDlg::Capture()
{
    m_timer.stop();
    if (m_captured)
        return;
    m_captured = true;

    ScreenshotSettings values;
    values.EntireScreen = m_wholeScreen->isChecked() ? 1 : 0;
    values.Format = std::max(m_format->currentIndex(), 0);
    values.Quality = ReadNumber(m_quality);
    if (values.Quality < 0)
        values.Quality = kFallbackQuality;
    values.Delay = ReadNumber(m_delay);
    if (values.Delay < kMinDelay || values.Delay > kMaxDelay)
        values.Delay = kStoredFallbackDelay;

    QString path;
    if (!CaptureInto(path, values.EntireScreen != 0, values.Format, values.Quality)) {
        Finish(kResultFailed);
        // The dialog is gone; the page that asked is the one that explains.
        ShowWarning(
            m_page ? m_page : m_frame, QStringLiteral("Cannot grab screen."), QStringLiteral("Vellmar"));
        return;
    }
    m_resultPath = path;
    if (!SaveScreenshotSettings(m_iniPath, values))
        qWarning("Screenshot: cannot write the settings to %s", qPrintable(m_iniPath));
    Finish(kResultSaved);
}

bool CScreenshotDlg::CaptureInto(QString& path, bool wholeScreen, int format, int quality)
{
    const QRect screen = m_grabber->ScreenRect();
    if (screen.isEmpty())
        return false;

    NativeWindow target = 0;
    QRect targetRect = screen;
    if (!wholeScreen) {
        const ForegroundWindow foreground = m_grabber->FindForegroundWindow();
        if (foreground.available) {
            target = foreground.id;
            targetRect = foreground.frame;
        } else {
            // Not knowing the window is a limit of the session, not a failure of the user's
            // request: a picture of everything still holds the window they meant.
            m_fellBack = true;
            m_fallbackReason = foreground.reason;
        }
    }

    const std::optional<CaptureArea> area = ClipToScreen(targetRect, screen.size());
    if (!area)
        return false;

    if (target)
        m_grabber->SetTopmost(target, true);
    const QImage image = m_grabber->Grab(area->screenRect);
    if (target)
        m_grabber->SetTopmost(target, false);
    if (image.isNull())
        return false;
    // A picture that was taken but could not be written is no success either.
    path = SaveToTemp(m_temp, image, QStringLiteral("screenshot"), format, quality).path;
    return !path.isEmpty();
}

void CScreenshotDlg::Finish(int result)
{
    // The frame first: closing the dialog while no other window is visible would quit the program.
    if (m_frame)
        m_frame->show();
    done(result);
}

QString CScreenshotDlg::Note() const
{
    if (!m_fellBack)
        return {};
    return QStringLiteral("Активное окно определить не удалось (%1), поэтому снят весь экран.")
        .arg(m_fallbackReason);
}

Screenshot TakeScreenshot(QWidget* frameWindow, QWidget* pageWindow, const QString& iniPath, TempFolder& temp)
{
    CScreenshotDlg dialog(frameWindow, pageWindow, iniPath, temp);
    if (dialog.exec() != kResultSaved)
        return {};
    return {dialog.ResultPath(), dialog.Note()};
}
