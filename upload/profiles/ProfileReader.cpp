// SPDX-License-Identifier: MIT
// Reading a custom-uploader file into a service profile, and writing one back.
#include "upload/profiles/JsonText.h"
#include "upload/profiles/OldSyntax.h"
#include "upload/profiles/ServiceProfile.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QUrl>
#include <QVersionNumber>
#include <algorithm>

namespace {

const QStringList kMethods
    = {QStringLiteral("POST"), QStringLiteral("PUT"), QStringLiteral("PATCH"), QStringLiteral("GET")};

struct BodyName
{
    QLatin1StringView name;
    ProfileBody body;
};
constexpr BodyName kBodies[] = {
    {QLatin1StringView("None"), ProfileBody::None},
    {QLatin1StringView("MultipartFormData"), ProfileBody::MultipartForm},
    {QLatin1StringView("FormURLEncoded"), ProfileBody::FormUrlEncoded},
    {QLatin1StringView("JSON"), ProfileBody::Json},
    {QLatin1StringView("Binary"), ProfileBody::Binary},
};

QString KindName(JsonValue::Kind kind)
{
    switch (kind) {
    case JsonValue::Kind::Null:
        return QStringLiteral("null");
    case JsonValue::Kind::Bool:
        return QStringLiteral("true or false");
    case JsonValue::Kind::Number:
        return QStringLiteral("a number");
    case JsonValue::Kind::String:
        return QStringLiteral("a text");
    case JsonValue::Kind::Array:
        return QStringLiteral("a list");
    case JsonValue::Kind::Object:
        return QStringLiteral("an object");
    }
    return {};
}

bool HasControl(const QString& text)
{
    return std::any_of(
        text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool IsFormName(const QString& name)
{
    return !HasControl(name) && !name.contains(u'"');
}

// The older syntax wrote dynamic values as $name:argument$ and listed regular expressions apart.
bool LooksLikeOldSyntax(const QString& text)
{
    static const QRegularExpression old(
        QStringLiteral(
            R"(\$(json|xml|regex|header|random|base64|filename|input|response|responseurl)(:[^$]*)?\$)"),
        QRegularExpression::CaseInsensitiveOption);
    return old.match(text).hasMatch();
}

// A UTF-16 file (behind its byte-order mark) as UTF-8, so that lines stay where they were.
QByteArray AsUtf8(const QByteArray& text)
{
    const bool little = text.startsWith("\xFF\xFE");
    if (!little && !text.startsWith("\xFE\xFF"))
        return text;
    QStringDecoder decode(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    return QString(decode(QByteArrayView(text).sliced(2))).toUtf8();
}

class ProfileReader
{
public:
    // `oldSyntaxRefused`: the file's version is not one whose $name$ values are converted.
    ProfileReader(const JsonValue& root, bool oldSyntaxRefused)
        : m_root(root)
        , m_refuseOld(oldSyntaxRefused)
    { }

    ProfileRead Read()
    {
        ProfileRead read;
        ServiceProfile& p = read.profile;
        QSet<QString> seen;
        for (const JsonMember& member : m_root.members) {
            if (seen.contains(member.name))
                Fail(member.value.line, member.name, QStringLiteral("given twice"));
            seen.insert(member.name);
        }
        const QString version = Text(u"Version");
        if (m_refuseOld && m_root.Member(u"RegexList"))
            FailOld(*m_root.Member(u"RegexList"), QStringLiteral("RegexList"));
        p.name = Text(u"Name").trimmed();
        if (HasControl(p.name))
            Fail(Field(u"Name", JsonValue::Kind::String)->line, QStringLiteral("Name"),
                QStringLiteral("holds a control character"));
        if (const JsonValue* type = Field(u"DestinationType", JsonValue::Kind::String); type
            && !type->text.contains(QLatin1String("ImageUploader"))
            && !type->text.contains(QLatin1String("FileUploader")))
            Fail(type->line, QStringLiteral("DestinationType"),
                QStringLiteral("the service takes no pictures or files (%1)").arg(type->text));
        if (const JsonValue* method = Field(u"RequestMethod", JsonValue::Kind::String)) {
            p.method = method->text.toUpper();
            if (!kMethods.contains(p.method))
                Fail(method->line, QStringLiteral("RequestMethod"),
                    QStringLiteral("unknown method \"%1\"; one of POST, PUT, PATCH, GET").arg(method->text));
        }
        p.requestUrl = Dynamic(u"RequestURL");
        if (const JsonValue* url = Field(u"RequestURL", JsonValue::Kind::String); !url && Ok())
            Fail(m_root.line, QStringLiteral("RequestURL"),
                QStringLiteral("missing; the service's address is needed"));
        else if (url && Ok() && !url->text.contains(u'{')) {
            const QUrl parsed(url->text, QUrl::StrictMode);
            const QString scheme = parsed.scheme().toLower();
            if (!parsed.isValid() || parsed.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
                Fail(url->line, QStringLiteral("RequestURL"), QStringLiteral("not an http or https address"));
        }
        if (p.name.isEmpty())
            p.name = QUrl(p.requestUrl).host();
        p.parameters = Entries(u"Parameters");
        p.headers = Entries(u"Headers");
        p.arguments = Entries(u"Arguments");
        p.body = ProfileBody::MultipartForm;
        if (const JsonValue* body = Field(u"Body", JsonValue::Kind::String)) {
            const auto known = std::find_if(std::begin(kBodies), std::end(kBodies),
                [&](const BodyName& b) { return b.name.compare(body->text, Qt::CaseInsensitive) == 0; });
            if (known == std::end(kBodies))
                Fail(body->line, QStringLiteral("Body"),
                    QStringLiteral(
                        "unknown body kind \"%1\"; one of MultipartFormData, FormURLEncoded, JSON, "
                        "Binary, None")
                        .arg(body->text));
            else
                p.body = known->body;
        }
        p.fileFormName = Text(u"FileFormName");
        if (!IsFormName(p.fileFormName))
            Fail(Field(u"FileFormName", JsonValue::Kind::String)->line, QStringLiteral("FileFormName"),
                QStringLiteral("not a valid form field name"));
        if (p.body == ProfileBody::MultipartForm && p.fileFormName.isEmpty() && Ok())
            Fail(m_root.line, QStringLiteral("FileFormName"),
                QStringLiteral("missing; a form needs the name of its file field"));
        p.data = Dynamic(u"Data");
        p.url = Dynamic(u"URL");
        p.thumbnailUrl = Dynamic(u"ThumbnailURL");
        p.deletionUrl = Dynamic(u"DeletionURL");
        p.errorMessage = Dynamic(u"ErrorMessage");
        p.fileContentType = Text(u"FileContentType");
        if (p.fileContentType.contains(u'\r') || p.fileContentType.contains(u'\n'))
            Fail(Field(u"FileContentType", JsonValue::Kind::String)->line, QStringLiteral("FileContentType"),
                QStringLiteral("holds a line break"));
        p.fileNameAnsi = Flag(u"FileNameAnsi", false);
        p.followRedirects = Flag(u"FollowRedirects", true);
        p.answerPage = Dynamic(u"AnswerPage");

        if (!Ok()) {
            // An old file fails on its old values; say which format it is in.
            read.profile = {};
            read.error = m_error;
            if (m_old)
                read.error
                    += (version.isEmpty() ? QStringLiteral(" (the file names no format version")
                                          : QStringLiteral(" (the file is in format version %1").arg(version))
                    + QStringLiteral("; Vellmar converts that syntax from version 12.4 on)");
        }
        return read;
    }

private:
    bool Ok() const { return m_error.isEmpty(); }

    void Fail(int line, const QString& field, const QString& why)
    {
        if (Ok())
            m_error = QStringLiteral("line %1, field %2: %3").arg(line).arg(field, why);
    }

    void FailOld(const JsonValue& value, const QString& field)
    {
        if (Ok())
            m_old = true;
        Fail(value.line, field, QStringLiteral("written in the old $…$ syntax"));
    }

    // The member `name` when it has the wanted kind; a wrong kind fails, a missing one is null.
    const JsonValue* Field(QStringView name, JsonValue::Kind kind)
    {
        const JsonValue* value = m_root.Member(name);
        if (!value || value->kind == JsonValue::Kind::Null)
            return nullptr;
        if (value->kind != kind) {
            Fail(value->line, name.toString(),
                QStringLiteral("expected %1, found %2").arg(KindName(kind), KindName(value->kind)));
            return nullptr;
        }
        return value;
    }

    QString Text(QStringView name)
    {
        const JsonValue* value = Field(name, JsonValue::Kind::String);
        return value ? value->text : QString();
    }

    bool Flag(QStringView name, bool fallback)
    {
        const JsonValue* value = Field(name, JsonValue::Kind::Bool);
        return value ? value->text == u"true" : fallback;
    }

    bool CheckValue(const JsonValue& value, const QString& field)
    {
        if (m_refuseOld && LooksLikeOldSyntax(value.text)) {
            FailOld(value, field);
            return false;
        }
        if (const QString why = CheckDynamic(value.text); !why.isEmpty()) {
            Fail(value.line, field, why);
            return false;
        }
        return true;
    }

    QString Dynamic(QStringView name)
    {
        const JsonValue* value = Field(name, JsonValue::Kind::String);
        return value && CheckValue(*value, name.toString()) ? value->text : QString();
    }

    QList<ProfileEntry> Entries(QStringView name)
    {
        QList<ProfileEntry> entries;
        const JsonValue* object = Field(name, JsonValue::Kind::Object);
        if (!object)
            return entries;
        for (const JsonMember& member : object->members) {
            const QString field = name.toString() + u'.' + member.name;
            const JsonValue& value = member.value;
            if (value.kind == JsonValue::Kind::Object || value.kind == JsonValue::Kind::Array) {
                Fail(
                    value.line, field, QStringLiteral("expected a text, found %1").arg(KindName(value.kind)));
                continue;
            }
            // Header names and values go onto the request's lines as they are.
            const bool header = name == u"Headers";
            if (header
                && (member.name.isEmpty()
                    || member.name.contains(QRegularExpression(QStringLiteral("[^!#$%&'*+.^_`|~0-9A-Za-z-]")))
                    || value.text.contains(u'\r') || value.text.contains(u'\n'))) {
                Fail(value.line, field, QStringLiteral("not a valid header line"));
                continue;
            }
            if (member.name.isEmpty() && name != u"Parameters") {
                Fail(value.line, field, QStringLiteral("a name is needed"));
                continue;
            }
            // Form field names stand between quotes on a part's header line.
            if (name == u"Arguments" && !IsFormName(member.name)) {
                Fail(value.line, field, QStringLiteral("not a valid form field name"));
                continue;
            }
            if (CheckValue(value, field))
                entries.append({member.name, value.text});
        }
        return entries;
    }

    const JsonValue& m_root;
    QString m_error;
    bool m_refuseOld;
    bool m_old = false;
};

} // namespace

ProfileRead ReadServiceProfile(const QByteArray& text)
{
    // A profile is a few hundred bytes; anything huge is not one.
    constexpr qsizetype kMaxProfileBytes = 1 << 20;
    if (text.size() > kMaxProfileBytes)
        return {
            {}, QStringLiteral("the file is larger than 1 MiB; a service profile is a small JSON file"), {}};
    JsonParse parsed = ParseJson(AsUtf8(text));
    ProfileRead read;
    if (!parsed.error.isEmpty()) {
        read.error = QStringLiteral("line %1: not JSON: %2").arg(parsed.line).arg(parsed.error);
    } else if (parsed.value.kind != JsonValue::Kind::Object) {
        read.error = QStringLiteral("line %1: the file holds %2, not a service's object")
                         .arg(parsed.value.line)
                         .arg(KindName(parsed.value.kind));
    } else {
        const JsonValue* version = parsed.value.Member(u"Version");
        const QString number
            = version && version->kind == JsonValue::Kind::String ? version->text : QString();
        const bool convert = IsOldSyntaxVersion(number);
        const QString why = convert ? ConvertOldSyntax(parsed.value) : QString();
        read = why.isEmpty()
            ? ProfileReader(parsed.value, !convert && QVersionNumber::fromString(number) < QVersionNumber(14))
                  .Read()
            : ProfileRead {{}, why, {}};
        if (convert && read.ok())
            read.convertedFrom = number;
    }
    // The reason quotes the file, which may hold anything; it goes to a terminal or a window.
    for (QChar& c : read.error) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return read;
}

QByteArray WriteServiceProfile(const ServiceProfile& p)
{
    QString out = QStringLiteral("{\n  \"Version\": \"14.1.0\"");
    const auto text = [&out](const char* key, const QString& value) {
        out += QStringLiteral(",\n  \"%1\": \"%2\"").arg(QLatin1String(key), JsonEscaped(value));
    };
    const auto entries = [&out](const char* key, const QList<ProfileEntry>& list) {
        if (list.isEmpty())
            return;
        out += QStringLiteral(",\n  \"%1\": {").arg(QLatin1String(key));
        for (qsizetype i = 0; i < list.size(); ++i)
            out += QStringLiteral("%1\n    \"%2\": \"%3\"")
                       .arg(i == 0 ? QString() : QStringLiteral(","), JsonEscaped(list[i].name),
                           JsonEscaped(list[i].value));
        out += QStringLiteral("\n  }");
    };
    text("Name", p.name);
    text("DestinationType", QStringLiteral("ImageUploader, FileUploader"));
    text("RequestMethod", p.method);
    text("RequestURL", p.requestUrl);
    entries("Parameters", p.parameters);
    entries("Headers", p.headers);
    for (const BodyName& body : kBodies) {
        if (body.body == p.body)
            text("Body", body.name);
    }
    entries("Arguments", p.arguments);
    const std::pair<const char*, const QString*> optional[] = {{"FileFormName", &p.fileFormName},
        {"Data", &p.data}, {"URL", &p.url}, {"ThumbnailURL", &p.thumbnailUrl},
        {"DeletionURL", &p.deletionUrl}, {"ErrorMessage", &p.errorMessage},
        {"FileContentType", &p.fileContentType}, {"AnswerPage", &p.answerPage}};
    for (const auto& [key, value] : optional) {
        if (!value->isEmpty())
            text(key, *value);
    }
    if (p.fileNameAnsi)
        out += QStringLiteral(",\n  \"FileNameAnsi\": true");
    if (!p.followRedirects)
        out += QStringLiteral(",\n  \"FollowRedirects\": false");
    return (out + QStringLiteral("\n}\n")).toUtf8();
}
