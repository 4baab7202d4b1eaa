// SPDX-License-Identifier: MIT
#include "ui/kit/FileDialogs.h"

#include <QFileDialog>

namespace {

// "*.jpg" becomes "*.[jJ][pP][gG]": file names on Linux are case-sensitive, and cameras write
// ".JPG" and people ".Jpeg". Every dialog, Qt's own and the desktop's, understands the classes.
QString Filter(const QString& name, const QStringList& patterns)
{
    QStringList all;
    for (const QString& pattern : patterns) {
        QString anyCase;
        for (const QChar c : pattern)
            anyCase += c.isLetter() ? u'[' + QString(c.toLower()) + c.toUpper() + u']' : QString(c);
        all << anyCase;
    }
    return name + QStringLiteral(" (") + all.join(u' ') + u')';
}

QStringList Run(QWidget* owner, const QString& filter, QFileDialog::FileMode mode)
{
    QFileDialog dialog(owner, QStringLiteral("Открыть"), QString(), filter);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::ReadOnly);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace

QString ImageFilter()
{
    // Every extension the list takes, photos from phones (HEIC, AVIF) and the web (WebP) among them.
    return Filter(QStringLiteral("Images (JPEG, GIF, PNG, etc)"),
        {"*.jpg", "*.jpeg", "*.gif", "*.png", "*.bmp", "*.tif", "*.tiff", "*.webp", "*.heic", "*.heif",
            "*.hif", "*.avif", "*.jxl"});
}

QString VideoFilter()
{
    return Filter(QStringLiteral("Видео файлы (AVI, MPEG, VOB, WMV etc)"),
        {"*.avi", "*.mpeg", "*.mpg", "*.mp2", "*.divx", "*.vob", "*.flv", "*.wmv", "*.asf", "*.mkv",
            "*.mp4"});
}

QStringList PickImageFiles(QWidget* owner)
{
    return Run(owner, ImageFilter(), QFileDialog::ExistingFiles);
}

QString PickLogoFile(QWidget* owner)
{
    return Run(owner, ImageFilter(), QFileDialog::ExistingFile).value(0);
}

QString PickVideoFile(QWidget* owner)
{
    return Run(owner, VideoFilter(), QFileDialog::ExistingFile).value(0);
}
