// SPDX-License-Identifier: MIT
#include "ui/pages/CUploadSettings.h"

#include "settings/Paths.h"
#include "ui/CLogoSettings.h"
#include "ui/kit/CUpDown.h"
#include "ui/kit/Controls.h"
#include "ui/kit/FileDialogs.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

// Each host name stands in a field of 50 wide characters, after one blank.
constexpr int kServiceLabelLength = 49;

// What an entry of the service list stands for: "#N" one of the program's services, "@" the
// session's profile file, otherwise a profile's name.
QString BuiltInKey(int id)
{
    return u'#' + QString::number(id);
}
const QString kSessionKey = QStringLiteral("@");

// Names of services are matched as the command line matches them, whatever their case.
int IndexOfKey(const QComboBox* list, const QString& key)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemData(i).toString().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QCheckBox* MakeCheckBox(QWidget* parent, int id, const QString& text, const QRect& dlu)
{
    auto* box = new QCheckBox(text, parent);
    PlaceControl(box, id, dlu);
    return box;
}

// An edit that takes digits only, as a number edit does; its text is read as a signed number.
QLineEdit* MakeNumberEdit(QWidget* parent, int id, const QRect& dlu)
{
    QLineEdit* edit = MakeEdit(parent, id, dlu);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QComboBox* MakeDropDown(QWidget* parent, int id, const QRect& dlu)
{
    auto* list = new QComboBox(parent);
    // The template's height includes the dropped list; the closed box is one line high.
    PlaceControl(list, id, QRect(dlu.topLeft(), QSize(dlu.width(), 13)));
    return list;
}

int NumberOf(const QLineEdit* edit)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

QString NumberOrEmpty(int value)
{
    return value == 0 ? QString() : QString::number(value);
}

} // namespace

CUploadSettings::CUploadSettings(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
    , AppearanceEditor([frame](AppearancePart& appearance, AdvancedSwitches& switches, QWidget* owner) {
        CLogoSettings dialog(appearance, switches, owner);
        if (frame) {
            dialog.LogoPicker = [frame](QWidget* parent) {
                return PickLogoFile(parent, &frame->WizardSettings().folders.Logo);
            };
        }
        dialog.exec();
    })
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("110"));

    // In the order of the template, which is the order of the Tab key.
    PlaceControl(new QGroupBox(QStringLiteral("Параметры изображения:"), this), 1022, {24, 12, 338, 95});
    m_keepAsIs = MakeCheckBox(this, 1003, QStringLiteral(" Оставить без изменений"), {34, 24, 140, 10});
    QLabel* widthLabel = MakeLabel(this, 1009, QStringLiteral("Масштабировать по ширине:"), {53, 39, 99, 8});
    m_maxWidth = MakeNumberEdit(this, 1005, {166, 36, 31, 12});
    QLabel* heightLabel = MakeLabel(this, 1010, QStringLiteral("и/или высоте:"), {204, 38, 49, 8});
    m_maxHeight = MakeNumberEdit(this, 1006, {255, 36, 36, 12});
    m_keepProportions = MakeCheckBox(this, 1027, QStringLiteral(" Сохранять пропорции"), {167, 52, 93, 10});
    m_addLogo = MakeCheckBox(this, 1007, QStringLiteral("Добавить логотип"), {54, 69, 83, 10});
    m_addText = MakeCheckBox(this, 1008, QStringLiteral(" Добавить текст на картинку"), {142, 69, 117, 10});
    QPushButton* more = MakeButton(this, 1018, QStringLiteral("Дополнительно..."), {262, 66, 89, 14});
    QLabel* formatLabel = MakeLabel(this, 1013, QStringLiteral("Формат:"), {57, 91, 29, 8});
    m_format = MakeDropDown(this, 1011, {100, 87, 46, 75});
    m_format->addItems({QStringLiteral("Авто"), QStringLiteral("JPEG"), QStringLiteral("PNG"),
        QStringLiteral("GIF"), QStringLiteral("WebP")});
    QLabel* qualityLabel = MakeLabel(this, 1014, QStringLiteral("Качество:"), {159, 89, 36, 8});
    m_quality = MakeNumberEdit(this, 1015, {197, 87, 30, 13});
    auto* qualityArrows = new CUpDown(m_quality, 1, 100, this);
    qualityArrows->setObjectName(QStringLiteral("1012"));
    QLabel* percent = MakeLabel(this, 1016, QStringLiteral("%"), {235, 89, 11, 8});

    PlaceControl(new QGroupBox(QStringLiteral("Настройки эскизов"), this), 0, {23, 123, 337, 53});
    m_createThumbs = MakeCheckBox(this, 1037, QStringLiteral(" Создавать эскизы"), {52, 140, 87, 10});
    QLabel* thumbLabel = MakeLabel(this, 1034, QStringLiteral("Ширина эскиза:"), {147, 141, 54, 8});
    m_thumbWidth = MakeNumberEdit(this, 1030, {208, 139, 31, 12});
    m_drawFrame = MakeCheckBox(this, 1036, QStringLiteral("Обводить в рамку"), {258, 140, 78, 10});
    m_addImageSize
        = MakeCheckBox(this, 1028, QStringLiteral(" Размер картинки на эскизе"), {52, 158, 109, 10});
    m_serverThumbs
        = MakeCheckBox(this, 1024, QStringLiteral(" Использовать серверные эскизы"), {206, 158, 129, 10});

    MakeLabel(this, 0, QStringLiteral("Выберите сервер для загрузки изображений:"), {38, 193, 159, 8});
    m_server = MakeDropDown(this, 1026, {215, 190, 128, 98});
    m_serviceNote = MakeLabel(this, 0, QString(), {38, 206, 320, 10});
    MakeLabel(this, 0,
        QStringLiteral("Нажмите кнопку \"Загрузить\" чтобы загрузить изображения на выбранный вами сервер."),
        {33, 221, 320, 14});

    m_imageControls = {widthLabel, m_maxWidth, heightLabel, m_maxHeight, m_keepProportions, m_addLogo,
        m_addText, formatLabel, m_format, qualityLabel, m_quality, qualityArrows, percent};
    m_thumbControls = {m_thumbWidth, m_addImageSize, thumbLabel, m_drawFrame, m_serverThumbs};

    if (WizardDlg) {
        const Settings& settings = WizardDlg->WizardSettings();
        m_appearance = settings.appearance;
        FillServices(ServiceKey(settings.main.Main));
        ShowSettings(settings.main);
        // A profile given for the session is the user's own choice, not the program's.
        if (WizardDlg->IsFirstStart() && settings.main.Main.ServiceFile.isEmpty())
            m_firstChoice = ServiceKey(settings.main.Main);
    }
    UpdateServiceNote();

    connect(m_keepAsIs, &QCheckBox::clicked, this, &CUploadSettings::ApplyKeepAsIsRule);
    connect(m_createThumbs, &QCheckBox::clicked, this, &CUploadSettings::ApplyThumbnailRule);
    connect(m_server, &QComboBox::currentIndexChanged, this, &CUploadSettings::UpdateServiceNote);
    connect(more, &QPushButton::clicked, this, [this] {
        if (AppearanceEditor)
            AppearanceEditor(m_appearance, m_switches, this);
    });
}

void CUploadSettings::ShowSettings(const MainPart& main)
{
    m_keepAsIs->setChecked(main.Image.KeepAsIs);
    m_maxWidth->setText(NumberOrEmpty(main.Image.MaxWidth));
    m_maxHeight->setText(NumberOrEmpty(main.Image.MaxHeight));
    m_keepProportions->setChecked(main.KeepProportions);
    m_addLogo->setChecked(main.Image.AddLogo);
    m_addText->setChecked(main.Image.AddText);
    m_format->setCurrentIndex(main.Image.Format ? static_cast<int>(*main.Image.Format) + 1 : 0);
    m_quality->setText(NumberOrEmpty(main.Image.Quality));
    m_switches = {main.Image.StripLocation, main.History.Keep};
    m_createThumbs->setChecked(main.Main.CreateThumbs);
    m_thumbWidth->setText(QString::number(main.Main.ThumbWidth));
    m_drawFrame->setChecked(main.Thumbs.DrawFrame);
    m_addImageSize->setChecked(main.Thumbs.AddImageSize);
    // Unlike the page this grew from, the saved choice comes back: it is an option like the others.
    m_serverThumbs->setChecked(main.Thumbs.UserServerThumbs);
    // A profile gone since it was chosen leaves the choice where the number says.
    int index = IndexOfKey(m_server, ServiceKey(main.Main));
    if (index < 0)
        index = IndexOfKey(m_server, BuiltInKey(static_cast<int>(main.Main.ServerID)));
    m_server->setCurrentIndex(index);
}

QString CUploadSettings::ServiceKey(const MainPart::MainKeys& main) const
{
    if (!main.ServiceFile.isEmpty())
        return kSessionKey;
    return main.Service.isEmpty() ? BuiltInKey(static_cast<int>(main.ServerID)) : main.Service;
}

void CUploadSettings::FillServices(const QString& selected)
{
    if (!WizardDlg)
        return;
    const Settings& settings = WizardDlg->WizardSettings();
    m_server->clear();
    for (int i = 0; i < kServiceCount; ++i)
        m_server->addItem((u' ' + settings.servers.Host[size_t(i)]).left(kServiceLabelLength), BuiltInKey(i));
    const ServiceCatalog catalog = ServiceCatalog::Load();
    for (const ServiceEntry& entry : catalog.entries) {
        if (!entry.builtIn)
            m_server->addItem((u' ' + entry.name).left(kServiceLabelLength), entry.name);
    }
    if (const QString file = settings.main.Main.ServiceFile; !file.isEmpty()) {
        const ProfileRead read = ReadServiceProfileFile(file);
        m_server->addItem(
            (u' ' + (read.ok() ? read.profile.name : FileNameOf(file))).left(kServiceLabelLength),
            kSessionKey);
    }
    m_server->setCurrentIndex(IndexOfKey(m_server, selected));
}

void CUploadSettings::ApplyKeepAsIsRule()
{
    for (QWidget* control : std::as_const(m_imageControls))
        control->setEnabled(!m_keepAsIs->isChecked());
}

void CUploadSettings::ApplyThumbnailRule()
{
    for (QWidget* control : std::as_const(m_thumbControls))
        control->setEnabled(m_createThumbs->isChecked());
}

void CUploadSettings::UpdateServiceNote()
{
    const bool chosenByUs = !m_firstChoice.isEmpty() && m_server->currentData().toString() == m_firstChoice;
    m_serviceNote->setText(chosenByUs
            ? QStringLiteral("Выбран %1: бесплатно и без регистрации. Можно выбрать другой.")
                  .arg(m_server->currentText().trimmed())
            : QString());
}

QString CUploadSettings::HeaderCaption() const
{
    return QStringLiteral("Параметры изображения и загрузки");
}

QString CUploadSettings::NextCaption() const
{
    return QStringLiteral("Загрузить");
}

bool CUploadSettings::OnShow()
{
    // "Загрузить" follows the list, not what the page before left: the video page empties its
    // own list on the way out, which turned the frame's Next off behind it.
    ShowPrev(true);
    EnablePrev(true);
    ShowNext(true);
    EnableNext(WizardDlg && !WizardDlg->FileListPaths().isEmpty());
    EnableExit(true);
    // A profile added meanwhile (dropped on the window) shows up at once.
    FillServices(m_server->currentData().toString());
    ApplyThumbnailRule();
    ApplyKeepAsIsRule();
    return true;
}

bool CUploadSettings::OnNext()
{
    if (!WizardDlg)
        return true;
    Settings& settings = WizardDlg->WizardSettings();
    MainPart& main = settings.main;
    main.Image.KeepAsIs = m_keepAsIs->isChecked();
    main.Image.MaxWidth = NumberOf(m_maxWidth);
    main.Image.MaxHeight = NumberOf(m_maxHeight);
    main.KeepProportions = m_keepProportions->isChecked();
    main.Image.AddLogo = m_addLogo->isChecked();
    main.Image.AddText = m_addText->isChecked();
    const int format = m_format->currentIndex();
    main.Image.Format
        = format >= 1 && format <= 4 ? std::optional(static_cast<ImageFormat>(format - 1)) : std::nullopt;
    main.Image.Quality = NumberOf(m_quality);
    main.Image.StripLocation = m_switches.stripLocation;
    main.History.Keep = m_switches.keepHistory;
    main.Main.CreateThumbs = m_createThumbs->isChecked();
    main.Main.ThumbWidth = NumberOf(m_thumbWidth);
    main.Thumbs.DrawFrame = m_drawFrame->isChecked();
    main.Thumbs.AddImageSize = m_addImageSize->isChecked();
    main.Thumbs.UserServerThumbs = m_serverThumbs->isChecked();
    const QString service = m_server->currentData().toString();
    if (service != kSessionKey)
        main.Main.ServiceFile.clear();
    if (service.startsWith(u'#') || service.isEmpty()) {
        main.Main.ServerID = static_cast<ServiceId>(m_server->currentIndex());
        main.Main.Service.clear();
    } else if (service != kSessionKey) {
        main.Main.Service = service;
    }
    settings.appearance = m_appearance;
    return true;
}
