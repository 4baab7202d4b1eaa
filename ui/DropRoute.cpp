// SPDX-License-Identifier: MIT
#include "ui/DropRoute.h"

#include "settings/Paths.h"
#include "ui/wizard/CWizardFrame.h"

namespace {

// A dropped path longer than a file system path can be is not a file of ours.
constexpr int kMaxDroppedPath = 4095;

} // namespace

QList<DroppedFile> RouteDrop(const QStringList& paths, int currentPage)
{
    QList<DroppedFile> route;
    const bool takesFiles = currentPage <= kFileListPage;
    const bool takesPictures = currentPage == kWelcomePage || currentPage == kFileListPage;
    bool videoFound = false;
    for (const QString& path : paths) {
        DropAction action = DropAction::Ignore;
        if (ExtensionOf(path).compare(QLatin1String("sxcu"), Qt::CaseInsensitive) == 0) {
            if (currentPage != kUploadPage)
                action = DropAction::AddService;
        } else if (!takesFiles || videoFound || path.isEmpty() || path.size() > kMaxDroppedPath) {
            action = DropAction::Ignore;
        } else if (IsVideoFile(path)) {
            action = DropAction::OpenVideo;
            videoFound = true;
        } else if (takesPictures) {
            action = IsImageFile(path) ? DropAction::ToFileList : DropAction::Refuse;
        }
        route.append({path, action});
    }
    return route;
}
