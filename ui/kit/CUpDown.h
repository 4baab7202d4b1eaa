// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QLineEdit;

/// Up and down arrows bound to a number edit, at the edit's right end. The arrows (and the arrow keys in the
/// edit) step the edit's number within min..max; the edit itself still takes whatever the user types, so the
/// code that reads it applies its own rules.
class CUpDown : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kArrowsWidth = 16;

    CUpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent);

    int Minimum() const { return m_min; }
    int Maximum() const { return m_max; }
    QLineEdit* Buddy() const { return m_buddy; }
    /// One step up (+1) or down (-1) from the edit's number, kept within the range.
    void Step(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_buddy;
    int m_min;
    int m_max;
};
