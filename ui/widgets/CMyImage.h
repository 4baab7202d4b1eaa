// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

/// A child window that shows one picture fitted into it on the framed gradient background,
/// or "Not supported format" when the file does not decode. A click hides the parent window
/// unless that is switched off.
class CMyImage : public QWidget
{
    Q_OBJECT
public:
    explicit CMyImage(QWidget* parent);

    /// Prepares the picture for the current size: `picture` when given, else the file at `path`,
    /// else only the background. Does not repaint; the caller shows or updates the window.
    void SetImage(const QString& path, const QImage& picture = {});

    /// On by default, for the viewer, whose parent is the viewer window; off where the parent is a
    /// part of a dialog that must stay.
    void SetHidesParentOnClick(bool hides) { m_hidesParent = hides; }

    /// What the next paint draws; null before the first SetImage.
    const QImage& Bitmap() const { return m_bitmap; }
    bool HasBitmap() const { return m_hasBitmap; }

    /// Draws the prepared content for a `size` window: exposed so the layout can be checked alone.
    static QImage Render(QSize size, const QString& path, const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void HideParent();

    QImage m_bitmap;
    bool m_hasBitmap = false;
    bool m_hidesParent = true;
};
