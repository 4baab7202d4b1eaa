// SPDX-License-Identifier: MIT
#include "settings/Settings.h"

#include <QRegularExpression>
#include <climits>
#include <functional>
#include <limits>
#include <type_traits>

namespace {

// One stored setting: how it is read into the record and written from it. Reads never fail;
// a missing key or an unusable value leaves the default of a default-constructed record.
struct Key
{
    const char* name;
    SettingsGroup group;
    bool stored = true; ///< false: read at start, never written
    bool optional = false; ///< an empty value is written only over one the file already has
    std::function<void(const IniDocument&, QStringView section, QStringView key, Settings&)> read;
    std::function<QString(const Settings&)> write;
};

// A key's reader and writer reach its field through one accessor: a lambda that takes the record
// as `auto&` and gives the field's address, so that the writer reads a const record.

struct Range
{
    int min = std::numeric_limits<int>::min();
    int max = std::numeric_limits<int>::max();
    std::optional<int> fallback {}; ///< for a value outside the range; the default when none
};

template<class F>
Key Integer(const char* name, F field, Range range = {}, SettingsGroup group = SettingsGroup::AtExit)
{
    Key key {name, group};
    key.read = [field, range](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
        const int fallback = *field(s);
        const int value = doc.GetInt(section, name, fallback);
        *field(s) = value < range.min || value > range.max ? range.fallback.value_or(fallback) : value;
    };
    key.write = [field](const Settings& s) { return QString::number(*field(s)); };
    return key;
}

// Any value other than 0 is on; written as 0 or 1.
template<class F> Key Flag(const char* name, F field, SettingsGroup group = SettingsGroup::AtExit)
{
    Key key {name, group};
    key.read = [field](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
        *field(s) = doc.GetInt(section, name, *field(s) ? 1 : 0) != 0;
    };
    key.write = [field](const Settings& s) { return QString::number(*field(s) ? 1 : 0); };
    return key;
}

// A choice stored as its number; numbers outside the choices leave the default.
template<class F>
Key Choice(const char* name, F field, int count, SettingsGroup group = SettingsGroup::AtExit)
{
    Key key {name, group};
    key.read = [field, count](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
        using E = std::remove_reference_t<decltype(*field(s))>;
        const int value = doc.GetInt(section, name, static_cast<int>(*field(s)));
        if (value >= 0 && value < count)
            *field(s) = static_cast<E>(value);
    };
    key.write = [field](const Settings& s) { return QString::number(static_cast<int>(*field(s))); };
    return key;
}

// An enumeration whose every number is kept, known to it or not.
template<class F> Key Number(const char* name, F field)
{
    Key key {name, SettingsGroup::AtExit};
    key.read = [field](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
        using E = std::remove_reference_t<decltype(*field(s))>;
        *field(s) = static_cast<E>(doc.GetInt(section, name, static_cast<int>(*field(s))));
    };
    key.write = [field](const Settings& s) { return QString::number(static_cast<int>(*field(s))); };
    return key;
}

template<class F> Key Text(const char* name, F field, bool (*valid)(const QString&) = nullptr)
{
    Key key {name, SettingsGroup::AtExit};
    key.read = [field, valid](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
        const QString value = doc.GetString(section, name, *field(s));
        if (!valid || valid(value))
            *field(s) = value;
    };
    key.write = [field](const Settings& s) { return field(s)->left(255); };
    return key;
}

template<class F> Key Font(const char* name, F field, const char* defaultText)
{
    Key key {name, SettingsGroup::AtExit};
    key.read
        = [field, defaultText](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
              *field(s) = StringToFont(doc.GetString(section, name, QString::fromLatin1(defaultText)));
          };
    key.write = [field](const Settings& s) { return FontToString(*field(s)); };
    return key;
}

Key ReadOnly(Key key)
{
    key.stored = false;
    return key;
}

// A key newer than most files: a file that never used it is written without it.
Key Optional(Key key)
{
    key.optional = true;
    return key;
}

// A folder too long for a value is not kept: cut short, it would name another folder.
template<class F> Key Folder(const char* name, F field)
{
    Key key = Optional(Text(name, field));
    key.write = [field](const Settings& s) { return field(s)->size() > 255 ? QString() : *field(s); };
    return key;
}

const char kTextFontDefault[] = "Tahoma,8,,204";
const char kThumbsFontDefault[] = "Tahoma,7,b,204";

// Every key, in the order in which a save at exit writes them; reading order does not matter.
const std::vector<Key>& Keys()
{
    using G = SettingsGroup;
    static const std::vector<Key> keys = {
        Integer("Image.MaxWidth", [](auto& s) { return &s.main.Image.MaxWidth; }),
        Integer("Image.MaxHeight", [](auto& s) { return &s.main.Image.MaxHeight; }),
        Flag("Image.KeepAsIs", [](auto& s) { return &s.main.Image.KeepAsIs; }),
        Flag("Image.AddLogo", [](auto& s) { return &s.main.Image.AddLogo; }),
        Flag("Image.AddText", [](auto& s) { return &s.main.Image.AddText; }),
        // 0 by the source's extension, 1 JPEG, 2 PNG, 3 GIF, 4 WebP.
        [] {
            Key key {"Image.Format", G::AtExit};
            key.read = [](const IniDocument& doc, QStringView section, QStringView name, Settings& s) {
                const int value = doc.GetInt(section, name, 1);
                if (value == 0)
                    s.main.Image.Format.reset();
                else if (value >= 1 && value <= 4)
                    s.main.Image.Format = static_cast<ImageFormat>(value - 1);
            };
            key.write = [](const Settings& s) {
                return QString::number(s.main.Image.Format ? static_cast<int>(*s.main.Image.Format) + 1 : 0);
            };
            return key;
        }(),
        Integer("Image.Quality", [](auto& s) { return &s.main.Image.Quality; }, {0, 100}),
        Flag("Image.StripLocation", [](auto& s) { return &s.main.Image.StripLocation; }),
        Text("Logo.Filename", [](auto& s) { return &s.appearance.Logo.Filename; }),
        Choice(
            "Logo.Position", [](auto& s) { return &s.appearance.Logo.Position; }, 6),
        Integer("Logo.Transparency", [](auto& s) { return &s.appearance.Logo.Transparency; }),
        Text("Text.Text", [](auto& s) { return &s.appearance.Text.Text; }),
        Choice(
            "Text.Position", [](auto& s) { return &s.appearance.Text.Position; }, 6),
        Integer("Text.Color", [](auto& s) { return &s.appearance.Text.Color; }),
        Font(
            "Text.Font", [](auto& s) { return &s.appearance.Text.Font; }, kTextFontDefault),
        Flag("Main.CreateThumbs", [](auto& s) { return &s.main.Main.CreateThumbs; }),
        Integer("Main.ThumbWidth", [](auto& s) { return &s.main.Main.ThumbWidth; }),
        // Any number is kept: the upload tells the user about one that names no service.
        Number("Main.ServerID", [](auto& s) { return &s.main.Main.ServerID; }),
        Optional(Text("Main.Service", [](auto& s) { return &s.main.Main.Service; })),
        Flag("Thumbs.AddImageSize", [](auto& s) { return &s.main.Thumbs.AddImageSize; }),
        Flag("Thumbs.DrawFrame", [](auto& s) { return &s.main.Thumbs.DrawFrame; }),
        Flag("Thumbs.UserServerThumbs", [](auto& s) { return &s.main.Thumbs.UserServerThumbs; }),
        Flag("Thumbs.TextOverThumb", [](auto& s) { return &s.appearance.Thumbs.TextOverThumb; }),
        Font(
            "Thumbs.Font", [](auto& s) { return &s.appearance.Thumbs.Font; }, kThumbsFontDefault),
        Integer("Thumbs.FrameColor", [](auto& s) { return &s.appearance.Thumbs.FrameColor; }),
        Integer("Thumbs.StrokeColor", [](auto& s) { return &s.appearance.Thumbs.StrokeColor; }),
        Integer("Thumbs.Color1", [](auto& s) { return &s.appearance.Thumbs.Color1; }),
        Integer("Thumbs.Color2", [](auto& s) { return &s.appearance.Thumbs.Color2; }),
        Integer("Thumbs.TextColor", [](auto& s) { return &s.appearance.Thumbs.TextColor; }),
        Flag("History.Keep", [](auto& s) { return &s.main.History.Keep; }),
        ReadOnly(Integer("Thumbs.Alpha", [](auto& s) { return &s.appearance.Thumbs.Alpha; }, {0, 255})),
        Integer("VideoGrabber.Columns", [](auto& s) { return &s.video.VideoGrabber.Columns; }),
        Integer("VideoGrabber.TileWidth", [](auto& s) { return &s.video.VideoGrabber.TileWidth; }),
        Integer("VideoGrabber.GapWidth", [](auto& s) { return &s.video.VideoGrabber.GapWidth; }),
        Integer("VideoGrabber.GapHeight", [](auto& s) { return &s.video.VideoGrabber.GapHeight; }),
        Integer(
            "VideoGrabber.NumOfFrames", [](auto& s) { return &s.video.VideoGrabber.NumOfFrames; }, {1, 100}),
        ReadOnly(Integer(
            "VideoGrabber.Quality", [](auto& s) { return &s.video.VideoGrabber.Quality; }, {1, 100, 80})),
        Text(
            "Servers.Host0", [](auto& s) { return &s.servers.Host[0]; }, IsValidHost),
        Text(
            "Servers.Host1", [](auto& s) { return &s.servers.Host[1]; }, IsValidHost),
        Text(
            "Servers.Host2", [](auto& s) { return &s.servers.Host[2]; }, IsValidHost),
        Text(
            "Servers.Host3", [](auto& s) { return &s.servers.Host[3]; }, IsValidHost),
        Text(
            "Servers.Host4", [](auto& s) { return &s.servers.Host[4]; }, IsValidHost),
        Folder("Folders.Images", [](auto& s) { return &s.folders.Images; }),
        Folder("Folders.Video", [](auto& s) { return &s.folders.Video; }),
        Folder("Folders.Logo", [](auto& s) { return &s.folders.Logo; }),
        // Written by their owners when they are used, not at exit.
        Choice(
            "Screenshot.Format", [](auto& s) { return &s.screenshot.Format; }, 2, G::Screenshot),
        Integer(
            "Screenshot.Quality", [](auto& s) { return &s.screenshot.Quality; }, {0, INT_MAX, 80},
            G::Screenshot),
        Integer(
            "Screenshot.Delay", [](auto& s) { return &s.screenshot.Delay; }, {1, 30, 4}, G::Screenshot),
        Flag(
            "Screenshot.EntireScreen", [](auto& s) { return &s.screenshot.EntireScreen; }, G::Screenshot),
        Choice(
            "Upload.Codetype", [](auto& s) { return &s.upload.Codetype; }, kCodeTypeCount, G::Upload),
    };
    return keys;
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
    Text.Font = StringToFont(QString::fromLatin1(kTextFontDefault));
    Thumbs.Font = StringToFont(QString::fromLatin1(kThumbsFontDefault));
}

QString LoadSettings(const QString& iniPath, Settings& settings)
{
    const IniDocument doc = IniDocument::Load(iniPath);
    settings = Settings();
    for (const Key& key : Keys()) {
        const QString name = QString::fromLatin1(key.name);
        key.read(doc, SectionOf(name), KeyOf(name), settings);
    }
    // Never stored: on in every run.
    settings.main.KeepProportions = true;
    return doc.Problem();
}

IoResult SaveSettings(const QString& iniPath, const Settings& settings, SettingsGroup group)
{
    IniDocument doc = IniDocument::Load(iniPath);
    for (const Key& key : Keys()) {
        if (!key.stored || key.group != group)
            continue;
        const QString name = QString::fromLatin1(key.name);
        const QString value = key.write(settings);
        if (key.optional && value.isEmpty() && !doc.Has(SectionOf(name), KeyOf(name)))
            continue;
        doc.SetString(SectionOf(name), KeyOf(name), value);
    }
    return doc.Save(iniPath);
}
