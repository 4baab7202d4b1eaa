// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// A small strict JSON reader for profiles and answers. Unlike QJsonDocument it keeps the members
// of an object in the order written (headers and form fields are sent in that order) and knows
// the line of every value, so that an error in a profile can say where it is.

struct JsonMember;

struct JsonValue
{
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    QString text; ///< a string's value; a number or boolean exactly as written
    std::vector<JsonValue> items; ///< an array's elements
    std::vector<JsonMember> members; ///< an object's members, in the order written
    int line = 0; ///< where the value starts, counted from 1

    /// The first member called `name`, or null.
    const JsonValue* Member(QStringView name) const;
};

struct JsonMember
{
    QString name;
    JsonValue value;
};

struct JsonParse
{
    JsonValue value;
    QString error; ///< empty when the text was JSON
    int line = 0; ///< where the error is
};

/// Reads UTF-8 JSON text (a leading byte-order mark is skipped).
JsonParse ParseJson(QByteArrayView text);

/// `text` as it stands between the quotes of a JSON string.
QString JsonEscaped(const QString& text);

/// `value` written back as compact JSON.
QString CompactJson(const JsonValue& value);

/// One step of a path into a JSON value: a member name, or an array index when `key` is null.
struct JsonPathStep
{
    QString key;
    qsizetype index = 0;
};

/// "a.b[0].c", names also in quotes and brackets ("a['b c'][0][\"d\"]"), with or without a
/// leading "$." (a lone "$" is the whole value); none when malformed.
std::optional<QList<JsonPathStep>> ParseJsonPath(QStringView path);

/// The value `path` leads to inside `root`, or null when there is none.
const JsonValue* FindJsonPath(const JsonValue& root, const QList<JsonPathStep>& path);
