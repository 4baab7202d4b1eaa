// SPDX-License-Identifier: MIT
#include "upload/profiles/OldSyntax.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QVersionNumber>

namespace {

// The fields whose texts hold dynamic values; Data has a syntax of its own.
const char* const kValueFields[] = {"RequestURL", "URL", "ThumbnailURL", "DeletionURL", "ErrorMessage"};
const char* const kEntryFields[] = {"Parameters", "Headers", "Arguments"};

JsonValue* MemberOf(JsonValue& object, QStringView name)
{
    return const_cast<JsonValue*>(object.Member(name));
}

void RemoveMember(JsonValue& object, QStringView name)
{
    std::erase_if(object.members, [&](const JsonMember& member) { return member.name == name; });
}

JsonValue Text(const QString& text, int line)
{
    JsonValue value;
    value.kind = JsonValue::Kind::String;
    value.text = text;
    value.line = line;
    return value;
}

// A text the current syntax takes literally: '\' before every character it would read.
QString Literal(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'{' || c == u'}' || c == u'|')
            out += u'\\';
        out += c;
    }
    return out;
}

class Converter
{
public:
    explicit Converter(JsonValue& root)
        : m_root(root)
    { }

    QString Run()
    {
        if (const JsonValue* list = m_root.Member(u"RegexList");
            list && list->kind != JsonValue::Kind::Null) {
            if (list->kind != JsonValue::Kind::Array)
                return Fail(
                    list->line, QStringLiteral("RegexList"), QStringLiteral("expected a list of texts"));
            for (const JsonValue& item : list->items) {
                if (item.kind != JsonValue::Kind::String)
                    return Fail(
                        item.line, QStringLiteral("RegexList"), QStringLiteral("expected a list of texts"));
                m_patterns << item.text;
            }
        }
        RemoveMember(m_root, u"RegexList");
        if (JsonValue* type = MemberOf(m_root, u"RequestType"); type && !m_root.Member(u"RequestMethod")) {
            JsonValue method = *type;
            RemoveMember(m_root, u"RequestType");
            m_root.members.push_back({QStringLiteral("RequestMethod"), method});
        }
        RemoveMember(m_root, u"RequestType");
        MoveQueryToParameters();

        for (const char* field : kValueFields) {
            if (JsonValue* value = MemberOf(m_root, QString::fromLatin1(field));
                value && value->kind == JsonValue::Kind::String)
                value->text = Value(value->text, value->line, QLatin1String(field));
        }
        for (const char* field : kEntryFields) {
            JsonValue* object = MemberOf(m_root, QString::fromLatin1(field));
            if (!object || object->kind != JsonValue::Kind::Object)
                continue;
            for (JsonMember& member : object->members) {
                if (member.value.kind == JsonValue::Kind::String)
                    member.value.text = Value(
                        member.value.text, member.value.line, QLatin1String(field) + u'.' + member.name);
            }
        }
        if (JsonValue* data = MemberOf(m_root, u"Data"); data && data->kind == JsonValue::Kind::String)
            data->text = Data(data->text);
        ApplyResponseType();
        return m_error;
    }

private:
    QString Fail(int line, const QString& field, const QString& why)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("line %1, field %2: %3").arg(line).arg(field, why);
        return m_error;
    }

    // "…/api?key=k&x" sends its query as parameters; those the file lists itself come first.
    void MoveQueryToParameters()
    {
        JsonValue* url = MemberOf(m_root, u"RequestURL");
        if (!url || url->kind != JsonValue::Kind::String)
            return;
        const qsizetype mark = url->text.indexOf(u'?');
        if (mark < 0)
            return;
        const QString query = url->text.mid(mark + 1);
        url->text.truncate(mark);
        const int line = url->line;
        JsonValue* parameters = MemberOf(m_root, u"Parameters");
        if (!parameters || parameters->kind != JsonValue::Kind::Object) {
            RemoveMember(m_root, u"Parameters");
            JsonValue object;
            object.kind = JsonValue::Kind::Object;
            object.line = line;
            m_root.members.push_back({QStringLiteral("Parameters"), object});
            parameters = &m_root.members.back().value;
        }
        QSet<QString> names;
        for (const JsonMember& member : parameters->members)
            names.insert(member.name);
        for (const QString& pair : query.split(u'&', Qt::SkipEmptyParts)) {
            const qsizetype equals = pair.indexOf(u'=');
            const auto decoded = [](const QString& part) {
                return QUrl::fromPercentEncoding(QString(part).replace(u'+', u' ').toUtf8());
            };
            const QString name = decoded(equals < 0 ? pair : pair.left(equals));
            if (names.contains(name))
                continue;
            names.insert(name);
            parameters->members.push_back(
                {name, Text(decoded(equals < 0 ? QString() : pair.mid(equals + 1)), line)});
        }
    }

    // Every $…$ pair becomes {…}, '\' keeps escaping the next character, and the braces that
    // were plain text are escaped.
    QString Value(const QString& old, int line, const QString& field)
    {
        QString out;
        for (qsizetype i = 0; i < old.size(); ++i) {
            const QChar c = old[i];
            if (c == u'\\') {
                out += u'\\';
                if (i + 1 < old.size())
                    out += old[++i];
                else
                    out += u'\\';
            } else if (c == u'$' && Closing(old, i) > i) {
                const qsizetype end = Closing(old, i);
                out += u'{' + Inside(old.mid(i + 1, end - i - 1), line, field) + u'}';
                i = end;
            } else {
                if (c == u'{' || c == u'}')
                    out += u'\\';
                out += c;
            }
        }
        return out;
    }

    // The '$' that closes the value opened at `open`, skipping escaped characters; -1: none.
    static qsizetype Closing(const QString& text, qsizetype open)
    {
        for (qsizetype i = open + 1; i < text.size(); ++i) {
            if (text[i] == u'\\')
                ++i;
            else if (text[i] == u'$')
                return i;
        }
        return -1;
    }

    // The inside of one value; $regex:N|G$ takes pattern N of the RegexList inline.
    QString Inside(const QString& old, int line, const QString& field)
    {
        QString out;
        for (qsizetype i = 0; i < old.size(); ++i) {
            if (old[i] == u'\\' && i + 1 < old.size())
                out += QStringView(old).sliced(i++, 2);
            else
                out += (old[i] == u'{' || old[i] == u'}' ? QStringLiteral("\\") : QString()) + old[i];
        }
        static const QRegularExpression regex(
            QStringLiteral(R"(^regex:([^|]*)(\|.*)?$)"), QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = regex.match(out);
        if (!match.hasMatch())
            return out;
        bool number = false;
        const int index = match.captured(1).trimmed().toInt(&number);
        if (!number || index < 1 || index > m_patterns.size()) {
            Fail(line, field,
                QStringLiteral("$%1$ names regular expression %2 of the RegexList, which has %3")
                    .arg(old, match.captured(1))
                    .arg(m_patterns.size()));
            return out;
        }
        return QStringLiteral("regex:") + Literal(m_patterns[index - 1]) + match.captured(2);
    }

    // Data knew only $input$ and $filename$; everything else in it is literal, braces too.
    static QString Data(const QString& old)
    {
        QString out;
        for (const QChar c : old) {
            if (c == u'\\' || c == u'{' || c == u'}')
                out += u'\\';
            out += c;
        }
        out.replace(QLatin1String("$input$"), QLatin1String("{input}"), Qt::CaseInsensitive);
        out.replace(QLatin1String("$filename$"), QLatin1String("{filename}"), Qt::CaseInsensitive);
        return out;
    }

    // How the old files said where the address is when it was not in the answer's text.
    void ApplyResponseType()
    {
        const JsonValue* type = m_root.Member(u"ResponseType");
        if (!type || type->kind != JsonValue::Kind::String) {
            RemoveMember(m_root, u"ResponseType");
            return;
        }
        QString instead;
        if (type->text.compare(QLatin1String("RedirectionURL"), Qt::CaseInsensitive) == 0)
            instead = QStringLiteral("{responseurl}");
        else if (type->text.compare(QLatin1String("LocationHeader"), Qt::CaseInsensitive) == 0)
            instead = QStringLiteral("{header:Location}");
        else if (type->text.compare(QLatin1String("Text"), Qt::CaseInsensitive) != 0)
            Fail(type->line, QStringLiteral("ResponseType"),
                QStringLiteral("\"%1\" cannot be converted; the address rules must name what they read")
                    .arg(type->text));
        RemoveMember(m_root, u"ResponseType");
        if (instead.isEmpty())
            return;
        JsonValue* url = MemberOf(m_root, u"URL");
        if (!url || url->kind != JsonValue::Kind::String || url->text.isEmpty()) {
            RemoveMember(m_root, u"URL");
            m_root.members.push_back({QStringLiteral("URL"), Text(instead, m_root.line)});
            return;
        }
        for (const char* field : {"URL", "ThumbnailURL", "DeletionURL"}) {
            if (JsonValue* value = MemberOf(m_root, QString::fromLatin1(field));
                value && value->kind == JsonValue::Kind::String)
                value->text.replace(QLatin1String("{response}"), instead);
        }
    }

    JsonValue& m_root;
    QStringList m_patterns;
    QString m_error;
};

} // namespace

bool IsOldSyntaxVersion(const QString& version)
{
    const QVersionNumber number = QVersionNumber::fromString(version);
    return !number.isNull() && number >= QVersionNumber(12, 4) && number < QVersionNumber(14);
}

QString ConvertOldSyntax(JsonValue& root)
{
    return Converter(root).Run();
}
