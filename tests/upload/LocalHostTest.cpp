// SPDX-License-Identifier: MIT
// The local host as a service: every profile we ship against a fake that answers as that host
// documents it, the profile the offline run writes, the body kinds a profile can send, HTTPS with a
// test authority, and uploads kept on disk and served back as they came.
#include "testhost/TestCertificates.h"
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/Memory.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/HttpClient.h"
#include "upload/UploadEngine.h"
#include "upload/profiles/ServiceProfile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QByteArray kKey = "test-key";

QByteArray ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Shipped(const char* name)
{
    return ReadText(QStringLiteral(VELLMAR_SOURCE_DIR "/resources/services/") + QLatin1String(name));
}

// The profile the offline run writes, for a host on `port`.
QByteArray OfflineProfile(quint16 port)
{
    return ReadText(QStringLiteral(VELLMAR_SOURCE_DIR "/scripts/offline.sxcu.in"))
        .replace("@PORT@", QByteArray::number(port));
}

// `text` sent to `host`: the address's scheme and authority become the host's, and the
// placeholders for a key the user must fill in become `key`.
ServiceProfile Aimed(const QByteArray& text, const TestHost& host, const QString& key)
{
    const ProfileRead read = ReadServiceProfile(text);
    EXPECT_TRUE(read.ok()) << read.error.toStdString();
    ServiceProfile profile = read.profile;
    // By text, not as a URL: the path may hold dynamic values.
    const qsizetype path
        = profile.requestUrl.indexOf(u'/', profile.requestUrl.indexOf(QLatin1String("://")) + 3);
    profile.requestUrl = host.Origin() + (path < 0 ? QStringLiteral("/") : profile.requestUrl.mid(path));
    for (QList<ProfileEntry>* entries : {&profile.arguments, &profile.headers}) {
        for (ProfileEntry& entry : *entries) {
            if (entry.value.startsWith(QLatin1String("PUT-YOUR-")))
                entry.value = key;
        }
    }
    return profile;
}

HttpResponse Fetch(const QString& address, const QString& caFile = {})
{
    const QUrl url(address);
    HttpRequest get;
    get.scheme = url.scheme().toLatin1();
    get.host = url.authority();
    get.target = url.path(QUrl::FullyEncoded).toLatin1();
    get.caFile = caFile;
    return HttpClient().Perform(get);
}

struct Shared
{
    TestDir dir;
    TestHost plain;
    TestHost secure;
    TestCertificates certs = MakeTestCertificates(dir.path());
    QString picture = dir.write(QStringLiteral("photo.png"), PngOf(400, 200));

    Shared()
    {
        EXPECT_TRUE(certs.ok()) << certs.error.toStdString();
        EXPECT_TRUE(plain.Start()) << plain.ErrorText().toStdString();
        EXPECT_TRUE(secure.StartTls(certs.certFile, certs.keyFile)) << secure.ErrorText().toStdString();
    }
};

} // namespace

TEST(LocalHost, ProfilesAgainstTheirHosts)
{
    Shared f;
    const QByteArray raw = R"({"Version":"14.1.0","Name":"r","RequestMethod":"PUT",
        "RequestURL":"http://x/api/upload/raw/{filename}","Body":"Binary","URL":"{json:url}",
        "ThumbnailURL":"{json:thumbnail}","DeletionURL":"{json:deletion}","ErrorMessage":"{json:error}"})";

    // The bytes of each body kind are pinned against a canned host elsewhere; here each profile
    // meets a host that answers as its documentation says.
    enum Expect { ImageOnly, WithThumb, WithDeletion };
    const struct
    {
        const char* name;
        QByteArray profile; ///< empty: the offline run's
        QString key;
        bool tls;
        bool trusted;
        Expect expect;
        QString error; ///< the whole of LastError(), or its start for a certificate; empty: success
    } cases[] = {
        {"catbox.moe", Shipped("catbox.sxcu"), kKey, false, false, ImageOnly, {}},
        {"0x0.st", Shipped("0x0.sxcu"), kKey, false, false, ImageOnly, {}},
        {"Chevereto", Shipped("examples/chevereto.sxcu"), kKey, false, false, WithDeletion, {}},
        {"Chevereto, wrong key", Shipped("examples/chevereto.sxcu"), "wrong", false, false, ImageOnly,
            "Invalid API v1 key."},
        {"Zipline", Shipped("examples/zipline.sxcu"), kKey, false, false, ImageOnly, {}},
        {"Zipline, wrong token", Shipped("examples/zipline.sxcu"), "wrong", false, false, ImageOnly,
            "Unauthorized"},
        {"XBackBone", Shipped("examples/xbackbone.sxcu"), kKey, false, false, ImageOnly, {}},
        {"XBackBone, wrong token", Shipped("examples/xbackbone.sxcu"), "wrong", false, false, ImageOnly,
            "Token not found."},
        {"offline", {}, kKey, false, false, WithDeletion, {}},
        {"raw body", raw, kKey, false, false, WithDeletion, {}},
        {"HTTPS, trusted authority", {}, kKey, true, true, WithDeletion, {}},
        {"HTTPS, unknown authority", {}, kKey, true, false, ImageOnly,
            "the server's certificate is not trusted"},
    };
    const QByteArray png = ReadText(f.picture);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestHost& host = c.tls ? f.secure : f.plain;
        const QByteArray text = c.profile.isEmpty() ? OfflineProfile(host.Port()) : c.profile;
        const QString ca = c.trusted ? f.certs.caFile : QString();
        CProfileEngine engine(Aimed(text, host, c.key), {}, {nullptr, {}, ca});
        const int before = host.StoredCount();
        QString image;
        QString thumb;
        const bool ok = engine.UploadFile(f.picture, &image, &thumb);
        if (!c.error.isEmpty()) {
            EXPECT_FALSE(ok);
            const QString error = engine.LastError();
            EXPECT_TRUE(c.tls ? error.startsWith(c.error) : error == c.error) << error.toStdString();
            EXPECT_EQ(host.StoredCount(), before);
            continue;
        }
        ASSERT_TRUE(ok) << engine.LastError().toStdString();
        const int id = host.StoredCount();
        ASSERT_EQ(id, before + 1);
        const auto at = [&](char kind) {
            return host.Origin() + u'/' + QLatin1Char(kind) + u'/' + QString::number(id);
        };
        EXPECT_EQ(image, at('i'));
        EXPECT_EQ(thumb, c.expect == ImageOnly ? QString() : at('t'));
        EXPECT_EQ(engine.DeletionUrl().startsWith(at('d') + u'/'), c.expect == WithDeletion)
            << engine.DeletionUrl().toStdString();
        EXPECT_EQ(host.Stored(id).fileName, "photo.png");

        // What the addresses serve: the picture as it came, and a thumbnail 180 pixels wide.
        const HttpResponse served = Fetch(image, ca);
        EXPECT_EQ(served.body, png);
        EXPECT_EQ(served.Header("Content-Type"), "image/png");
        if (c.expect != ImageOnly) {
            EXPECT_EQ(QImage::fromData(Fetch(thumb, ca).body, "PNG").size(), QSize(180, 90));
        }
        if (c.expect == WithDeletion) {
            const QString deletion = engine.DeletionUrl();
            EXPECT_EQ(Fetch(deletion.left(deletion.size() - 1) + u'x', ca).status, 403);
            EXPECT_EQ(Fetch(image, ca).status, 200);
            EXPECT_EQ(Fetch(deletion, ca).status, 200);
            EXPECT_EQ(Fetch(image, ca).status, 404);
            EXPECT_FALSE(QFile::exists(host.Stored(id).path));
        }
    }
}

// Uploads live in a private folder, not in memory: a large body goes to disk while it arrives and
// comes back whole; a temporary folder goes when the host stops, a chosen one stays.
TEST(LocalHost, UploadsAreKeptOnDisk)
{
    TestDir dir;
    const QByteArray large = QByteArray(96 << 20, 'x') + "end";
    const QString file = dir.write(QStringLiteral("large.bin"), large);
    const QString kept = dir.file(QStringLiteral("store"));
    for (const bool chosen : {false, true}) {
        SCOPED_TRACE(chosen ? "a chosen folder" : "a temporary folder");
        TestHost host;
        host.SetKeepRequests(false);
        if (chosen)
            host.SetStoreDir(kept);
        ASSERT_TRUE(host.Start());
        const QString store = host.StoreDir();
        // The owner may do everything, the group and others nothing.
        EXPECT_EQ(int(QFileInfo(store).permissions() & 0x7077), 0x7000);
        EXPECT_EQ(chosen, store == kept);

        CProfileEngine engine(Aimed(OfflineProfile(host.Port()), host, kKey), {}, {});
        bool ok = false;
        QString image;
        const qint64 growth = PeakMemoryGrowth([&] { ok = engine.UploadFile(file, &image, nullptr); });
        ASSERT_TRUE(ok) << engine.LastError().toStdString();
        EXPECT_LT(growth, 24 << 20);

        const StoredUpload stored = host.Stored(1);
        EXPECT_TRUE(stored.path.startsWith(store + u'/')) << stored.path.toStdString();
        EXPECT_EQ(stored.size, large.size());
        EXPECT_EQ(stored.bytes, large);
        EXPECT_EQ(stored.contentType, "text/plain");
        const HttpResponse head = Fetch(image);
        EXPECT_EQ(head.Header("Content-Length"), QByteArray::number(large.size()));
        EXPECT_EQ(head.body, large.left(head.body.size()));

        host.Stop();
        EXPECT_EQ(QFile::exists(stored.path), chosen);
    }
}
