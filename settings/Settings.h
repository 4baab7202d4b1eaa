// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Fonts.h"
#include "settings/IniFile.h"

#include <QString>
#include <array>
#include <optional>

// The settings record. Members are named after their INI keys, grouped by INI section, so
// `main.Image.MaxWidth` is the key MaxWidth of section [Image]. The record has three parts
// that pages copy as wholes, the values of the screenshot dialog and the upload page, and the
// host names of the five services. Choices are typed here and numbers only in the file.

/// The format a picture is written in.
enum class ImageFormat { Jpeg, Png, Gif, Webp };

/// Where a stamp goes on the picture.
enum class StampPosition { TopLeft, TopCenter, TopRight, BottomLeft, BottomCenter, BottomRight };

/// The code the upload page builds from the addresses, in the order of its list.
enum class CodeType {
    BbThumbnailTable,
    BbThumbnails,
    BbImages,
    BbLinks,
    PlainLinks,
    HtmlThumbnailTable,
    HtmlImages,
};
inline constexpr int kCodeTypeCount = 7;

/// A hosting service by its number; a number no service has can be stored (and is then refused
/// by the upload, which says so).
enum class ServiceId : int { ImageShack, Keep4u, Radikal, Smages, IPicture };
inline constexpr int kServiceCount = 5;

struct MainPart
{
    struct ImageKeys
    {
        int MaxWidth = 0; ///< 0 or less: no width bound
        int MaxHeight = 0; ///< 0 or less: no height bound
        bool KeepAsIs = false; ///< upload the original file untouched
        bool AddLogo = true;
        bool AddText = true;
        /// None: the format the source file's extension names.
        std::optional<ImageFormat> Format = ImageFormat::Jpeg;
        int Quality = 80; ///< JPEG and WebP quality in percent
        /// A picture sent as it is goes without its GPS position, where that can be removed.
        bool StripLocation = true;

        bool operator==(const ImageKeys&) const = default;
    } Image;
    struct MainKeys
    {
        bool CreateThumbs = true;
        int ThumbWidth = 160;
        ServiceId ServerID = ServiceId::ImageShack;
        /// A service the user described, by its name; empty: the service of ServerID.
        QString Service;
        /// A profile file chosen for this session only (from the command line); never stored.
        QString ServiceFile;

        bool operator==(const MainKeys&) const = default;
    } Main;
    struct ThumbsKeys
    {
        bool UserServerThumbs = false; ///< the service makes the thumbnails, not the program
        bool DrawFrame = true;
        bool AddImageSize = true;

        bool operator==(const ThumbsKeys&) const = default;
    } Thumbs;
    struct HistoryKeys
    {
        bool Keep = true; ///< every uploaded file is kept in the upload history

        bool operator==(const HistoryKeys&) const = default;
    } History;
    bool KeepProportions = true; ///< not stored; on at every start

    bool operator==(const MainPart&) const = default;
};

struct AppearancePart
{
    struct TextKeys
    {
        LogFont Font; ///< "Tahoma,8,,204"
        StampPosition Position = StampPosition::BottomRight;
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
        bool TextOverThumb = false;

        bool operator==(const ThumbsKeys&) const = default;
    } Thumbs;
    struct LogoKeys
    {
        StampPosition Position = StampPosition::TopLeft;
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

/// The screenshot dialog's choices; stored after each successful capture.
struct ScreenshotPart
{
    ImageFormat Format = ImageFormat::Jpeg; ///< JPEG or PNG
    int Quality = 80;
    int Delay = 4; ///< seconds, 1..30
    bool EntireScreen = true; ///< or the active window

    bool operator==(const ScreenshotPart&) const = default;
};

/// The upload page's choice; stored when the page is left.
struct UploadPart
{
    CodeType Codetype = CodeType::BbThumbnailTable;

    bool operator==(const UploadPart&) const = default;
};

/// The folders the file dialogs were last confirmed in; each opens there next time.
struct FoldersPart
{
    QString Images;
    QString Video;
    QString Logo;

    bool operator==(const FoldersPart&) const = default;
};

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
    ScreenshotPart screenshot;
    UploadPart upload;
    ServersPart servers;
    FoldersPart folders;

    bool operator==(const Settings&) const = default;
};

/// Which keys a save writes: all that are written at exit, or those of one owner, which writes
/// its own values at other moments (the screenshot dialog after a capture, the upload page
/// when it is left).
enum class SettingsGroup { AtExit, Screenshot, Upload };

/// Fills `settings` from the file; missing keys and unusable values get their defaults. Returns
/// why the file could not be used (too large, unreadable), empty when it was read or is missing.
QString LoadSettings(const QString& iniPath, Settings& settings);
/// Writes the keys of `group`, keeping the rest of the file as it was. On failure the old file
/// stays whole and the result says why.
IoResult SaveSettings(
    const QString& iniPath, const Settings& settings, SettingsGroup group = SettingsGroup::AtExit);
