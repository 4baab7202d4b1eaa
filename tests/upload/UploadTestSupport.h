// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <ostream>

class TestHost;

// Helpers the upload tests share. They are written apart from the code under test, so that a
// fault there cannot hide itself in the expectation.

// Readable failure messages for the Qt types the tests compare.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

/// A whole HTTP/1.1 answer with a Content-Length that matches `body`.
QByteArray CannedAnswer(
    const QByteArray& body, const QList<QByteArray>& headers = {}, const QByteArray& status = "200 OK");

struct FetchResult
{
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};
/// GET `url` ("http://127.0.0.1:port/path") over a plain socket, reading to the end.
FetchResult Fetch(const QString& url);

/// The request head (without the blank line) and the body of a raw request.
QByteArray HeadOf(const QByteArray& request);
QByteArray BodyOf(const QByteArray& request);
/// The boundary named in the Content-Type line of a raw request.
QByteArray CapturedBoundary(const QByteArray& request);

/// A small real picture, so the test host can make a thumbnail of it.
QByteArray SamplePng(int width, int height);
QByteArray SampleJpeg(int width, int height);

/// One upload as the server saw it: the POST's file part and its thumbnail size field.
struct SentUpload
{
    QByteArray fileName;
    QByteArray data;
    QByteArray sizeField; ///< empty for the services whose form asks for no size
};
/// Every POST the host received, in order.
QList<SentUpload> SentUploads(const TestHost& host);
