// SPDX-License-Identifier: MIT
#include "ui/CLogoSettings.h"

#include "settings/Colors.h"
#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/FileDialogs.h"
#include "ui/kit/MessageBoxes.h"
#include "ui/widgets/CMyImage.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

// What the settings file keeps of a path or a text.
constexpr int kMaxStoredText = 255;

QStringList PositionLabels()
{
    return {QStringLiteral("Верхний левый угол"), QStringLiteral("Сверху посередине "),
        QStringLiteral("Верхний правый угол"), QStringLiteral("Нижний левый угол"),
        QStringLiteral("Снизу посередине "), QStringLiteral("Нижний правый угол")};
}

QComboBox* MakePositionList(QWidget* parent, int id, const QRect& dlu, StampPosition selected)
{
    auto* list = new QComboBox(parent);
    PlaceControl(list, id, dlu);
    list->addItems(PositionLabels());
    list->setCurrentIndex(static_cast<int>(selected));
    return list;
}

std::optional<QFont> PickFont(const QFont& initial, QWidget* owner)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, owner, QStringLiteral("Шрифт"));
    return ok ? std::optional<QFont>(font) : std::nullopt;
}

std::optional<QColor> PickColour(const QColor& initial, QWidget* owner)
{
    // One table of custom colours for the whole run, white until the user fills it: Qt would
    // otherwise offer whatever an earlier program left in its own settings.
    static const bool whitened = [] {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, Qt::white);
        return true;
    }();
    Q_UNUSED(whitened);
    const QColor colour = QColorDialog::getColor(initial, owner, QStringLiteral("Цвет"));
    return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
}

} // namespace

CLogoSettings::CLogoSettings(AppearancePart& appearance, AdvancedSwitches& switches, QWidget* owner)
    : QDialog(owner)
    , LogoPicker([](QWidget* owner) { return PickLogoFile(owner, nullptr); })
    , FontPicker(&PickFont)
    , ColourPicker(&PickColour)
    , m_appearance(appearance)
    , m_switches(switches)
    , m_textFont(appearance.Text.Font)
    , m_thumbFont(appearance.Thumbs.Font)
{
    setObjectName(QStringLiteral("107"));
    setWindowTitle(QStringLiteral("Параметры"));
    setFont(DialogFont());

    // The preview has a fixed size in pixels, so the rows under it start where it ends in the
    // dialog font's units: a font with shorter lines must not pull them over the picture.
    const int groupTop = 7;
    const QRect previewRect(QPoint(13, 20), QPoint(290, 95) - QPoint(1, 1));
    const int units = BaseUnits().y;
    const int row = ((DluY(groupTop) + previewRect.bottom() + 1) * 8 + units - 1) / units + 4;
    const int textTop = row + 42;
    const int bottom = textTop + 70;
    // Below both columns: the location and history switches on the left, OK and Cancel on the right.
    const int lastRow = bottom + 6;
    // Centred over the owner's window by QDialog itself when shown.
    setFixedSize(DluX(335), DluY(lastRow + 28 + 7));

    // Created in the order Tab should visit them.
    auto* logoGroup = new QGroupBox(QStringLiteral("Логотип на картинке"), this);
    PlaceControl(logoGroup, 1070, {7, groupTop, 202, row + 37 - groupTop});
    m_preview = new CMyImage(logoGroup);
    m_preview->setGeometry(previewRect);
    m_preview->SetHidesParentOnClick(false);
    // It paints nothing until a logo is loaded; until then the group shows through.
    m_preview->setAttribute(Qt::WA_OpaquePaintEvent, false);
    MakeLabel(this, 0, QStringLiteral("Имя файла:"), {16, row + 3, 46, 8});
    m_logoPath = MakeEdit(this, 1040, {64, row + 1, 89, 12});
    QPushButton* browse = MakeButton(this, 1069, QStringLiteral("Обзор..."), {157, row, 44, 14});
    MakeLabel(this, 0, QStringLiteral("Позиция логотипа:"), {16, row + 20, 70, 8});
    m_logoPosition = MakePositionList(this, 1025, {88, row + 18, 113, 13}, appearance.Logo.Position);

    PlaceControl(new QGroupBox(QStringLiteral("Текст на картинке"), this), 0, {7, textTop, 202, 70});
    MakeLabel(this, 0, QStringLiteral("Введите текст:"), {16, textTop + 14, 70, 8});
    m_text = MakeEdit(this, 1067, {88, textTop + 12, 113, 12});
    QPushButton* textFont = MakeButton(this, 1068, QStringLiteral("Шрифт"), {16, textTop + 30, 59, 14});
    QPushButton* textColour
        = MakeButton(this, 1047, QStringLiteral("Цвет текста"), {79, textTop + 30, 59, 14});
    QPushButton* strokeColour
        = MakeButton(this, 1041, QStringLiteral("Цвет обводки"), {142, textTop + 30, 59, 14});
    MakeLabel(this, 0, QStringLiteral("Позиция текста:"), {16, textTop + 51, 70, 8});
    m_textPosition = MakePositionList(this, 1027, {88, textTop + 49, 113, 13}, appearance.Text.Position);

    PlaceControl(new QGroupBox(QStringLiteral("Параметры эскизов"), this), 0, {216, 7, 112, bottom - 7});
    QPushButton* frameColour = MakeButton(this, 1080, QStringLiteral("Цвет рамки"), {226, 22, 92, 14});
    QPushButton* colour1 = MakeButton(this, 1093, QStringLiteral("Цвет 1"), {226, 45, 92, 14});
    QPushButton* colour2 = MakeButton(this, 1091, QStringLiteral("Цвет 2"), {226, 68, 92, 14});
    QPushButton* captionColour = MakeButton(this, 1033, QStringLiteral("Цвет текста"), {226, 91, 92, 14});
    m_textOverThumb = new QCheckBox(QStringLiteral("Текст поверх эскиза"), this);
    PlaceControl(m_textOverThumb, 1036, {226, 117, 92, 10});
    QPushButton* thumbFont = MakeButton(this, 1092, QStringLiteral("Шрифт"), {226, 137, 92, 14});

    // Pictures sent unchanged keep their metadata; this takes their GPS position out (a photo
    // would otherwise tell the host where it was taken).
    m_withoutLocation
        = new QCheckBox(QStringLiteral("Удалять место съёмки (GPS) из файлов без изменений"), this);
    PlaceControl(m_withoutLocation, 1094, {9, lastRow + 2, 200, 10});
    m_keepHistory = new QCheckBox(QStringLiteral("Сохранять загрузки в истории"), this);
    PlaceControl(m_keepHistory, 1095, {9, lastRow + 16, 200, 10});
    QPushButton* ok = MakeButton(this, 1, QStringLiteral("OK"), {216, lastRow, 54, 14});
    ok->setDefault(true);
    QPushButton* cancel = MakeButton(this, 2, QStringLiteral("Отмена"), {274, lastRow, 54, 14});

    m_logoPath->setText(appearance.Logo.Filename);
    if (!appearance.Logo.Filename.isEmpty())
        m_preview->SetImage(appearance.Logo.Filename);
    m_textOverThumb->setChecked(appearance.Thumbs.TextOverThumb);
    m_withoutLocation->setChecked(switches.stripLocation);
    m_keepHistory->setChecked(switches.keepHistory);
    m_text->setText(appearance.Text.Text);

    connect(browse, &QPushButton::clicked, this, &CLogoSettings::Browse);
    connect(textFont, &QPushButton::clicked, this, [this] { ChooseFont(m_textFont); });
    connect(thumbFont, &QPushButton::clicked, this, [this] { ChooseFont(m_thumbFont); });
    const std::pair<QPushButton*, int*> colours[] = {
        {textColour, &appearance.Text.Color},
        {strokeColour, &appearance.Thumbs.StrokeColor},
        {frameColour, &appearance.Thumbs.FrameColor},
        {colour1, &appearance.Thumbs.Color1},
        {colour2, &appearance.Thumbs.Color2},
        {captionColour, &appearance.Thumbs.TextColor},
    };
    for (const auto& [button, value] : colours)
        connect(button, &QPushButton::clicked, this, [this, value] { ChooseColour(*value); });
    connect(ok, &QPushButton::clicked, this, &CLogoSettings::accept);
    connect(cancel, &QPushButton::clicked, this, &CLogoSettings::reject);
}

void CLogoSettings::accept()
{
    const int logoPosition = m_logoPosition->currentIndex();
    const int textPosition = m_textPosition->currentIndex();
    if (logoPosition == textPosition
        && !AskYesNo(this,
            QStringLiteral("Вы действительно хотите поместить текст и логотип в одном месте на изображении?"),
            QStringLiteral("Параметры изображения")))
        return;
    m_appearance.Logo.Position = static_cast<StampPosition>(logoPosition);
    m_appearance.Text.Position = static_cast<StampPosition>(textPosition);
    m_appearance.Logo.Filename = m_logoPath->text().left(kMaxStoredText);
    m_appearance.Text.Text = m_text->text().left(kMaxStoredText);
    m_appearance.Thumbs.TextOverThumb = m_textOverThumb->isChecked();
    m_appearance.Text.Font = m_textFont;
    m_appearance.Thumbs.Font = m_thumbFont;
    m_switches.stripLocation = m_withoutLocation->isChecked();
    m_switches.keepHistory = m_keepHistory->isChecked();
    QDialog::accept();
}

void CLogoSettings::Browse()
{
    const QString path = LogoPicker(this);
    if (path.isEmpty())
        return;
    m_logoPath->setText(path);
    m_preview->SetImage(path);
    m_preview->update();
}

void CLogoSettings::ChooseFont(LogFont& font)
{
    if (const std::optional<QFont> chosen = FontPicker(ToQFont(font), this))
        font = FromQFont(*chosen, font);
}

void CLogoSettings::ChooseColour(int& colorRef)
{
    // Into the page's copy at once: a colour outlives a later Cancel.
    if (const std::optional<QColor> chosen = ColourPicker(ColorRefToColor(colorRef), this))
        colorRef = ColorToColorRef(*chosen);
}
