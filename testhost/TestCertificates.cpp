// SPDX-License-Identifier: MIT
#include "testhost/TestCertificates.h"

#include "app/core/UniqueHandle.h"

#include <QDir>
#include <QFile>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

using Key = UniqueHandle<EVP_PKEY, EVP_PKEY_free>;
using Cert = UniqueHandle<X509, X509_free>;

Key NewKey()
{
    return Key(EVP_EC_gen("P-256"));
}

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (itself when `issuer` is null).
Cert NewCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial)
{
    Cert cert(X509_new());
    if (!cert || X509_set_version(cert.get(), 2) != 1)
        return nullptr;
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    // A little in the past, so a clock a moment behind still accepts it.
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(
        name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Vellmar tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(
        name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));

    const bool authority = !issuer;
    const bool extended = authority
        ? AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE")
            && AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign")
            && AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash")
        : AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE")
            && AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature")
            && AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth")
            && AddExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost")
            && AddExtension(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
    if (!extended || X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0)
        return nullptr;
    return cert;
}

bool WritePem(const QString& path, X509* cert, EVP_PKEY* key)
{
    const QByteArray name = QFile::encodeName(path);
    UniqueHandle<BIO, BIO_free> bio(BIO_new_file(name.constData(), "wb"));
    if (!bio)
        return false;
    const bool written = cert
        ? PEM_write_bio_X509(bio.get(), cert) == 1
        : PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    bio.reset();
    // Only the key is a secret, but none of these is anyone else's business.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return written;
}

} // namespace

TestCertificates MakeTestCertificates(const QString& dir)
{
    TestCertificates out;
    const QDir folder(dir);
    out.caFile = folder.filePath(QStringLiteral("ca.pem"));
    out.certFile = folder.filePath(QStringLiteral("server.pem"));
    out.keyFile = folder.filePath(QStringLiteral("server-key.pem"));

    const Key caKey = NewKey();
    const Key serverKey = NewKey();
    if (!caKey || !serverKey) {
        out.error = QStringLiteral("cannot make a key");
        return out;
    }
    const Cert ca = NewCertificate(caKey.get(), "Vellmar test authority", nullptr, caKey.get(), 1);
    const Cert server = ca ? NewCertificate(serverKey.get(), "127.0.0.1", ca.get(), caKey.get(), 2) : nullptr;
    if (!ca || !server) {
        out.error = QStringLiteral("cannot make the certificates");
        return out;
    }
    if (!WritePem(out.caFile, ca.get(), nullptr) || !WritePem(out.certFile, server.get(), nullptr)
        || !WritePem(out.keyFile, nullptr, serverKey.get()))
        out.error = QStringLiteral("cannot write the certificates into %1").arg(dir);
    return out;
}
