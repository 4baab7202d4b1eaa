// SPDX-License-Identifier: MIT
#include "ui/Artwork.h"

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/vellmar-%1.png").arg(size), QSize(size, size));
    return icon;
}
