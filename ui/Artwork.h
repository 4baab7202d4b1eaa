// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QPixmap>

/// The program icon at 16, 32, 48 and 256 pixels.
QIcon ProgramIcon();

/// The welcome page's pictures, drawn from the program's own artwork at their pixel sizes: the
/// 170 x 437 banner and the 48 x 48 mark beside the title.
QPixmap WelcomeBanner();
QPixmap WizardMark();
/// The band above a page that has a header: `caption` centred in bold 12-point Tahoma over a
/// light gradient, at `size`; null for an empty caption.
QPixmap HeaderBand(const QString& caption, QSize size);
/// The 32 x 32 icon of a welcome command (1000 add pictures, 1001 import a video, 1058 screenshot);
/// null for other ids.
QPixmap CommandIcon(int commandId);
