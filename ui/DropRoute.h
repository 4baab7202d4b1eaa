// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// What becomes of one file dropped on the wizard.
enum class DropAction {
    ToFileList, ///< a picture for the file list
    OpenVideo, ///< the video page opens with it
    AddService, ///< a service profile for the user's services
    Refuse, ///< neither a picture nor a video: the user is told
    Ignore, ///< passed over without a word
};

struct DroppedFile
{
    QString path;
    DropAction action;

    bool operator==(const DroppedFile&) const = default;
};

/// Routes the files dropped while page `currentPage` is shown, in their order. Service profiles
/// are taken on any page but the upload page. On the welcome and file list pages pictures go to
/// the list; there and on the video page the first video opens the video page and the files
/// after it are passed over. The upload settings and upload pages take nothing else.
QList<DroppedFile> RouteDrop(const QStringList& paths, int currentPage);
