// SPDX-License-Identifier: MIT
#include "ui/widgets/CImageView.h"

#include "imaging/Decode.h"
#include "ui/widgets/CMyImage.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace {

QSize PrimaryScreenSize()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry().size();
    return QSize(1024, 768);
}

QRect WorkAreaOf(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(0, 0), PrimaryScreenSize());
}

} // namespace

CImageView::CImageView(QWidget* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint)
    , m_image(new CMyImage(this))
{
    setObjectName(QStringLiteral("111"));
    setFocusPolicy(Qt::StrongFocus);
    m_image->setGeometry(380, 37, 256, 203);
}

QSize CImageView::ViewerSize(QSizeF picture, QSize screen)
{
    const qreal maxW = screen.width() - 12;
    const qreal maxH = screen.height() - 50;
    qreal w = picture.width();
    qreal h = picture.height();
    if (w > 0 && h > 0 && (w > maxW || h > maxH)) {
        if (maxW / maxH <= w / h) {
            h = h * maxW / w;
            w = maxW;
        } else {
            w = w * maxH / h;
            h = maxH;
        }
    }
    return QSize(qMax(200, int(w + 2)), qMax(180, int(h + 2)));
}

QRect CImageView::Placement(QSize size, const QRect& over, const QRect& workArea)
{
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(over.center());
    if (placed.right() > workArea.right())
        placed.moveRight(workArea.right());
    if (placed.bottom() > workArea.bottom())
        placed.moveBottom(workArea.bottom());
    if (placed.left() < workArea.left())
        placed.moveLeft(workArea.left());
    if (placed.top() < workArea.top())
        placed.moveTop(workArea.top());
    return placed;
}

void CImageView::ShowImage(const QString& path, QWidget* centreOver)
{
    const QSize screen = PrimaryScreenSize();
    // Never decoded larger than the screen can show.
    const DecodedImage decoded = DecodeImage(path, QSize(screen.width() - 12, screen.height() - 50));
    const QSize size = ViewerSize(decoded.isNull() ? QSizeF() : QSizeF(decoded.originalSize), screen);

    hide();
    setGeometry(QRect(QPoint(0, 0), size));
    m_image->setGeometry(QRect(QPoint(0, 0), size));
    m_image->SetImage(path, decoded.image);

    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect workArea = WorkAreaOf(owner ? owner : this);
    QRect over = workArea;
    if (centreOver)
        over = centreOver->frameGeometry();
    else if (owner && owner->isVisible() && !owner->isMinimized())
        over = owner->frameGeometry();
    setGeometry(Placement(size, over, workArea));
    show();
    activateWindow();
    setFocus();
}

void CImageView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        hide();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CImageView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // A pop-up loses focus to its own child on show; only a loss to another window counts.
    if (isVisible() && !isActiveWindow())
        hide();
}

void CImageView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        hide();
}
