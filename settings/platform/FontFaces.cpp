// SPDX-License-Identifier: MIT
#include "settings/platform/FontFaces.h"

#include <QFile>
#include <QFontDatabase>

namespace {

constexpr char kWineFonts[] = "/usr/share/wine/fonts/";

struct Face
{
    const char* family;
    const char* files[2];
};

const Face kFaces[] = {
    {"Tahoma", {"tahoma.ttf", "tahomabd.ttf"}},
};

} // namespace

QStringList EnsureWindowsFaces()
{
    QStringList missing;
    for (const Face& face : kFaces) {
        const QString family = QString::fromLatin1(face.family);
        if (QFontDatabase::families().contains(family, Qt::CaseInsensitive))
            continue;
        bool added = false;
        for (const char* file : face.files) {
            const QString path = QLatin1String(kWineFonts) + QLatin1String(file);
            if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
                added = true;
        }
        if (!added)
            missing << family;
    }
    return missing;
}
