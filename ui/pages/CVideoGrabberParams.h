// SPDX-License-Identifier: MIT
#pragma once

#include "video/TileSheet.h"

#include <QDialog>

class QLineEdit;

/// "Параметры сохранения": the tile sheet's columns, tile width and gaps, edited in place. OK
/// corrects values the sheet cannot use; "Отмена" leaves the layout as it was.
class CVideoGrabberParams : public QDialog
{
    Q_OBJECT
public:
    CVideoGrabberParams(TileSheetLayout& layout, QWidget* owner);

    void accept() override;

    /// What OK makes of typed values: at least one column, a tile width of 10 to 1024 (else 200),
    /// gaps of 0 to 200 (else 2).
    static TileSheetLayout Corrected(TileSheetLayout typed);

private:
    TileSheetLayout& m_layout;
    QLineEdit* m_columns;
    QLineEdit* m_tileWidth;
    QLineEdit* m_gapWidth;
    QLineEdit* m_gapHeight;
};
