// SPDX-License-Identifier: MIT
#include "ui/kit/CUpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

CUpDown::CUpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent)
    , m_buddy(buddy)
    , m_min(minimum)
    , m_max(maximum)
{
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    up->setAutoRepeat(true);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    down->setAutoRepeat(true);
    for (QToolButton* b : {up, down}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up);
    layout->addWidget(down);
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
    buddy->installEventFilter(this);

    // At the right end of the edit's place, which the edit gives up: the arrows and the edit
    // together fill the room the layout planned for the edit.
    const QRect r = buddy->geometry();
    const int width = qMin(kArrowsWidth, r.width() / 2);
    buddy->setGeometry(r.adjusted(0, 0, -width, 0));
    setGeometry(r.right() + 1 - width, r.top(), width, r.height());
}

void CUpDown::Step(int delta)
{
    bool ok = false;
    int value = m_buddy->text().trimmed().toInt(&ok);
    if (!ok)
        value = delta > 0 ? m_min - 1 : m_min + 1;
    m_buddy->setText(QString::number(qBound(m_min, value + delta, m_max)));
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
