// SPDX-License-Identifier: MIT
#include "upload/profiles/ServiceProfile.h"

#include "settings/AnsiCodePage.h"
#include "upload/AnswerParser.h"
#include "upload/RefreshTarget.h"
#include "upload/profiles/JsonText.h"

#include <QDomDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <optional>

namespace {

// ---------------------------------------------------------------------------------------------
// Dynamic values

// Names that stand alone ({response}) and names that take arguments ({json:path}).
const QStringList kPlainNames
    = {QStringLiteral("response"), QStringLiteral("responseurl"), QStringLiteral("filename"),
        QStringLiteral("host"), QStringLiteral("thumbsize"), QStringLiteral("refreshpath")};
const QStringList kArgumentNames = {QStringLiteral("header"), QStringLiteral("json"), QStringLiteral("xml"),
    QStringLiteral("regex"), QStringLiteral("random"), QStringLiteral("base64"), QStringLiteral("tags")};

bool IsNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool IsEscapable(QChar c)
{
    return c == u'{' || c == u'}' || c == u'|';
}

// The text of the element or attribute an XPath of the common simple form leads to:
// "/a/b[2]/c", "//c", "*", a last step "@name" or "text()".
std::optional<QString> XmlPathValue(const QDomDocument& document, const QString& path)
{
    if (!path.startsWith(u'/'))
        return std::nullopt;
    QList<QDomNode> at {document};
    qsizetype pos = 0;
    while (pos < path.size()) {
        const bool anywhere = path.mid(pos, 2) == QLatin1String("//");
        pos += anywhere ? 2 : 1;
        qsizetype end = path.indexOf(u'/', pos);
        if (end < 0)
            end = path.size();
        QString step = path.mid(pos, end - pos);
        pos = end;
        if (step.isEmpty())
            return std::nullopt;
        const bool last = pos >= path.size();
        if (last && (step.startsWith(u'@') || step == QLatin1String("text()"))) {
            if (at.isEmpty())
                return QString();
            const QDomElement element = at.first().toElement();
            return step.startsWith(u'@') ? element.attribute(step.mid(1)) : element.text();
        }
        int index = 0; // 1-based; 0: every match
        if (step.endsWith(u']')) {
            const qsizetype open = step.indexOf(u'[');
            bool ok = false;
            index = open < 0 ? 0 : step.mid(open + 1, step.size() - open - 2).toInt(&ok);
            if (!ok || index < 1)
                return std::nullopt;
            step.truncate(open);
        }
        if (step.isEmpty() || step.contains(u'[') || step.contains(u'@') || step.contains(u'('))
            return std::nullopt;
        QList<QDomNode> next;
        const std::function<void(const QDomNode&, bool)> collect = [&](const QDomNode& parent, bool deep) {
            int matched = 0;
            for (QDomNode child = parent.firstChild(); !child.isNull(); child = child.nextSibling()) {
                if (!child.isElement())
                    continue;
                if ((step == u'*' || child.nodeName() == step) && (index == 0 || ++matched == index))
                    next.append(child);
                if (deep)
                    collect(child, true);
            }
        };
        for (const QDomNode& node : at)
            collect(node, anywhere);
        at = next;
    }
    if (at.isEmpty())
        return QString();
    return at.first().toElement().text();
}

// An answer is untrusted: elements nested deeper than any real answer are not walked at all.
bool NestedTooDeep(const QByteArray& xml)
{
    constexpr int kMaxXmlDepth = 256;
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxXmlDepth)
            return true;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return false;
}

class Evaluator
{
public:
    Evaluator(
        const AnswerContext* context, QStringView expression, DynamicEscape escape = DynamicEscape::None)
        : m_context(context)
        , m_text(expression)
        , m_escape(escape)
    { }

    // Evaluates the whole expression; with no context it only checks it.
    QString Run() { return Sequence(false); }

    QString error;

private:
    // Text up to the end, or inside a value's arguments up to an unescaped '|' or '}'.
    QString Sequence(bool inArguments)
    {
        QString out;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos];
            if (c == u'\\' && m_pos + 1 < m_text.size() && IsEscapable(m_text[m_pos + 1])) {
                out += m_text[m_pos + 1];
                m_pos += 2;
            } else if (inArguments && (c == u'|' || c == u'}')) {
                break;
            } else if (c == u'{' && StartsValue()) {
                // Arguments take values as they are; the text around them takes them written its way.
                out += inArguments ? Value() : Escaped(Value());
            } else {
                out += c;
                ++m_pos;
            }
        }
        return out;
    }

    // A '{' starts a value only when a name and ':' or '}' follow; other braces are text, so
    // that a JSON body needs no escapes around its own braces.
    bool StartsValue() const
    {
        qsizetype end = m_pos + 1;
        while (end < m_text.size() && IsNameChar(m_text[end]))
            ++end;
        return end > m_pos + 1 && end < m_text.size() && (m_text[end] == u':' || m_text[end] == u'}');
    }

    QString Value()
    {
        const qsizetype start = m_pos++;
        qsizetype end = m_pos;
        while (IsNameChar(m_text[end]))
            ++end;
        const QString name = m_text.sliced(m_pos, end - m_pos).toString().toLower();
        m_pos = end;
        QStringList arguments;
        if (m_text[m_pos] == u':') {
            ++m_pos;
            for (;;) {
                arguments << Sequence(true);
                if (m_pos >= m_text.size()) {
                    Fail(QStringLiteral("the value at character %1 is not closed with '}'").arg(start + 1));
                    return {};
                }
                if (m_text[m_pos++] == u'}')
                    break;
            }
        } else {
            ++m_pos;
        }
        return Resolve(name, arguments);
    }

    QString Escaped(const QString& value) const
    {
        switch (m_escape) {
        case DynamicEscape::None:
            break;
        case DynamicEscape::Url:
            return QString::fromLatin1(QUrl::toPercentEncoding(value, "/:@[]"));
        case DynamicEscape::Json:
            return JsonEscaped(value);
        }
        return value;
    }

    void Fail(const QString& why)
    {
        if (error.isEmpty())
            error = why;
    }

    QString Resolve(const QString& name, const QStringList& arguments)
    {
        const bool plain = kPlainNames.contains(name) || (m_context && m_context->variables.contains(name));
        if (plain && !arguments.isEmpty())
            Fail(QStringLiteral("{%1} takes no arguments").arg(name));
        else if (!plain && !kArgumentNames.contains(name))
            Fail(QStringLiteral("unknown dynamic value {%1}").arg(name));
        else if (!plain && arguments.isEmpty())
            Fail(QStringLiteral("{%1:…} needs an argument").arg(name));
        else
            Check(name, arguments);
        if (!m_context || !error.isEmpty())
            return {};
        if (m_context->variables.contains(name))
            return m_context->variables.value(name);
        if (name == u"response")
            return QString::fromUtf8(m_context->body);
        if (name == u"responseurl")
            return m_context->responseUrl;
        if (name == u"filename")
            return m_context->fileName;
        if (name == u"header")
            return Header(arguments.first());
        // Each reads the answer, or the text given before the last arguments ({json:input|path}).
        if (name == u"json")
            return Json(arguments.last(), InputOf(arguments, 2));
        if (name == u"xml")
            return Xml(arguments.last(), InputOf(arguments, 2));
        if (name == u"regex")
            return arguments.size() == 3 ? Regex(arguments[1], arguments[2], arguments[0].toUtf8())
                                         : Regex(arguments[0], arguments.value(1), m_context->body);
        if (name == u"random")
            return arguments.at(int(QRandomGenerator::global()->bounded(qsizetype(arguments.size()))));
        if (name == u"base64")
            return QString::fromLatin1(arguments.join(u'|').toUtf8().toBase64());
        if (name == u"tags")
            return Tags(arguments);
        if (name == u"refreshpath")
            return RefreshPath();
        return {};
    }

    void Check(const QString& name, const QStringList& arguments)
    {
        if (arguments.isEmpty())
            return;
        const QString& pattern = arguments.size() == 3 ? arguments[1] : arguments.first();
        if ((name == u"header" || name == u"json" || name == u"xml" || name == u"regex")
            && arguments.size() > (name == u"regex" ? 3
                       : name == u"header"          ? 1
                                                    : 2))
            Fail(QStringLiteral("{%1:…} has too many arguments").arg(name));
        else if (name == u"json" && !ParseJsonPath(arguments.last()))
            Fail(QStringLiteral("{json:%1}: not a JSON path").arg(arguments.last()));
        else if (name == u"xml" && !arguments.last().startsWith(u'/'))
            Fail(QStringLiteral("{xml:%1}: an XPath starts with '/'").arg(arguments.last()));
        else if (name == u"regex" && !QRegularExpression(pattern).isValid())
            Fail(QStringLiteral("{regex:%1}: %2").arg(pattern, QRegularExpression(pattern).errorString()));
        else if (name == u"tags" && (arguments.size() != 3 || (arguments[2] != u"1" && arguments[2] != u"2")))
            Fail(QStringLiteral("{tags:start|end|n} needs two tags and 1 or 2"));
    }

    static std::optional<QByteArray> InputOf(const QStringList& arguments, qsizetype withInput)
    {
        return arguments.size() == withInput ? std::optional(arguments.first().toUtf8()) : std::nullopt;
    }

    QString Header(const QString& wanted) const
    {
        for (const auto& [name, value] : m_context->headers) {
            if (QString::fromLatin1(name).compare(wanted, Qt::CaseInsensitive) == 0)
                return QString::fromUtf8(value).trimmed();
        }
        return {};
    }

    QString Json(const QString& path, const std::optional<QByteArray>& input)
    {
        if (!input && !m_json)
            m_json = ParseJson(m_context->body);
        const JsonParse own = input ? ParseJson(*input) : JsonParse();
        const JsonParse& parsed = input ? own : *m_json;
        const JsonValue* found
            = parsed.error.isEmpty() ? FindJsonPath(parsed.value, *ParseJsonPath(path)) : nullptr;
        if (!found || found->kind == JsonValue::Kind::Null)
            return {};
        if (found->kind == JsonValue::Kind::Object || found->kind == JsonValue::Kind::Array)
            return CompactJson(*found);
        return found->text;
    }

    QString Xml(const QString& path, const std::optional<QByteArray>& input)
    {
        if (input) {
            QDomDocument own;
            return !NestedTooDeep(*input) && own.setContent(*input)
                ? XmlPathValue(own, path).value_or(QString())
                : QString();
        }
        if (!m_xml) {
            m_xml.emplace();
            m_xmlOk = !NestedTooDeep(m_context->body) && bool(m_xml->setContent(m_context->body));
        }
        return m_xmlOk ? XmlPathValue(*m_xml, path).value_or(QString()) : QString();
    }

    static QString Regex(const QString& pattern, const QString& group, const QByteArray& input)
    {
        const QRegularExpressionMatch match = QRegularExpression(pattern).match(QString::fromUtf8(input));
        if (!match.hasMatch())
            return {};
        bool number = false;
        const int index = group.toInt(&number);
        if (group.isEmpty())
            return match.captured(0);
        return number ? match.captured(index) : match.captured(group);
    }

    // The address between two tags of an old answer page, read as the Windows code page.
    QString Tags(const QStringList& arguments) const
    {
        const AnswerAddresses found
            = ExtractAddresses(m_context->body, ToAnsi(arguments[0]), ToAnsi(arguments[1]));
        const QByteArray& bytes = arguments[2] == u"1" ? found.first : found.second;
        return FromAnsi(bytes).left(int(kMaxAddressBytes));
    }

    // The path that the first answer's Refresh header names on the same host; always a path,
    // never another host.
    QString RefreshPath() const
    {
        QString refresh = FromAnsi(RawHeader("Refresh"));
        if (refresh.size() > kMaxRefreshChars)
            refresh.clear();
        const QString path = RefreshObjectPath(refresh, m_context->variables.value(QStringLiteral("host")));
        return path.startsWith(u'/') ? path : u'/' + path;
    }

    QByteArray RawHeader(QByteArrayView wanted) const
    {
        for (const auto& [name, value] : m_context->headers) {
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }

    const AnswerContext* m_context;
    QStringView m_text;
    DynamicEscape m_escape;
    qsizetype m_pos = 0;
    std::optional<JsonParse> m_json;
    std::optional<QDomDocument> m_xml;
    bool m_xmlOk = false;
};

// ---------------------------------------------------------------------------------------------
// Reading a profile

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

// The older format wrote dynamic values as $name:argument$ and listed regular expressions apart.
bool LooksLikeOldSyntax(const QString& text)
{
    static const QRegularExpression old(
        QStringLiteral(R"(\$(json|xml|regex|header|random|base64|filename|response|responseurl)(:[^$]*)?\$)"),
        QRegularExpression::CaseInsensitiveOption);
    return old.match(text).hasMatch();
}

class ProfileReader
{
public:
    explicit ProfileReader(const JsonValue& root)
        : m_root(root)
    { }

    ProfileRead Read()
    {
        ProfileRead read;
        ServiceProfile& p = read.profile;
        for (qsizetype i = 0; i < qsizetype(m_root.members.size()); ++i) {
            for (qsizetype j = 0; j < i; ++j) {
                if (m_root.members[size_t(i)].name == m_root.members[size_t(j)].name)
                    Fail(m_root.members[size_t(i)].value.line, m_root.members[size_t(i)].name,
                        QStringLiteral("given twice"));
            }
        }
        const QString version = Text(u"Version");
        if (m_root.Member(u"RegexList"))
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
                    += QStringLiteral(" (the file is in format version %1, which wrote values as $name$; "
                                      "Vellmar reads version 13 and later, which writes them as {name})")
                           .arg(version.isEmpty() ? QStringLiteral("12 or earlier") : version);
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
        if (LooksLikeOldSyntax(value.text)) {
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
    bool m_old = false;
};

} // namespace

QString EvaluateDynamic(const QString& expression, const AnswerContext& context, DynamicEscape escape)
{
    Evaluator evaluator(&context, expression, escape);
    const QString value = evaluator.Run();
    return evaluator.error.isEmpty() ? value : QString();
}

QString CheckDynamic(const QString& expression)
{
    Evaluator evaluator(nullptr, expression);
    evaluator.Run();
    return evaluator.error;
}

ProfileRead ReadServiceProfile(const QByteArray& text)
{
    // A profile is a few hundred bytes; anything huge is not one.
    constexpr qsizetype kMaxProfileBytes = 1 << 20;
    if (text.size() > kMaxProfileBytes)
        return {{}, QStringLiteral("the file is larger than 1 MiB; a service profile is a small JSON file")};
    const JsonParse parsed = ParseJson(text);
    if (!parsed.error.isEmpty())
        return {{}, QStringLiteral("line %1: not JSON: %2").arg(parsed.line).arg(parsed.error)};
    if (parsed.value.kind != JsonValue::Kind::Object)
        return {{},
            QStringLiteral("line %1: the file holds %2, not a service's object")
                .arg(parsed.value.line)
                .arg(KindName(parsed.value.kind))};
    ProfileRead read = ProfileReader(parsed.value).Read();
    // The reason quotes the file, which may hold anything; it goes to a terminal or a window.
    for (QChar& c : read.error) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return read;
}
