// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadResult.h"

#include <QDateTime>
#include <QString>

/// One file that went up, as a run hands it to its log.
struct UploadedFile
{
    QDateTime time; ///< when its answer was read, UTC
    QString source; ///< the user's file
    QString sent; ///< the file that went up: a prepared copy, or the source itself
    QString service; ///< the service's name
    UploadResult addresses;
};

/// Where a run puts every file that went up, as soon as its answer is read, so that a run cut
/// short keeps what it sent. Called on the run's thread: an implementation returns at once and
/// does its slow work elsewhere.
class UploadLog
{
public:
    virtual ~UploadLog();
    virtual void Record(const UploadedFile& file) = 0;
};
