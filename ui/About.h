// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

/// The About box: program icon, title with version, and OK.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};
