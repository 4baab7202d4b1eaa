// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <atomic>
#include <utility>

// A hosting service described as data: how a picture is sent and how the answer names its
// addresses. The program's own services and the user's custom-uploader (.sxcu) files alike.

/// What the request body carries.
enum class ProfileBody {
    None, ///< no body (GET)
    MultipartForm, ///< the arguments and the file as multipart/form-data
    FormUrlEncoded, ///< the arguments as application/x-www-form-urlencoded, no file
    Json, ///< `data` as application/json, no file
    Binary, ///< the file's bytes alone
};

/// One named value, in the order the profile lists it; values may hold dynamic values.
struct ProfileEntry
{
    QString name;
    QString value;

    bool operator==(const ProfileEntry&) const = default;
};

struct ServiceProfile
{
    QString name;
    QString method = QStringLiteral("POST"); ///< POST, PUT, PATCH or GET
    QString requestUrl; ///< http or https; may hold dynamic values
    QList<ProfileEntry> parameters; ///< added to the URL's query
    QList<ProfileEntry> headers; ///< in order; "User-Agent" among them too
    ProfileBody body = ProfileBody::MultipartForm;
    QList<ProfileEntry> arguments; ///< form fields, in order
    QString fileFormName; ///< the multipart field that carries the file
    QString data; ///< the JSON body
    /// How the answer gives the addresses and, for a failed answer, the reason. An empty `url`
    /// means the whole answer is the address.
    QString url;
    QString thumbnailUrl;
    QString deletionUrl;
    QString errorMessage;

    // Beyond the shared format, for services made for old forms; a user's file sets them too.
    QString fileContentType; ///< the file part's type; empty: by the file's own type
    bool fileNameAnsi = false; ///< the file name in Windows-1251 with '"', CR, LF escaped
    bool followRedirects = true;
    /// The address of a second page, read with GET, that holds the answer instead; empty: none.
    QString answerPage;

    bool operator==(const ServiceProfile&) const = default;
};

/// A profile read from a file, or why it could not be read: "line L, field F: reason".
struct ProfileRead
{
    ServiceProfile profile;
    QString error;
    /// The format version a file in the older $name$ syntax was converted from; empty when the
    /// file was read as it stands.
    QString convertedFrom;

    bool ok() const { return error.isEmpty(); }
};

/// Reads a custom-uploader file's text: UTF-8 with or without a byte-order mark, or UTF-16
/// with one. Files of format version 12.4 up to 13.x are converted from their $name$ syntax as
/// they are read. Everything is checked before anything is taken: a file with one broken field
/// gives only the error.
ProfileRead ReadServiceProfile(const QByteArray& text);

/// `profile` as a custom-uploader file of the current syntax; reading it back gives `profile`.
QByteArray WriteServiceProfile(const ServiceProfile& profile);

/// What dynamic values are resolved against: the answer, the file sent, and names a built-in
/// service defines ({host}, {thumbsize}).
struct AnswerContext
{
    QByteArray body; ///< {response}
    QString responseUrl; ///< {responseurl}: the address that answered, after redirects
    QList<std::pair<QByteArray, QByteArray>> headers; ///< {header:Name}
    QString fileName; ///< {filename}
    QMap<QString, QString> variables; ///< {name} for each entry
    /// Set while the values are evaluated: the evaluation ends early and gives nothing.
    const std::atomic<bool>* stop = nullptr;
};

/// How a dynamic value is written into the text around it.
enum class DynamicEscape {
    None,
    Url, ///< percent-encoded but for '/', ':', '@', '[' and ']' (a host:port stays whole)
    Json, ///< as inside a JSON string
};

/// `expression` with every dynamic value replaced; a value that finds nothing (a JSON path the
/// answer lacks, a regex without a match) gives an empty text, and `foundNothing` (when given)
/// tells whether one of its outermost values did. `\` takes the next character as it is.
QString EvaluateDynamic(const QString& expression, const AnswerContext& context,
    DynamicEscape escape = DynamicEscape::None, bool* foundNothing = nullptr);

/// Why `expression` is not well formed (an unknown value, an unclosed brace), or empty.
QString CheckDynamic(const QString& expression);
