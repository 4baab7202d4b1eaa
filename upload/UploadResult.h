// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// The two addresses kept for one successfully uploaded file, as the service answered them
/// (at most 255 characters each).
struct UploadResult
{
    QString ImageUrl; ///< the full picture
    QString ThumbUrl; ///< its thumbnail; empty when thumbnails are off
    QString DeletionUrl; ///< where the service deletes it again; empty when it gives none

    bool operator==(const UploadResult&) const = default;
};
