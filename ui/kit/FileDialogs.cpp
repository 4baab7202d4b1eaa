// SPDX-License-Identifier: MIT
#include "ui/kit/FileDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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

QStringList Run(QWidget* owner, const QString& filter, QFileDialog::FileMode mode, QString* folder)
{
    const bool known = folder && !folder->isEmpty() && QFileInfo(*folder).isDir();
    QFileDialog dialog(owner, QStringLiteral("Открыть"), known ? *folder : QString(), filter);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::ReadOnly);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (folder && !chosen.isEmpty())
        *folder = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

} // namespace

bool LoadQtTranslations()
{
    static const bool loaded = [] {
        auto* russian = new QTranslator(QCoreApplication::instance());
        if (!russian->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return false;
        return QCoreApplication::installTranslator(russian);
    }();
    return loaded;
}

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

QStringList PickImageFiles(QWidget* owner, QString* folder)
{
    return Run(owner, ImageFilter(), QFileDialog::ExistingFiles, folder);
}

QString PickLogoFile(QWidget* owner, QString* folder)
{
    return Run(owner, ImageFilter(), QFileDialog::ExistingFile, folder).value(0);
}

QString PickVideoFile(QWidget* owner, QString* folder)
{
    return Run(owner, VideoFilter(), QFileDialog::ExistingFile, folder).value(0);
}
