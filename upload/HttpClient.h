// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <utility>

// The one place that talks to libcurl. It sends a request exactly as described (request line,
// the given header lines in order, the body as built) and lets curl add only Host and
// Content-Length. Every transfer runs through a one-handle multi loop so that a stop request is
// seen within a poll interval even when the peer is silent.

/// A request body: `head`, then exactly `fileSize` bytes of the file at `filePath` when one is
/// named, then `tail`. The file is read while it is sent, so memory does not grow with its size.
struct HttpBody
{
    QByteArray head;
    QString filePath;
    qint64 fileSize = 0;
    QByteArray tail;

    qint64 Size() const { return head.size() + (filePath.isEmpty() ? 0 : fileSize) + tail.size(); }
};

/// How long an exchange may wait. There is no limit on the whole transfer: a large upload on a
/// slow link goes on as long as bytes move.
struct HttpTimeouts
{
    long connectMs = 1000000; ///< to open the connection
    /// Without a single byte moving either way: sent, received, or acknowledged by the peer
    /// while the system's send buffer drains.
    long stallSeconds = 1000;
    /// From the moment the peer has the whole request until the answer has ended: an answer
    /// that trickles forever keeps bytes moving, yet must end.
    long answerSeconds = 120;
};

struct HttpRequest
{
    QByteArray method = "GET"; ///< "GET", or "POST", "PUT", "PATCH" with the body
    QByteArray scheme = "http"; ///< "http" or "https"
    QString host; ///< "name" or "name:port", the scheme's port when none
    QByteArray target = "/"; ///< request target, already safe for the request line
    QByteArray userAgent;
    QList<QByteArray> headers; ///< extra "Name: value" lines, sent in this order
    HttpBody body; ///< sent as is for POST
    bool followRedirects = false;
    bool readBody = true; ///< false: only the answer's header is kept (its body is read and dropped)
    /// Certificate authorities to trust for https instead of the system's; empty: the system's.
    QString caFile;
};

struct HttpResponse
{
    enum class Outcome { Completed, Failed, Stopped };
    Outcome outcome = Outcome::Failed;
    QString error; ///< short reason when not completed
    long status = 0; ///< 0 when no status line arrived
    QByteArray body; ///< at most HttpClient::kAnswerCap bytes
    QList<std::pair<QByteArray, QByteArray>> headers; ///< of the last answer, values trimmed
    QString url; ///< the address that answered last, after redirects
    bool cut = false; ///< the answer was longer than HttpClient::kAnswerCap and was cut there

    /// The first header of that name (case-insensitive), or a null array.
    QByteArray Header(QByteArrayView name) const;
};

class HttpClient
{
public:
    /// Bytes of answer kept; the transfer is ended beyond that.
    static constexpr qsizetype kAnswerCap = 262143;
    /// Bytes of answer head (status line and header lines) taken before the answer is refused.
    static constexpr qsizetype kHeadCap = 64 * 1024;

    explicit HttpClient(const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    /// Requests on one client share its connections, like one session of the original: a run's
    /// files go to one host over one kept-alive connection.
    HttpResponse Perform(const HttpRequest& request);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
