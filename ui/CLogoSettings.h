// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QString>
#include <functional>
#include <optional>

/// The two switches of the dialog that are not about looks: `Image.StripLocation` and `History.Keep`.
struct AdvancedSwitches
{
    bool stripLocation = true;
    bool keepHistory = true;
};

class CMyImage;
class QCheckBox;
class QComboBox;
class QLineEdit;

/// Edits `appearance` (the upload settings page's working copy): the logo and its place, the
/// stamped text with its font, colours and place, and the look of the thumbnails; and the page's
/// `switches`. Colours are written into the copy as soon as they are
/// chosen; everything else only on OK.
class CLogoSettings : public QDialog
{
    Q_OBJECT
public:
    CLogoSettings(AppearancePart& appearance, AdvancedSwitches& switches, QWidget* owner);

    // Stand-ins for the common dialogs, so that tests need no real dialog; the defaults open the real ones.
    std::function<QString(QWidget* owner)> LogoPicker; // the file-open dialog; empty text = cancelled
    std::function<std::optional<QFont>(const QFont& initial, QWidget* owner)> FontPicker; // QFontDialog
    std::function<std::optional<QColor>(const QColor& initial, QWidget* owner)> ColourPicker; // QColorDialog

    /// Stores the edits, after asking when logo and text would share one place.
    void accept() override;

private:
    void Browse();
    void ChooseFont(LogFont& font);
    void ChooseColour(int& colorRef);

    AppearancePart& m_appearance;
    AdvancedSwitches& m_switches;
    LogFont m_textFont;
    LogFont m_thumbFont;
    CMyImage* m_preview;
    QLineEdit* m_logoPath;
    QComboBox* m_logoPosition;
    QLineEdit* m_text;
    QComboBox* m_textPosition;
    QCheckBox* m_textOverThumb;
    QCheckBox* m_withoutLocation;
    QCheckBox* m_keepHistory = nullptr;
};
