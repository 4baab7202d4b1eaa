// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Fonts.h"
#include "settings/IniFile.h"

#include <QString>
#include <array>

// The settings record. Members are named after their INI keys, grouped by INI section,
// so `main.Image.MaxWidth` is the key MaxWidth of section [Image]. The record has three
// parts that pages copy as wholes, plus the host names of the five services.

struct MainPart
{
    struct ImageKeys
    {
        int MaxWidth = 0; ///< 0 or less: no width bound
        int MaxHeight = 0; ///< 0 or less: no height bound
        int KeepAsIs = 0; ///< upload the original file untouched
        int AddLogo = 1;
        int AddText = 1;
        int Format = 1; ///< 0 by source extension, 1 JPEG, 2 PNG, 3 GIF
        int Quality = 80; ///< JPEG quality in percent

        bool operator==(const ImageKeys&) const = default;
    } Image;
    struct MainKeys
    {
        int CreateThumbs = 1;
        int ThumbWidth = 160;
        int ServerID = 0; ///< index of the hosting service

        bool operator==(const MainKeys&) const = default;
    } Main;
    struct ThumbsKeys
    {
        int UserServerThumbs = 0; ///< written on save, 0 at every start
        int DrawFrame = 1;
        int AddImageSize = 1;

        bool operator==(const ThumbsKeys&) const = default;
    } Thumbs;
    int KeepProportions = 1; ///< not stored; 1 at every start

    bool operator==(const MainPart&) const = default;
};

struct AppearancePart
{
    struct TextKeys
    {
        LogFont Font; ///< "Tahoma,8,,204"
        int Position = 5; ///< 0..5, see the stamp positions
        QString Text = QStringLiteral("Vellmar");
        int Color = -1; ///< colour reference, white

        bool operator==(const TextKeys&) const = default;
    } Text;
    struct ThumbsKeys
    {
        LogFont Font; ///< "Tahoma,7,b,204"
        int StrokeColor = 0; ///< outline of the stamped text
        int FrameColor = 7293440;
        int Color1 = 8214029; ///< caption bar, top
        int Color2 = 16756230; ///< caption bar, bottom
        int TextColor = 16777215;
        int Alpha = 120; ///< 0..255; read, never written
        int TextOverThumb = 0;

        bool operator==(const ThumbsKeys&) const = default;
    } Thumbs;
    struct LogoKeys
    {
        int Position = 0; ///< 0..5
        int Transparency = 0; ///< kept for the file; nothing draws with it
        QString Filename;

        bool operator==(const LogoKeys&) const = default;
    } Logo;

    AppearancePart();
    bool operator==(const AppearancePart&) const = default;
};

struct VideoPart
{
    struct VideoGrabberKeys
    {
        int Columns = 3;
        int TileWidth = 200;
        int GapWidth = 5;
        int GapHeight = 7;
        int NumOfFrames = 8; ///< 1..100
        int Quality = 100; ///< 1..100; read, never written

        bool operator==(const VideoGrabberKeys&) const = default;
    } VideoGrabber;

    bool operator==(const VideoPart&) const = default;
};

inline constexpr int kServiceCount = 5;

/// Host names of the five services, each "name" or "name:port".
struct ServersPart
{
    std::array<QString, kServiceCount> Host {
        QStringLiteral("imageshack.us"),
        QStringLiteral("keep4u.ru"),
        QStringLiteral("radikal.ru"),
        QStringLiteral("smages.com"),
        QStringLiteral("ipicture.ru"),
    };

    bool operator==(const ServersPart&) const = default;
};

/// True for "name" or "name:port" that can name an HTTP server.
bool IsValidHost(const QString& host);

struct Settings
{
    MainPart main;
    AppearancePart appearance;
    VideoPart video;
    ServersPart servers;

    bool operator==(const Settings&) const = default;
};

/// Fills `settings` from the file; missing keys and unusable values get their defaults. Returns
/// why the file could not be used (too large, unreadable), empty when it was read or is missing.
QString LoadSettings(const QString& iniPath, Settings& settings);
/// Writes every stored key, keeping the rest of the file as it was. On failure the old file
/// stays whole and the result says why.
IoResult SaveSettings(const QString& iniPath, const Settings& settings);

/// Values that live in the file but not in the record.
struct ScreenshotSettings
{
    int Format = 0; ///< 0 JPEG, 1 PNG
    int Quality = 80;
    int Delay = 4; ///< seconds, 1..30
    int EntireScreen = 1;
};
ScreenshotSettings LoadScreenshotSettings(const QString& iniPath);
IoResult SaveScreenshotSettings(const QString& iniPath, const ScreenshotSettings& values);
