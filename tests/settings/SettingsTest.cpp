// SPDX-License-Identifier: MIT
#include "settings/Settings.h"

#include "tests/support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// The stored defaults, byte for byte, in the order a save at exit writes them.
const char kDefaultFile[]
    = "[Image]\nMaxWidth=0\nMaxHeight=0\nKeepAsIs=0\nAddLogo=1\nAddText=1\nFormat=1\nQuality=80\n"
      "StripLocation=1\n"
      "\n[Logo]\nFilename=\nPosition=0\nTransparency=0\n"
      "\n[Text]\nText=Vellmar\nPosition=5\nColor=-1\nFont=Tahoma, 8, , 204\n"
      "\n[Main]\nCreateThumbs=1\nThumbWidth=160\nServerID=0\n"
      "\n[Thumbs]\nAddImageSize=1\nDrawFrame=1\nUserServerThumbs=0\nTextOverThumb=0\n"
      "Font=Tahoma, 7, b, 204\nFrameColor=7293440\nStrokeColor=0\nColor1=8214029\n"
      "Color2=16756230\nTextColor=16777215\n"
      "\n[History]\nKeep=1\n"
      "\n[VideoGrabber]\nColumns=3\nTileWidth=200\nGapWidth=5\nGapHeight=7\nNumOfFrames=8\n"
      "\n[Servers]\nHost0=imageshack.us\nHost1=keep4u.ru\nHost2=radikal.ru\n"
      "Host3=smages.com\nHost4=ipicture.ru\n";

} // namespace

TEST(Settings, FirstStartHasTheDefaultsAndAnExitWritesThem)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    Settings loaded;
    loaded.main.Image.MaxWidth = 99; // proves the load sets every field
    EXPECT_TRUE(LoadSettings(path, loaded).isEmpty());
    EXPECT_EQ(loaded, Settings());
    ASSERT_TRUE(SaveSettings(path, loaded));
    EXPECT_EQ(TestDir::read(path), QByteArray(kDefaultFile));

    // The screenshot dialog and the upload page write their own keys, and only those.
    ASSERT_TRUE(SaveSettings(path, loaded, SettingsGroup::Screenshot));
    ASSERT_TRUE(SaveSettings(path, loaded, SettingsGroup::Upload));
    EXPECT_EQ(TestDir::read(path),
        QByteArray(kDefaultFile)
            + "\n[Screenshot]\nFormat=0\nQuality=80\nDelay=4\nEntireScreen=1\n"
              "\n[Upload]\nCodetype=0\n");
}

TEST(Settings, RoundTripOfEveryKey)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    Settings s;
    s.main.Image = {1024, 768, true, false, false, ImageFormat::Webp, 55, false};
    // A session's profile file is never stored.
    s.main.Main
        = {false, 300, ServiceId::IPicture, QStringLiteral("My «host»"), QStringLiteral("/tmp/x.sxcu")};
    s.main.Thumbs = {true, false, false};
    s.appearance.Text = {StringToFont(u"DejaVu Serif,14,bi,1"), StampPosition::TopRight,
        QStringLiteral("  «Привет», мир = \"ok\"  "), 255};
    // The alpha is read at start only; it keeps its default.
    s.appearance.Thumbs = {StringToFont(u"DejaVu Sans,9,us,0"), 0x123456, 1, 2, 3, 4, 120, true};
    s.appearance.Logo = {StampPosition::BottomLeft, 42, QStringLiteral("/home/user/логотип.png")};
    s.video.VideoGrabber = {4, 150, 9, 11, 25, 100};
    s.screenshot = {ImageFormat::Png, 95, 30, false};
    s.upload.Codetype = CodeType::HtmlImages;
    s.servers.Host = {QStringLiteral("127.0.0.1:8080"), QStringLiteral("a.example"),
        QStringLiteral("b.example:81"), QStringLiteral("[::1]:8000"), QStringLiteral("c-d.example")};
    // A folder too long for a value is dropped rather than cut into another folder's name.
    s.folders
        = {QStringLiteral("/home/user/Картинки"), QStringLiteral("/mnt/видео"), u'/' + QString(300, u'x')};
    for (const SettingsGroup group :
        {SettingsGroup::AtExit, SettingsGroup::Screenshot, SettingsGroup::Upload})
        ASSERT_TRUE(SaveSettings(path, s, group));

    Settings loaded;
    LoadSettings(path, loaded);
    EXPECT_NE(loaded, s);
    s.main.Main.ServiceFile.clear();
    s.folders.Logo.clear();
    EXPECT_EQ(loaded, s);
    // A chosen profile, once named, stays in the file even when the choice goes back to a number.
    s.main.Main.Service.clear();
    ASSERT_TRUE(SaveSettings(path, s));
    EXPECT_TRUE(TestDir::read(path).contains("ServerID=4\nService=\n"));

    // A format of 0 is "by the source's extension".
    s.main.Image.Format.reset();
    ASSERT_TRUE(SaveSettings(path, s));
    LoadSettings(path, loaded);
    EXPECT_FALSE(loaded.main.Image.Format.has_value());
}

TEST(Settings, UnusableValuesGetDefaults)
{
    // Out of its range, or a choice that does not exist: the default. What is usable stands as read.
    // The file, and what stands of it beside the defaults.
    const std::pair<const char*, std::function<void(Settings&)>> cases[] = {
        {"[VideoGrabber]\nNumOfFrames=0\nQuality=0\n[Text]\nPosition=6\n[Logo]\nPosition=9\n"
         "[Thumbs]\nAlpha=256\n[Image]\nFormat=5\nQuality=150\nMaxWidth=-20\nKeepAsIs=7\n[Main]\nServerID=7\n"
         "[Screenshot]\nFormat=2\nQuality=-5\nDelay=31\n[Upload]\nCodetype=7\n",
            [](Settings& s) {
                s.video.VideoGrabber.Quality = 80; // not its default
                s.main.Image.MaxWidth = -20;
                s.main.Image.KeepAsIs = true; // any number but 0 is on
                s.main.Main.ServerID = ServiceId(7); // the upload reports a number that names no service
            }},
        {"[VideoGrabber]\nNumOfFrames=101\nQuality=101\n[Text]\nPosition=-1\n[Screenshot]\nDelay=0\n",
            [](Settings& s) { s.video.VideoGrabber.Quality = 80; }},
        // Fonts keep what a font string gives them; a host that could not name a server is not taken.
        {"[Text]\nFont=Verdana,\n[Thumbs]\nFont=\n"
         "[Servers]\nHost0=bad host\nHost1=x.example:70000\nHost2=x/y\nHost3=\nHost4=127.0.0.1:1\n",
            [](Settings& s) {
                s.appearance.Text.Font = StringToFont(u"Verdana, 10, , 0");
                s.appearance.Thumbs.Font = StringToFont(u"Ms Sans Serif, 10, , 0");
                s.servers.Host[4] = QStringLiteral("127.0.0.1:1");
            }},
        {"[VideoGrabber]\nNumOfFrames=100\nQuality=1\n[Thumbs]\nAlpha=255\n"
         "[Screenshot]\nDelay=30\nQuality=0\n",
            [](Settings& s) {
                s.video.VideoGrabber = {3, 200, 5, 7, 100, 1};
                s.appearance.Thumbs.Alpha = 255;
                s.screenshot.Delay = 30;
                s.screenshot.Quality = 0;
            }},
    };
    for (const auto& [file, stands] : cases) {
        TestDir dir;
        Settings loaded;
        LoadSettings(dir.write(QStringLiteral("vellmar.ini"), file), loaded);
        Settings expected;
        stands(expected);
        EXPECT_EQ(loaded, expected) << file;
    }
}
