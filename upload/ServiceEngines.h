// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadEngine.h"

// The five hosting services. Each fills in its request values and writes its own form;
// the exchange itself is the base class's. WriteRequestBody lays out the form head, the file
// and the closing delimiter; the file is read while the body is sent.

class CImageshackUploadEngine final : public CUploadEngine
{
public:
    explicit CImageshackUploadEngine(
        const QString& host, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});
    bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) override;
    void WriteRequestBody(HttpBody& body, const QByteArray& boundary, const QByteArray& fileName,
        const QString& path, qint64 size) const;
};

class CKeep4uUploadEngine final : public CUploadEngine
{
public:
    explicit CKeep4uUploadEngine(
        const QString& host, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});
    bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) override;
    void WriteRequestBody(HttpBody& body, const QByteArray& boundary, const QByteArray& fileName,
        const QString& path, qint64 size) const;
};

class CRadikalUploadEngine final : public CUploadEngine
{
public:
    explicit CRadikalUploadEngine(
        const QString& host, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});
    bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) override;
    void WriteRequestBody(HttpBody& body, const QByteArray& boundary, const QByteArray& fileName,
        const QString& path, qint64 size) const;
};

class CSmagesUploadEngine final : public CUploadEngine
{
public:
    explicit CSmagesUploadEngine(
        const QString& host, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});
    bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) override;
    void WriteRequestBody(HttpBody& body, const QByteArray& boundary, const QByteArray& fileName,
        const QString& path, qint64 size) const;
};

/// Its POST answers with a Refresh header; the page with the addresses is fetched from there.
class CIpictureUploadEngine final : public CUploadEngine
{
public:
    explicit CIpictureUploadEngine(
        const QString& host, const std::atomic<bool>* stop = nullptr, HttpTimeouts timeouts = {});
    bool UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl) override;
    void WriteRequestBody(HttpBody& body, const QByteArray& boundary, const QByteArray& fileName,
        const QString& path, qint64 size) const;
};
