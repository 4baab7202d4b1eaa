// SPDX-License-Identifier: MIT
#include "settings/Settings.h"

#include "settings/IniFile.h"

#include <QRegularExpression>
#include <limits>
#include <optional>

namespace {

const QString kTextFontDefault = QStringLiteral("Tahoma,8,,204");
const QString kThumbsFontDefault = QStringLiteral("Tahoma,7,b,204");

enum KeyFlags { Load = 1, Store = 2, Both = Load | Store };

// One stored setting. Defaults are those of a default-constructed record; `min`..`max`
// bound the value, and a value outside them becomes `fallback` (the default unless stated).
struct Key
{
    const char* name;
    int flags;
    int* (*integer)(Settings&) = nullptr;
    QString* (*text)(Settings&) = nullptr;
    LogFont* (*font)(Settings&) = nullptr;
    const QString* fontDefault = nullptr;
    int min = std::numeric_limits<int>::min();
    int max = std::numeric_limits<int>::max();
    std::optional<int> fallback {};
};

// In the order in which they are written; reading order does not matter.
const Key kKeys[] = {
    {.name = "Image.MaxWidth", .flags = Both, .integer = [](Settings& s) { return &s.main.Image.MaxWidth; }},
    {.name = "Image.MaxHeight",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Image.MaxHeight; }},
    {.name = "Image.KeepAsIs", .flags = Both, .integer = [](Settings& s) { return &s.main.Image.KeepAsIs; }},
    {.name = "Image.AddLogo", .flags = Both, .integer = [](Settings& s) { return &s.main.Image.AddLogo; }},
    {.name = "Image.AddText", .flags = Both, .integer = [](Settings& s) { return &s.main.Image.AddText; }},
    {.name = "Image.Format",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Image.Format; },
        .min = 0,
        .max = 3},
    {.name = "Image.Quality",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Image.Quality; },
        .min = 0,
        .max = 100},
    {.name = "Logo.Filename", .flags = Both, .text = [](Settings& s) { return &s.appearance.Logo.Filename; }},
    {.name = "Logo.Position",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Logo.Position; },
        .min = 0,
        .max = 5},
    {.name = "Logo.Transparency",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Logo.Transparency; }},
    {.name = "Text.Text", .flags = Both, .text = [](Settings& s) { return &s.appearance.Text.Text; }},
    {.name = "Text.Position",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Text.Position; },
        .min = 0,
        .max = 5},
    {.name = "Text.Color", .flags = Both, .integer = [](Settings& s) { return &s.appearance.Text.Color; }},
    {.name = "Text.Font",
        .flags = Both,
        .font = [](Settings& s) { return &s.appearance.Text.Font; },
        .fontDefault = &kTextFontDefault},
    {.name = "Main.CreateThumbs",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Main.CreateThumbs; }},
    {.name = "Main.ThumbWidth",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Main.ThumbWidth; }},
    {.name = "Main.ServerID", .flags = Both, .integer = [](Settings& s) { return &s.main.Main.ServerID; }},
    {.name = "Thumbs.AddImageSize",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Thumbs.AddImageSize; }},
    {.name = "Thumbs.DrawFrame",
        .flags = Both,
        .integer = [](Settings& s) { return &s.main.Thumbs.DrawFrame; }},
    {.name = "Thumbs.UserServerThumbs",
        .flags = Store,
        .integer = [](Settings& s) { return &s.main.Thumbs.UserServerThumbs; }},
    {.name = "Thumbs.TextOverThumb",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.TextOverThumb; }},
    {.name = "Thumbs.Font",
        .flags = Both,
        .font = [](Settings& s) { return &s.appearance.Thumbs.Font; },
        .fontDefault = &kThumbsFontDefault},
    {.name = "Thumbs.FrameColor",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.FrameColor; }},
    {.name = "Thumbs.StrokeColor",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.StrokeColor; }},
    {.name = "Thumbs.Color1",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.Color1; }},
    {.name = "Thumbs.Color2",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.Color2; }},
    {.name = "Thumbs.TextColor",
        .flags = Both,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.TextColor; }},
    {.name = "Thumbs.Alpha",
        .flags = Load,
        .integer = [](Settings& s) { return &s.appearance.Thumbs.Alpha; },
        .min = 0,
        .max = 255},
    {.name = "VideoGrabber.Columns",
        .flags = Both,
        .integer = [](Settings& s) { return &s.video.VideoGrabber.Columns; }},
    {.name = "VideoGrabber.TileWidth",
        .flags = Both,
        .integer = [](Settings& s) { return &s.video.VideoGrabber.TileWidth; }},
    {.name = "VideoGrabber.GapWidth",
        .flags = Both,
        .integer = [](Settings& s) { return &s.video.VideoGrabber.GapWidth; }},
    {.name = "VideoGrabber.GapHeight",
        .flags = Both,
        .integer = [](Settings& s) { return &s.video.VideoGrabber.GapHeight; }},
    {.name = "VideoGrabber.NumOfFrames",
        .flags = Both,
        .integer = [](Settings& s) { return &s.video.VideoGrabber.NumOfFrames; },
        .min = 1,
        .max = 100},
    {.name = "VideoGrabber.Quality",
        .flags = Load,
        .integer = [](Settings& s) { return &s.video.VideoGrabber.Quality; },
        .min = 1,
        .max = 100,
        .fallback = 80},
    {.name = "Servers.Host0", .flags = Both, .text = [](Settings& s) { return &s.servers.Host[0]; }},
    {.name = "Servers.Host1", .flags = Both, .text = [](Settings& s) { return &s.servers.Host[1]; }},
    {.name = "Servers.Host2", .flags = Both, .text = [](Settings& s) { return &s.servers.Host[2]; }},
    {.name = "Servers.Host3", .flags = Both, .text = [](Settings& s) { return &s.servers.Host[3]; }},
    {.name = "Servers.Host4", .flags = Both, .text = [](Settings& s) { return &s.servers.Host[4]; }},
};

bool IsHostKey(const Key& key)
{
    return QByteArrayView(key.name).startsWith("Servers.");
}

} // namespace

// "name" or "name:port": a host name, an IPv4 address or a bracketed IPv6 address, and a port
// from 1 to 65535. Anything else could not name a server, or would end up inside a URL or a header.
bool IsValidHost(const QString& host)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(?:[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?|\\[[0-9A-Fa-f:.]+\\])(?::(\\d{1,5}))?$"));
    const QRegularExpressionMatch match = pattern.match(host);
    if (!match.hasMatch())
        return false;
    if (match.hasCaptured(1)) {
        const int port = match.captured(1).toInt();
        return port >= 1 && port <= 65535;
    }
    return true;
}

AppearancePart::AppearancePart()
{
    Text.Font = StringToFont(kTextFontDefault);
    Thumbs.Font = StringToFont(kThumbsFontDefault);
}

QString LoadSettings(const QString& iniPath, Settings& settings)
{
    const IniDocument doc = IniDocument::Load(iniPath);
    Settings defaults;
    for (const Key& key : kKeys) {
        if (!(key.flags & Load))
            continue;
        const QString section = SectionOf(QString::fromLatin1(key.name));
        const QString name = KeyOf(QString::fromLatin1(key.name));
        if (key.integer) {
            const int fallback = *key.integer(defaults);
            int value = doc.GetInt(section, name, fallback);
            if (value < key.min || value > key.max)
                value = key.fallback.value_or(fallback);
            *key.integer(settings) = value;
        } else if (key.text) {
            const QString fallback = *key.text(defaults);
            QString value = doc.GetString(section, name, fallback);
            if (IsHostKey(key) && !IsValidHost(value))
                value = fallback;
            *key.text(settings) = value;
        } else if (key.font) {
            *key.font(settings) = StringToFont(doc.GetString(section, name, *key.fontDefault));
        }
    }
    // Never read back: the user chooses it anew in every run.
    settings.main.Thumbs.UserServerThumbs = 0;
    settings.main.KeepProportions = 1;
    return doc.Problem();
}

IoResult SaveSettings(const QString& iniPath, const Settings& saved)
{
    // The key table reaches fields through mutable accessors; a copy keeps the caller's record as it is.
    Settings settings = saved;
    IniDocument doc = IniDocument::Load(iniPath);
    for (const Key& key : kKeys) {
        if (!(key.flags & Store))
            continue;
        const QString section = SectionOf(QString::fromLatin1(key.name));
        const QString name = KeyOf(QString::fromLatin1(key.name));
        if (key.integer)
            doc.SetString(section, name, QString::number(*key.integer(settings)));
        else if (key.text)
            doc.SetString(section, name, key.text(settings)->left(255));
        else if (key.font)
            doc.SetString(section, name, FontToString(*key.font(settings)));
    }
    return doc.Save(iniPath);
}

ScreenshotSettings LoadScreenshotSettings(const QString& iniPath)
{
    const IniDocument doc = IniDocument::Load(iniPath);
    ScreenshotSettings values;
    values.Format = doc.GetInt(u"Screenshot", u"Format", 0);
    if (values.Format < 0 || values.Format > 1)
        values.Format = 0;
    values.Quality = doc.GetInt(u"Screenshot", u"Quality", 80);
    if (values.Quality < 0)
        values.Quality = 80;
    values.Delay = doc.GetInt(u"Screenshot", u"Delay", 4);
    if (values.Delay < 1 || values.Delay > 30)
        values.Delay = 4;
    values.EntireScreen = doc.GetInt(u"Screenshot", u"EntireScreen", 1);
    return values;
}

IoResult SaveScreenshotSettings(const QString& iniPath, const ScreenshotSettings& values)
{
    IniDocument doc = IniDocument::Load(iniPath);
    doc.SetString(u"Screenshot", u"Format", QString::number(values.Format));
    doc.SetString(u"Screenshot", u"Quality", QString::number(values.Quality));
    doc.SetString(u"Screenshot", u"Delay", QString::number(values.Delay));
    doc.SetString(u"Screenshot", u"EntireScreen", QString::number(values.EntireScreen));
    return doc.Save(iniPath);
}
