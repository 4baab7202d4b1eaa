// SPDX-License-Identifier: MIT
#include "ui/pages/CVideoGrabberParams.h"

#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

int NumberOf(const QLineEdit* edit)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

} // namespace

CVideoGrabberParams::CVideoGrabberParams(TileSheetLayout& layout, QWidget* owner)
    : QDialog(owner)
    , m_layout(layout)
{
    setObjectName(QStringLiteral("106"));
    setWindowTitle(QStringLiteral("Параметры сохранения"));
    setFont(DialogFont());
    setFixedSize(DluX(190), DluY(112));

    PlaceControl(new QGroupBox(QStringLiteral("Внешний вид"), this), 0, {7, 5, 176, 80});
    MakeLabel(this, 0, QStringLiteral("Колонок:"), {15, 20, 112, 8});
    m_columns = MakeEdit(this, 1040, {130, 18, 44, 12});
    MakeLabel(this, 0, QStringLiteral("Ширина эскиза:"), {15, 36, 112, 8});
    m_tileWidth = MakeEdit(this, 1063, {130, 34, 44, 12});
    MakeLabel(this, 0, QStringLiteral("Горизонтальный промежуток:"), {15, 52, 112, 8});
    m_gapWidth = MakeEdit(this, 1064, {130, 50, 44, 12});
    MakeLabel(this, 0, QStringLiteral("Вертикальный промежуток:"), {15, 68, 112, 8});
    m_gapHeight = MakeEdit(this, 1065, {130, 66, 44, 12});
    QPushButton* ok = MakeButton(this, 1, QStringLiteral("OK"), {71, 92, 54, 14});
    ok->setDefault(true);
    QPushButton* cancel = MakeButton(this, 2, QStringLiteral("Отмена"), {129, 92, 54, 14});

    m_columns->setText(QString::number(layout.columns));
    m_tileWidth->setText(QString::number(layout.tileWidth));
    m_gapWidth->setText(QString::number(layout.gapWidth));
    m_gapHeight->setText(QString::number(layout.gapHeight));
    connect(ok, &QPushButton::clicked, this, &CVideoGrabberParams::accept);
    connect(cancel, &QPushButton::clicked, this, &CVideoGrabberParams::reject);
}

TileSheetLayout CVideoGrabberParams::Corrected(TileSheetLayout typed)
{
    // The sheet divides by the column count, so there is always at least one.
    typed.columns = std::max(1, typed.columns);
    if (typed.tileWidth < 10 || typed.tileWidth > 1024)
        typed.tileWidth = 200;
    if (typed.gapWidth < 0 || typed.gapWidth > 200)
        typed.gapWidth = 2;
    if (typed.gapHeight < 0 || typed.gapHeight > 200)
        typed.gapHeight = 2;
    return typed;
}

void CVideoGrabberParams::accept()
{
    m_layout = Corrected(
        {NumberOf(m_columns), NumberOf(m_tileWidth), NumberOf(m_gapWidth), NumberOf(m_gapHeight)});
    QDialog::accept();
}
