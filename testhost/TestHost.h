// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/UniqueHandle.h"
#include "testhost/HostedServices.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <openssl/ssl.h>
#include <optional>
#include <thread>

class Link;

/// A local HTTP (or HTTPS) server on 127.0.0.1 that answers like the five hosting services and
/// like fakes of public hosts, all at once. It runs on threads of its own, so it serves while the
/// caller's thread is blocked in an upload. Uploads are kept in a private folder on disk. Besides
/// serving it can misbehave in the ways a real network does, for tests.
class TestHost
{
public:
    enum class Mode {
        Serve, ///< accept uploads and serve the stored pictures
        Canned, ///< answer request n with canned answer n (the last one repeats), then close
        Silent, ///< read the request, then send nothing until the client gives up
        Refuse, ///< hold the port without listening, so connections are refused
    };
    /// How one upload is mistreated in Serve mode; the picture is not stored.
    enum class Fault {
        ServerError, ///< "500 Internal Server Error" with a page that holds no addresses
        Close, ///< close the connection without a word
        Silent, ///< keep the connection open without a word
    };

    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    void SetMode(Mode mode) { m_mode = mode; }
    void SetCannedAnswers(const QList<QByteArray>& answers);
    /// In Serve mode, upload `number` (POST requests counted from 1) meets `fault`.
    void SetUploadFault(int number, Fault fault);
    /// In Serve mode, every upload from `number` on meets Fault::Silent.
    void SetSilentFrom(int number);
    /// Canned answers go out in `pieces` parts `pauseMs` apart: a slow link on which data keeps moving.
    void SetTrickle(int pieces, int pauseMs)
    {
        m_tricklePieces = pieces;
        m_tricklePauseMs = pauseMs;
    }
    /// Request bodies are read `bytes` at a time, `pauseMs` apart, through a small receive
    /// buffer: a server on a slow link, whose client sees its upload move slowly but steadily.
    void SetReadPace(int bytes, int pauseMs)
    {
        m_paceBytes = bytes;
        m_pacePauseMs = pauseMs;
    }
    /// In Serve mode, connections stay open for further requests, as HTTP/1.1 servers keep them.
    void SetKeepAlive(bool keep) { m_keepAlive = keep; }
    /// Connections accepted so far.
    int ConnectionCount() const { return m_connectionCount; }
    /// Request bodies are counted, not kept: for uploads larger than the test wants to hold.
    void SetDiscardBodies(bool discard) { m_discardBodies = discard; }
    /// Every raw request is also written to this folder, one file each.
    void SetLogDir(const QString& dir) { m_logDir = dir; }
    /// Whether Requests() keeps what arrives (the default); a long-running host keeps nothing.
    void SetKeepRequests(bool keep) { m_keepRequests = keep; }
    /// The folder uploads are kept in from the next Start(), kept when the host stops; empty (the
    /// default): a fresh temporary folder that is removed when the host stops.
    void SetStoreDir(const QString& dir) { m_storeDir = dir; }
    /// The API key and token the fakes of public hosts accept; "test-key" unless set.
    void SetAccessKey(const QByteArray& key) { m_services.SetAccessKey(key); }

    /// Binds 127.0.0.1:`port` (0: any free port). False with ErrorText() set on failure.
    bool Start(quint16 port = 0);
    /// Like Start, but speaks HTTPS with the certificate (chain) and key of these PEM files.
    bool StartTls(const QString& certFile, const QString& keyFile, quint16 port = 0);
    void Stop();

    quint16 Port() const { return m_port; }
    /// "127.0.0.1:port", as the Servers keys take it.
    QString HostText() const;
    /// "http://127.0.0.1:port", or https when serving TLS.
    QString Origin() const;
    /// Where the uploads are kept while the host runs.
    QString StoreDir() const { return m_services.StoreDir(); }
    QString ErrorText() const { return m_error; }
    /// The raw bytes of every request received so far, in arrival order.
    QList<QByteArray> Requests() const;
    int StoredCount() const { return m_services.StoredCount(); }
    /// The uploads the host stored, in order, as it parsed them.
    QList<StoredUpload> Uploads() const { return m_services.Uploads(); }
    /// Upload `id`, counted from 1 as in the addresses the host hands out.
    StoredUpload Stored(int id) const { return m_services.Stored(id); }

private:
    struct Connection;
    bool Listen(quint16 port);
    void AcceptLoop();
    void Serve(int fd);
    bool ReadRequest(Link& link, QByteArray& raw, HttpMessage& message, std::unique_ptr<IncomingBody>& body);
    void Record(const QByteArray& raw);
    void HoldSilently(Link& link);
    /// False when the connection is to be closed behind the answer.
    bool Answer(Link& link, const HttpMessage& message, IncomingBody* body);
    std::optional<Fault> FaultFor(const HttpMessage& message);
    void ReapFinished();

    Mode m_mode = Mode::Serve;
    QString m_logDir;
    QString m_storeDir;
    UniqueHandle<SSL_CTX, SSL_CTX_free> m_tls;
    QString m_error;
    quint16 m_port = 0;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::atomic<bool> m_stopping {false};
    std::atomic<bool> m_discardBodies {false};
    std::atomic<bool> m_keepRequests {true};
    std::atomic<int> m_tricklePieces {1};
    std::atomic<int> m_tricklePauseMs {0};
    std::atomic<int> m_paceBytes {0};
    std::atomic<int> m_pacePauseMs {0};
    std::atomic<bool> m_keepAlive {false};
    std::atomic<int> m_connectionCount {0};
    std::thread m_acceptThread;
    HostedServices m_services;

    mutable std::mutex m_mutex; // guards the members below
    QList<QByteArray> m_requests;
    int m_requestCount = 0;
    QList<QByteArray> m_canned;
    QMap<int, Fault> m_faults;
    int m_silentFrom = 0; ///< 0: never
    int m_uploads = 0;
    std::list<std::unique_ptr<Connection>> m_connections;
};
