// SPDX-License-Identifier: MIT
// Dynamic values: {name} and {name:argument|argument} inside a profile's texts, resolved against
// a service's answer.
#include "settings/AnsiCodePage.h"
#include "upload/AnswerParser.h"
#include "upload/RefreshTarget.h"
#include "upload/profiles/JsonText.h"
#include "upload/profiles/ServiceProfile.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <pugixml.hpp>
#include <thread>

namespace {

// Real profiles nest two or three values; the limit keeps a hostile file off the stack.
constexpr int kMaxNesting = 32;
// XML answers nested deeper than any real one are not read at all.
constexpr int kMaxXmlDepth = 256;
// Real XPaths of an answer take milliseconds; a hostile one is given up after this long.
constexpr auto kMaxXPathTime = std::chrono::seconds(5);
constexpr auto kXPathPoll = std::chrono::milliseconds(20);

using XmlDocument = std::shared_ptr<const pugi::xml_document>;

bool CompilesAsXPath(const QString& path)
{
    try {
        return bool(pugi::xpath_query(path.toUtf8().constData()));
    } catch (const pugi::xpath_exception&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// An answer is untrusted: it is read only when it is one well-formed document (not a page with
// text around its root, which the engine would take) and nested no deeper than any real answer.
bool ReadableXml(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxXmlDepth)
            return false;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return !reader.hasError();
}

// Entities beyond the five of XML are never expanded, and no document type is read.
XmlDocument ParseXml(const QByteArray& xml)
{
    if (xml.isEmpty() || !ReadableXml(xml))
        return {};
    auto doc = std::make_shared<pugi::xml_document>();
    if (!doc->load_buffer(xml.constData(), size_t(xml.size()), pugi::parse_default, pugi::encoding_utf8))
        return {};
    return doc;
}

// One XPath evaluation on a thread of its own. The engine takes time linear in the answer per
// step, but an expression can nest steps inside predicates; it cannot be interrupted, so the
// caller stops waiting when asked to or after kMaxXPathTime, and the thread ends on its own with
// what it uses. Only one such leftover runs at a time: while it does, XPaths give nothing.
class XPathRun
{
public:
    static QString Value(const XmlDocument& doc, const QString& path, const std::atomic<bool>* stop)
    {
        if (!doc || s_running.load() > 0)
            return {};
        auto run = std::make_shared<XPathRun>();
        ++s_running;
        std::thread([run, doc, query = path.toStdString()] {
            std::string value;
            try {
                value = pugi::xpath_query(query.c_str()).evaluate_string(*doc);
            } catch (const pugi::xpath_exception&) {
            } catch (const std::bad_alloc&) { }
            const std::lock_guard lock(run->m_mutex);
            run->m_value = QString::fromStdString(value);
            run->m_done = true;
            --s_running;
            run->m_finished.notify_all();
        }).detach();
        const auto deadline = std::chrono::steady_clock::now() + kMaxXPathTime;
        std::unique_lock lock(run->m_mutex);
        while (!run->m_done && !(stop && stop->load()) && std::chrono::steady_clock::now() < deadline)
            run->m_finished.wait_for(lock, kXPathPoll);
        return run->m_done ? run->m_value : QString();
    }

private:
    static inline std::atomic<int> s_running {0};
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    QString m_value;
};

bool IsNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

class Evaluator
{
public:
    Evaluator(const AnswerContext* context, QStringView expression, DynamicEscape escape)
        : m_context(context)
        , m_text(expression)
        , m_escape(escape)
    { }

    // Evaluates the whole expression; with no context it only checks it.
    QString Run() { return Sequence(false, 0); }

    QString error;
    bool foundNothing = false;

private:
    // One name of the table: how many arguments it takes, what makes them wrong and what it
    // gives. A name without arguments has at most 0; `maxArguments` -1 is any number.
    struct ValueName
    {
        QLatin1StringView name;
        int minArguments;
        int maxArguments;
        QString (*check)(const QStringList& arguments);
        QString (Evaluator::*resolve)(const QStringList& arguments);
    };

    static const ValueName* Find(const QString& name)
    {
        static const std::array<ValueName, 14> kNames = {{
            {QLatin1StringView("response"), 0, 0, nullptr, &Evaluator::Response},
            {QLatin1StringView("responseurl"), 0, 0, nullptr, &Evaluator::ResponseUrl},
            {QLatin1StringView("filename"), 0, 0, nullptr, &Evaluator::FileName},
            // The text a text uploader sends; Vellmar sends files, so it is empty.
            {QLatin1StringView("input"), 0, 0, nullptr, &Evaluator::Nothing},
            {QLatin1StringView("host"), 0, 0, nullptr, &Evaluator::Nothing},
            {QLatin1StringView("thumbsize"), 0, 0, nullptr, &Evaluator::Nothing},
            {QLatin1StringView("refreshpath"), 0, 0, nullptr, &Evaluator::RefreshPath},
            {QLatin1StringView("header"), 1, 1, nullptr, &Evaluator::Header},
            {QLatin1StringView("json"), 1, 2, &CheckJson, &Evaluator::Json},
            {QLatin1StringView("xml"), 1, 2, &CheckXml, &Evaluator::Xml},
            {QLatin1StringView("regex"), 1, 3, &CheckRegex, &Evaluator::Regex},
            {QLatin1StringView("random"), 1, -1, nullptr, &Evaluator::Random},
            {QLatin1StringView("base64"), 1, -1, nullptr, &Evaluator::Base64},
            {QLatin1StringView("tags"), 1, -1, &CheckTags, &Evaluator::Tags},
        }};
        for (const ValueName& known : kNames) {
            if (known.name == name)
                return &known;
        }
        return nullptr;
    }

    // Text up to the end, or inside a value's arguments up to an unescaped '|' or '}'.
    QString Sequence(bool inArguments, int depth)
    {
        QString out;
        while (m_pos < m_text.size() && error.isEmpty()) {
            const QChar c = m_text[m_pos];
            if (c == u'\\' && m_pos + 1 < m_text.size()) {
                out += m_text[m_pos + 1];
                m_pos += 2;
            } else if (inArguments && (c == u'|' || c == u'}')) {
                break;
            } else if (c == u'{' && StartsValue()) {
                const QString value = Value(depth + 1);
                if (!inArguments && value.isEmpty())
                    foundNothing = true;
                // Arguments take values as they are; the text around them takes them written its way.
                out += inArguments ? value : Escaped(value);
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

    QString Value(int depth)
    {
        const qsizetype start = m_pos++;
        if (depth > kMaxNesting) {
            Fail(QStringLiteral("the value at character %1 is nested more than %2 values deep")
                     .arg(start + 1)
                     .arg(kMaxNesting));
            return {};
        }
        if (m_context && m_context->stop && m_context->stop->load()) {
            Fail(QStringLiteral("stopped"));
            return {};
        }
        qsizetype end = m_pos;
        while (IsNameChar(m_text[end]))
            ++end;
        const QString name = m_text.sliced(m_pos, end - m_pos).toString().toLower();
        m_pos = end;
        QStringList arguments;
        if (m_text[m_pos] == u':') {
            ++m_pos;
            for (;;) {
                arguments << Sequence(true, depth);
                if (!error.isEmpty())
                    return {};
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
        const bool variable = m_context && m_context->variables.contains(name);
        const ValueName* known = variable ? nullptr : Find(name);
        const qsizetype count = arguments.size();
        if (!variable && !known)
            Fail(QStringLiteral("unknown dynamic value {%1}").arg(name));
        else if ((variable || known->maxArguments == 0) && count > 0)
            Fail(QStringLiteral("{%1} takes no arguments").arg(name));
        else if (variable)
            return m_context->variables.value(name);
        else if (count < known->minArguments)
            Fail(QStringLiteral("{%1:…} needs an argument").arg(name));
        else if (known->maxArguments >= 0 && count > known->maxArguments)
            Fail(QStringLiteral("{%1:…} has too many arguments").arg(name));
        else if (const QString why = known->check ? known->check(arguments) : QString(); !why.isEmpty())
            Fail(why);
        if (!m_context || !error.isEmpty())
            return {};
        return (this->*known->resolve)(arguments);
    }

    // Each of these reads the answer, or the text given before its last arguments
    // ({json:input|path}, {xml:input|xpath}, {regex:input|pattern|group}).

    static QString CheckJson(const QStringList& arguments)
    {
        return ParseJsonPath(arguments.last())
            ? QString()
            : QStringLiteral("{json:%1}: not a JSON path").arg(arguments.last());
    }

    static QString CheckXml(const QStringList& arguments)
    {
        return CompilesAsXPath(arguments.last())
            ? QString()
            : QStringLiteral("{xml:%1}: not an XPath").arg(arguments.last());
    }

    static QString CheckRegex(const QStringList& arguments)
    {
        const QString& pattern = arguments.size() == 3 ? arguments[1] : arguments.first();
        const QRegularExpression regex(pattern);
        return regex.isValid() ? QString()
                               : QStringLiteral("{regex:%1}: %2").arg(pattern, regex.errorString());
    }

    static QString CheckTags(const QStringList& arguments)
    {
        return arguments.size() == 3 && (arguments[2] == u"1" || arguments[2] == u"2")
            ? QString()
            : QStringLiteral("{tags:start|end|n} needs two tags and 1 or 2");
    }

    QString Nothing(const QStringList&) { return {}; }
    QString Response(const QStringList&) { return QString::fromUtf8(m_context->body); }
    QString ResponseUrl(const QStringList&) { return m_context->responseUrl; }
    QString FileName(const QStringList&) { return m_context->fileName; }

    QString Header(const QStringList& arguments)
    {
        return QString::fromUtf8(RawHeader(arguments.first().toUtf8())).trimmed();
    }

    QString Json(const QStringList& arguments)
    {
        const bool own = arguments.size() == 2;
        if (!own && !m_json)
            m_json = ParseJson(m_context->body);
        const JsonParse input = own ? ParseJson(arguments.first().toUtf8()) : JsonParse();
        const JsonParse& parsed = own ? input : *m_json;
        const JsonValue* found
            = parsed.error.isEmpty() ? FindJsonPath(parsed.value, *ParseJsonPath(arguments.last())) : nullptr;
        if (!found || found->kind == JsonValue::Kind::Null)
            return {};
        if (found->kind == JsonValue::Kind::Object || found->kind == JsonValue::Kind::Array)
            return CompactJson(*found);
        return found->text;
    }

    QString Xml(const QStringList& arguments)
    {
        if (arguments.size() == 2)
            return XPathRun::Value(ParseXml(arguments.first().toUtf8()), arguments.last(), m_context->stop);
        if (!m_xml)
            m_xml = ParseXml(m_context->body);
        return XPathRun::Value(*m_xml, arguments.last(), m_context->stop);
    }

    QString Regex(const QStringList& arguments)
    {
        const bool own = arguments.size() == 3;
        const QString& pattern = arguments[own ? 1 : 0];
        const QString group = arguments.value(own ? 2 : 1);
        const QString input = own ? arguments.first() : QString::fromUtf8(m_context->body);
        const QRegularExpressionMatch match = QRegularExpression(pattern).match(input);
        if (!match.hasMatch())
            return {};
        bool number = false;
        const int index = group.toInt(&number);
        if (group.isEmpty())
            return match.captured(0);
        return number ? match.captured(index) : match.captured(group);
    }

    QString Random(const QStringList& arguments)
    {
        return arguments.at(int(QRandomGenerator::global()->bounded(qsizetype(arguments.size()))));
    }

    QString Base64(const QStringList& arguments)
    {
        return QString::fromLatin1(arguments.join(u'|').toUtf8().toBase64());
    }

    // The address between two tags of an old answer page, read as the Windows code page.
    QString Tags(const QStringList& arguments)
    {
        const AnswerAddresses found
            = ExtractAddresses(m_context->body, ToAnsi(arguments[0]), ToAnsi(arguments[1]));
        const QByteArray& bytes = arguments[2] == u"1" ? found.first : found.second;
        return FromAnsi(bytes).left(int(kMaxAddressBytes));
    }

    // The path that the first answer's Refresh header names on the same host; always a path,
    // never another host.
    QString RefreshPath(const QStringList&)
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
    std::optional<XmlDocument> m_xml;
};

} // namespace

QString EvaluateDynamic(
    const QString& expression, const AnswerContext& context, DynamicEscape escape, bool* foundNothing)
{
    Evaluator evaluator(&context, expression, escape);
    const QString value = evaluator.Run();
    if (foundNothing)
        *foundNothing = evaluator.foundNothing || !evaluator.error.isEmpty();
    return evaluator.error.isEmpty() ? value : QString();
}

QString CheckDynamic(const QString& expression)
{
    Evaluator evaluator(nullptr, expression, DynamicEscape::None);
    evaluator.Run();
    return evaluator.error;
}
