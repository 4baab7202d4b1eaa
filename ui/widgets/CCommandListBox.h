// SPDX-License-Identifier: MIT
#pragma once

#include <QListWidget>
#include <QPixmap>

/// A list of large commands, each an icon with a title in a 50-pixel row. The entry under the
/// mouse is marked while the mouse is over the list; a click, Enter or Space runs a command.
class CCommandListBox : public QListWidget
{
    Q_OBJECT
public:
    static constexpr int kItemHeight = 50;

    explicit CCommandListBox(QWidget* parent = nullptr);

    void AddCommand(const QString& title, int commandId, const QPixmap& icon);
    /// The command id of entry `row`; 0 when there is none.
    int CommandAt(int row) const;
    /// The entry a point of the viewport falls on, below the last entry the last one; -1 without entries.
    int NearestRow(const QPoint& point) const;

signals:
    void commandRun(int commandId);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Run(int row);
    void Select(int row);

    bool m_hover = false;
};
