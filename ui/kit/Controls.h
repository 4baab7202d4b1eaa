// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls placed as a dialog template places them: `dlu` is x, y, width and height in dialog
// units (Dlu.h), and the numeric control id becomes the object name, by which code and tests
// find the control. Id 0 leaves the control unnamed.

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, const QRect& dlu);
/// Static text: left and top aligned, wrapped at the right edge.
QLabel* MakeLabel(QWidget* parent, int id, const QString& text, const QRect& dlu);
QLineEdit* MakeEdit(QWidget* parent, int id, const QRect& dlu);
/// Gives the keyboard focus to the first control of `container` that the Tab key reaches, as a
/// dialog does when it is shown; to `container` itself when there is none.
void FocusFirstControl(QWidget* container);
/// Places `control` at `dlu` and names it after `id`.
void PlaceControl(QWidget* control, int id, const QRect& dlu);
