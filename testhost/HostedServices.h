// SPDX-License-Identifier: MIT
#pragma once

#include "testhost/IncomingBody.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QTemporaryDir;

// What the local test host answers: the five services' upload forms with their pages, fakes of
// public hosts that answer as those hosts document it, a generic JSON endpoint, and the stored
// pictures behind every address. Uploads live in a private folder; memory holds their metadata.

struct HttpMessage
{
    QByteArray method;
    QByteArray target;
    QList<std::pair<QByteArray, QByteArray>> headers;

    /// The first header of that name (case-insensitive), or a null array.
    QByteArray Header(QByteArrayView name) const;
};

/// One answer: a head and a short body, or a file streamed behind the head.
struct HttpReply
{
    QByteArray head; ///< status line and header lines, through the empty line
    QByteArray body;
    QString file; ///< sent after `body` when set
};

/// One upload as the host stored it.
struct StoredUpload
{
    QByteArray fileName; ///< as the form's file part (or the address) named it
    QByteArray bytes; ///< read from the folder when the upload is asked for
    QByteArray sizeField; ///< the form's thumbnail size as sent; empty for forms without one
    QByteArray thumb; ///< what the host serves as its thumbnail, read like `bytes`
    QString path; ///< where the upload is kept
    qint64 size = 0;
    QByteArray contentType; ///< by content
    QList<std::pair<QByteArray, QByteArray>> fields; ///< the form's other fields, in order
};

class HostedServices
{
public:
    HostedServices();
    ~HostedServices();

    /// Keeps uploads in `dir`, made private (0700) when it is new and kept afterwards; with an
    /// empty `dir`, in a fresh temporary folder that Close() removes. False when it cannot be made.
    bool Open(const QString& dir = {});
    /// Forgets the uploads; a temporary folder goes with its files.
    void Close();
    bool IsOpen() const;
    QString StoreDir() const;
    /// The one API key / token the fakes accept.
    void SetAccessKey(const QByteArray& key);

    /// Where the body of `request` goes while it arrives; null when there is no folder.
    std::unique_ptr<IncomingBody> Receive(const HttpMessage& request);
    /// The answer to `request`, whose body (if any) has arrived in `body`. `fallbackHost` names
    /// the host in addresses when the request carries no usable Host header.
    HttpReply Respond(
        const HttpMessage& request, IncomingBody* body, const QByteArray& fallbackHost, bool secure = false);

    int StoredCount() const;
    QList<StoredUpload> Uploads() const;
    /// Upload `id` (counted from 1, as in the addresses); empty when there is none.
    StoredUpload Stored(int id) const;

private:
    struct Picture
    {
        int service = -1; ///< one of the five forms, or -1
        StoredUpload upload; ///< without the bytes
        QString thumbPath;
        QByteArray token; ///< deletes it
        bool deleted = false;
    };
    struct Addresses;

    HttpReply Upload(const HttpMessage& request, IncomingBody* body, const QByteArray& origin);
    HttpReply Get(const QByteArray& target, const QByteArray& origin);
    /// Moves `source` into the folder as a new upload; 0 when that fails.
    int Keep(Picture picture, const QString& source, int thumbSize);
    Addresses AddressesOf(int id, const QByteArray& origin) const;
    QByteArray Page(int id, const QByteArray& origin) const;
    QByteArray Index(const QByteArray& origin) const;
    StoredUpload Load(const Picture& picture) const;

    mutable std::mutex m_mutex;
    std::vector<Picture> m_pictures; ///< id is the position + 1
    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_dir;
    QString m_runTag; ///< keeps the file names of one run apart from those of an earlier one
    QByteArray m_key = "test-key";
    int m_incoming = 0;
};
