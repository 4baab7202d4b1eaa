// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// The PEM files of a fresh certificate authority and of a server certificate it signed, or why
/// they could not be made.
struct TestCertificates
{
    QString caFile; ///< the authority's certificate: what a client must trust
    QString certFile; ///< the server's certificate, for 127.0.0.1 and localhost
    QString keyFile; ///< the server's private key
    QString error;

    bool ok() const { return error.isEmpty(); }
};

/// Makes a new authority and a server certificate signed by it, valid for a day, and writes
/// them as ca.pem, server.pem and server-key.pem into `dir`. Nothing is trusted by anyone until a
/// client is given caFile.
TestCertificates MakeTestCertificates(const QString& dir);
