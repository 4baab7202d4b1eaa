// SPDX-License-Identifier: MIT
#include "capture/CScreenshotDlg.h"

#include "imaging/SaveToTemp.h"
#include "ui/kit/CUpDown.h"
#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/MessageBoxes.h"

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

} // namespace

CScreenshotDlg::CScreenshotDlg(QWidget* frameWindow, QWidget* pageWindow, const ScreenshotPart& values,
    TempFolder& temp, std::unique_ptr<CScreenGrabber> grabber)
    : QDialog(frameWindow)
    , m_frame(frameWindow)
    , m_page(pageWindow)
    , m_values(values)
    , m_temp(temp)
    , m_grabber(grabber ? std::move(grabber) : CreateScreenGrabber())
{
    setObjectName(QStringLiteral("105"));
    setWindowTitle(QStringLiteral("Скриншот"));
    setFixedSize(DluX(150), DluY(122));

    auto* group = new QGroupBox(QStringLiteral("Сделать снимок:"), this);
    PlaceControl(group, 0, {7, 5, 136, 42});
    m_wholeScreen = new QRadioButton(QStringLiteral(" Всего экрана"), this);
    PlaceControl(m_wholeScreen, 1061, {15, 17, 120, 10});
    m_activeWindow = new QRadioButton(QStringLiteral(" Активного окна"), this);
    PlaceControl(m_activeWindow, 1062, {15, 30, 120, 10});

    MakeLabel(this, 0, QStringLiteral("Задержка:"), {9, 56, 42, 8});
    m_delay = MakeEdit(this, 1060, {54, 54, 30, 12});
    (new CUpDown(m_delay, kMinDelay, kMaxDelay, this))->setObjectName(QStringLiteral("1059"));
    MakeLabel(this, 0, QStringLiteral("с"), {98, 56, 12, 8});

    MakeLabel(this, 0, QStringLiteral("Формат:"), {9, 73, 42, 8});
    m_format = new QComboBox(this);
    PlaceControl(m_format, 1011, {54, 71, 53, 13});
    m_format->addItems({QStringLiteral("JPEG"), QStringLiteral("PNG")});

    MakeLabel(this, 0, QStringLiteral("Качество:"), {9, 90, 42, 8});
    m_quality = MakeEdit(this, 1015, {54, 88, 30, 12});
    (new CUpDown(m_quality, 1, 100, this))->setObjectName(QStringLiteral("1012"));
    MakeLabel(this, 0, QStringLiteral("%"), {98, 90, 12, 8});

    QPushButton* take = MakeButton(this, 1, QStringLiteral("Сделать"), {26, 104, 55, 14});
    take->setDefault(true);
    QPushButton* cancel = MakeButton(this, 2, QStringLiteral("Отмена"), {88, 104, 55, 14});

    (values.EntireScreen ? m_wholeScreen : m_activeWindow)->setChecked(true);
    m_quality->setText(QString::number(values.Quality));
    m_delay->setText(QString::number(values.Delay));
    m_format->setCurrentIndex(values.Format == ImageFormat::Png ? 1 : 0);

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

    ScreenshotPart values;
    values.EntireScreen = m_wholeScreen->isChecked();
    values.Format = m_format->currentIndex() == 1 ? ImageFormat::Png : ImageFormat::Jpeg;
    values.Quality = ReadNumber(m_quality);
    if (values.Quality < 0)
        values.Quality = kFallbackQuality;
    values.Delay = ReadNumber(m_delay);
    if (values.Delay < kMinDelay || values.Delay > kMaxDelay)
        values.Delay = kStoredFallbackDelay;

    m_grabber->Capture(
        values.EntireScreen, [this, values](const CaptureOutcome& outcome) { Captured(outcome, values); });
}

void CScreenshotDlg::Captured(const CaptureOutcome& outcome, const ScreenshotPart& values)
{
    if (outcome.status == CaptureOutcome::Cancelled) {
        // Declined in the desktop's own screenshot window: the same as "Отмена" here.
        Finish(kResultCancelled);
        return;
    }
    // A picture that was taken but could not be written is no success either.
    const QString path = outcome.status == CaptureOutcome::Taken
        ? SaveToTemp(m_temp, outcome.image, QStringLiteral("screenshot"), values.Format, values.Quality).path
        : QString();
    if (path.isEmpty()) {
        Finish(kResultFailed);
        // The dialog is gone; the page that asked is the one that explains.
        const bool told = outcome.status == CaptureOutcome::Failed && !outcome.reason.isEmpty();
        ShowWarning(m_page ? m_page : m_frame, told ? outcome.reason : QStringLiteral("Cannot grab screen."),
            QStringLiteral("Vellmar"));
        return;
    }
    m_fellBack = outcome.wholeScreenInstead;
    m_fallbackReason = outcome.reason;
    m_resultPath = path;
    // Kept only after a capture that worked; the caller stores them.
    m_values = values;
    Finish(kResultSaved);
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

Screenshot TakeScreenshot(
    QWidget* frameWindow, QWidget* pageWindow, const ScreenshotPart& values, TempFolder& temp)
{
    CScreenshotDlg dialog(frameWindow, pageWindow, values, temp);
    if (dialog.exec() != kResultSaved)
        return {};
    return {dialog.ResultPath(), dialog.Note(), dialog.Values()};
}
