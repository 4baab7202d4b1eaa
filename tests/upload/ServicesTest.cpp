// SPDX-License-Identifier: MIT
// Every service the program knows against the local host, which answers as each documents it:
// the five built-in profiles, the shipped ones, the examples for self-hosted servers with their
// key right and wrong, the profile of the offline run, and HTTPS with a test authority.
#include "testhost/TestCertificates.h"
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/UploadEngine.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kKey = "test-key";

QByteArray Shipped(const char* name)
{
    return TestDir::read(QStringLiteral(VELLMAR_SOURCE_DIR "/") + QLatin1String(name));
}

// `text` sent to `host`: the address's scheme and authority become the host's, and the
// placeholders for a key the user must fill in become `key`.
ServiceProfile Aimed(const QByteArray& text, const TestHost& host, const QString& key)
{
    const ProfileRead read = ReadServiceProfile(QByteArray(text).replace("@PORT@", "1"));
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

} // namespace

TEST(Services, EachAgainstTheLocalHost)
{
    TestDir dir;
    const TestCertificates certs = MakeTestCertificates(dir.path());
    ASSERT_TRUE(certs.ok()) << certs.error.toStdString();
    TestHost plain;
    TestHost secure;
    ASSERT_TRUE(plain.Start()) << plain.ErrorText().toStdString();
    ASSERT_TRUE(secure.StartTls(certs.certFile, certs.keyFile)) << secure.ErrorText().toStdString();
    const QByteArray png = PngOf(400, 200);
    const QString picture = dir.write(QStringLiteral("photo.png"), png);
    const QByteArray offline = Shipped("scripts/offline.sxcu.in");
    const QByteArray raw = R"({"RequestMethod":"PUT", "RequestURL":"http://x/api/upload/raw/{filename}",
        "Body":"Binary", "URL":"{json:url}", "ThumbnailURL":"{json:thumbnail}", "DeletionURL":"{json:deletion}"})";

    enum Expect { ImageOnly, WithThumb, WithDeletion };
    const struct
    {
        const char* name;
        int service; ///< one of the five, or -1 for `profile`
        QByteArray profile;
        Expect expect;
        QString error = {}; ///< empty: success; for a certificate its start
        QString key = kKey;
        bool tls = false;
        bool trusted = false;
    } cases[] = {
        {"ImageShack", 0, {}, WithThumb},
        {"Keep4u", 1, {}, WithThumb},
        {"Radikal", 2, {}, WithThumb},
        {"Smages", 3, {}, WithThumb},
        {"iPicture", 4, {}, WithThumb},
        {"catbox.moe", -1, Shipped("resources/services/catbox.sxcu"), ImageOnly},
        {"0x0.st", -1, Shipped("resources/services/0x0.sxcu"), ImageOnly},
        {"Chevereto", -1, Shipped("resources/services/examples/chevereto.sxcu"), WithDeletion},
        {"Chevereto, wrong key", -1, Shipped("resources/services/examples/chevereto.sxcu"), ImageOnly,
            "Invalid API v1 key.", "wrong"},
        {"Zipline", -1, Shipped("resources/services/examples/zipline.sxcu"), ImageOnly},
        {"Zipline, wrong token", -1, Shipped("resources/services/examples/zipline.sxcu"), ImageOnly,
            "Unauthorized", "wrong"},
        {"XBackBone", -1, Shipped("resources/services/examples/xbackbone.sxcu"), ImageOnly},
        {"XBackBone, wrong token", -1, Shipped("resources/services/examples/xbackbone.sxcu"), ImageOnly,
            "Token not found.", "wrong"},
        {"offline", -1, offline, WithDeletion},
        {"the file alone", -1, raw, WithDeletion},
        {"HTTPS, trusted authority", -1, offline, WithDeletion, {}, kKey, true, true},
        {"HTTPS, unknown authority", -1, offline, ImageOnly, "the server's certificate is not trusted", kKey,
            true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestHost& host = c.tls ? secure : plain;
        const std::unique_ptr<CUploadEngine> engine = c.service >= 0
            ? CreateUploadEngine(ServiceId(c.service), host.HostText())
            : std::make_unique<CProfileEngine>(Aimed(c.profile, host, c.key), QMap<QString, QString>(),
                EngineContext {nullptr, {}, c.trusted ? certs.caFile : QString()});
        const int before = host.StoredCount();
        const UploadOutcome outcome = engine->UploadFile(picture, 150);
        if (!c.error.isEmpty()) {
            EXPECT_TRUE(outcome.error.startsWith(c.error)) << outcome.error.toStdString();
            EXPECT_EQ(host.StoredCount(), before);
            continue;
        }
        ASSERT_TRUE(outcome.ok()) << outcome.error.toStdString();
        // The addresses lead back to what was sent, as it was sent.
        const int id = host.StoredCount();
        ASSERT_EQ(id, before + 1);
        EXPECT_EQ(outcome.addresses.ImageUrl, StoredAddress(host, 'i', id));
        EXPECT_EQ(
            outcome.addresses.ThumbUrl, c.expect == ImageOnly ? QString() : StoredAddress(host, 't', id));
        EXPECT_EQ(outcome.addresses.DeletionUrl.startsWith(StoredAddress(host, 'd', id) + u'/'),
            c.expect == WithDeletion)
            << outcome.addresses.DeletionUrl.toStdString();
        EXPECT_EQ(host.Stored(id).fileName, "photo.png");
        EXPECT_EQ(host.Stored(id).bytes, png);
    }
}
