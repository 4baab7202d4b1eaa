// SPDX-License-Identifier: MIT
#include "ui/kit/Controls.h"

#include "ui/kit/Dlu.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void FocusFirstControl(QWidget* container)
{
    for (QWidget* w = container->nextInFocusChain(); w && w != container; w = w->nextInFocusChain()) {
        if (!container->isAncestorOf(w))
            continue;
        if (w->isVisibleTo(container) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    container->setFocus();
}

void PlaceControl(QWidget* control, int id, const QRect& dlu)
{
    if (id)
        control->setObjectName(QString::number(id));
    control->setGeometry(DluRect(dlu.x(), dlu.y(), dlu.width(), dlu.height()));
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, const QRect& dlu)
{
    auto* button = new QPushButton(text, parent);
    PlaceControl(button, id, dlu);
    return button;
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, const QRect& dlu)
{
    auto* label = new QLabel(text, parent);
    PlaceControl(label, id, dlu);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, int id, const QRect& dlu)
{
    auto* edit = new QLineEdit(parent);
    PlaceControl(edit, id, dlu);
    return edit;
}
