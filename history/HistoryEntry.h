// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadResult.h"

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>

/// One uploaded file as the history keeps it.
struct HistoryEntry
{
    qint64 id = 0; ///< given by the history when the entry is added; newer entries have larger ids
    QDateTime time; ///< when the service's answer was read, UTC
    QString source; ///< the user's file, full path
    QString name; ///< its file name
    qint64 size = 0; ///< bytes sent
    QSize pixels; ///< of the picture sent; empty when it could not be read
    QString service;
    UploadResult addresses;
    /// A small JPEG of the picture (at most kHistoryPreviewSide on each side); empty when none.
    /// Lists leave it out: it is read per entry when it is shown.
    QByteArray preview;

    bool operator==(const HistoryEntry&) const = default;
};

inline constexpr int kHistoryPreviewSide = 96;
