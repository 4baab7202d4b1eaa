// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <mutex>
#include <utility>
#include <vector>

// What the local test host answers: the five services' upload forms, the pages carrying the
// two addresses between each service's tags, and the stored pictures behind those addresses.

struct HttpMessage
{
    QByteArray method;
    QByteArray target;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    /// The first header of that name (case-insensitive), or a null array.
    QByteArray Header(QByteArrayView name) const;
};

struct FormPart
{
    QByteArray name;
    QByteArray fileName;
    bool isFile = false; ///< the disposition line had a filename
    QByteArray data;
};

/// The parts of a multipart/form-data body; empty when it is not one.
QList<FormPart> ParseMultipart(const QByteArray& body, const QByteArray& boundary);
/// The boundary parameter of a Content-Type value, quotes removed.
QByteArray BoundaryOf(const QByteArray& contentType);

/// One upload as the host stored it.
struct StoredUpload
{
    QByteArray fileName; ///< as the form's file part named it
    QByteArray bytes;
    QByteArray sizeField; ///< the form's thumbnail size as sent; empty for forms without one
    QByteArray thumb; ///< what the host serves as its thumbnail
};

class HostedServices
{
public:
    /// The whole raw answer to `request`. `fallbackHost` names the host in addresses when
    /// the request carries no usable Host header.
    QByteArray Respond(const HttpMessage& request, const QByteArray& fallbackHost);
    int StoredCount() const;
    QList<StoredUpload> Uploads() const;
    /// Upload `id` (counted from 1, as in the addresses); empty when there is none.
    StoredUpload Stored(int id) const;

private:
    struct Picture
    {
        int service = 0;
        StoredUpload upload;
    };

    QByteArray Upload(const HttpMessage& request, const QByteArray& host);
    QByteArray Page(int id, const QByteArray& host) const;
    QByteArray Index() const;

    mutable std::mutex m_mutex;
    std::vector<Picture> m_pictures; ///< id is the position + 1
};
