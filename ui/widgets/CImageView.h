// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class CMyImage;

/// A borderless pop-up that shows one picture at up to screen size. It only ever hides: on a
/// click on the picture, Enter, Escape, or when the user switches elsewhere.
class CImageView : public QWidget
{
    Q_OBJECT
public:
    /// `owner` is the window the viewer is centred over and destroyed with.
    explicit CImageView(QWidget* owner);

    /// Decodes `path`, sizes the viewer to the picture (bounded by the screen) and shows it,
    /// centred over `centreOver`, else over the owner's window, else over the work area.
    void ShowImage(const QString& path, QWidget* centreOver = nullptr);

    CMyImage* Image() const { return m_image; }

    /// The viewer's size for a picture of `picture` pixels on a `screen` sized primary screen.
    static QSize ViewerSize(QSizeF picture, QSize screen);
    /// `size` centred over `over`, then moved as little as needed to stay inside `workArea`.
    static QRect Placement(QSize size, const QRect& over, const QRect& workArea);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    CMyImage* m_image;
};
