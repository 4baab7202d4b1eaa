// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// A request body taken in while it arrives: a multipart form is split into its parts as the bytes
// come, each file part going straight into a file of its own, so an upload of any size costs a
// few buffers of memory. Any other body goes into one file whole.

struct FormPart
{
    QByteArray name;
    QByteArray fileName;
    bool isFile = false; ///< the disposition line had a filename
    QByteArray value; ///< a field's value; empty for a file part
    QString path; ///< where a file part's bytes are
    qint64 size = 0;
};

/// The boundary parameter of a Content-Type value, quotes removed.
QByteArray BoundaryOf(const QByteArray& contentType);

class IncomingBody
{
public:
    /// Files are made as `filePrefix` + a number. A `contentType` of multipart/form-data with a
    /// boundary makes the body a form.
    IncomingBody(const QString& filePrefix, const QByteArray& contentType);
    /// Removes every file that was not taken away (renamed) meanwhile.
    ~IncomingBody();
    IncomingBody(const IncomingBody&) = delete;
    IncomingBody& operator=(const IncomingBody&) = delete;

    void Feed(QByteArrayView bytes);
    /// False when a file could not be written or a form was cut short.
    bool Finish();

    bool IsForm() const { return !m_boundary.isEmpty(); }
    const QList<FormPart>& Parts() const { return m_parts; }
    /// The last file part, or null when the form has none.
    const FormPart* FilePart() const;
    /// The value of the first field called `name`, or a null array.
    QByteArray Field(QByteArrayView name) const;
    /// A body that is not a form: where it is and how long.
    QString RawPath() const { return m_rawPath; }
    qint64 Size() const { return m_size; }

private:
    enum class State { Preamble, AfterDelimiter, PartHead, PartData, End };

    void Parse();
    void StartPart(const QByteArray& head);
    void Emit(QByteArrayView bytes);
    /// Opens a new file of the body for writing, never over another: its path, empty on failure.
    QString OpenNewFile();

    QString m_prefix;
    int m_files = 0;
    QByteArray m_boundary;
    QByteArray m_delimiter; ///< "\r\n--boundary"
    State m_state = State::Preamble;
    QByteArray m_pending;
    QList<FormPart> m_parts;
    QFile m_out;
    QString m_rawPath;
    qint64 m_size = 0;
    bool m_failed = false;
    QList<QString> m_made;
};
