// SPDX-License-Identifier: MIT
#include "tests/support/TempDir.h"
#include "upload/ServiceEngines.h"
#include "upload/UploadEngine.h"
#include "upload/testhost/TestHost.h"

#include <climits>
#include <gtest/gtest.h>
#include <typeinfo>

TEST(Selector, CreatesTheEngineOfEachServiceAndRejectsOthers)
{
    CUploadEngineSelector selector(ServersPart {});
    EXPECT_EQ(selector.Engine, nullptr);
    const std::type_info* types[] = {&typeid(CImageshackUploadEngine), &typeid(CKeep4uUploadEngine),
        &typeid(CRadikalUploadEngine), &typeid(CSmagesUploadEngine), &typeid(CIpictureUploadEngine)};
    for (int id = 0; id < 5; ++id) {
        ASSERT_TRUE(selector.Select(ServiceId(id)));
        ASSERT_NE(selector.Engine, nullptr);
        EXPECT_EQ(typeid(*selector.Engine), *types[id]);
    }
    for (const int bad : {5, -1, INT_MIN}) {
        ASSERT_TRUE(selector.Select(ServiceId(2)));
        EXPECT_FALSE(selector.Select(ServiceId(bad)));
        EXPECT_EQ(selector.Engine, nullptr);
        EXPECT_FALSE(selector.Upload(QStringLiteral("/nonexistent"), nullptr, nullptr, 150));
    }
}

TEST(Selector, HasServerThumbs)
{
    const std::pair<int, bool> cases[]
        = {{INT_MIN, false}, {-1, false}, {0, true}, {1, true}, {2, true}, {3, true}, {4, true}, {5, false}};
    for (const auto& [id, expected] : cases)
        EXPECT_EQ(CUploadEngineSelector::HasServerThumbs(ServiceId(id)), expected) << id;
}

TEST(Selector, UsesTheConfiguredHostAndPassesTheThumbSize)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    ServersPart servers;
    servers.Host[1] = host.HostText();
    CUploadEngineSelector selector(servers);
    ASSERT_TRUE(selector.Select(ServiceId(1)));
    QString image;
    ASSERT_TRUE(selector.Upload(dir.write("p.jpg", "x"), &image, nullptr, 321));
    EXPECT_EQ(selector.Engine->ThumbSize, 321);
    ASSERT_EQ(host.Requests().size(), 1);
    EXPECT_TRUE(host.Requests()[0].contains("name=\"preview_size\"\r\n\r\n321\r\n"));
    EXPECT_TRUE(image.startsWith(QStringLiteral("http://") + host.HostText()));
}
