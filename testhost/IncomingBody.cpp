// SPDX-License-Identifier: MIT
#include "testhost/IncomingBody.h"

#include "app/core/Files.h"

namespace {

// A part head longer than this is no form a client of ours sends.
constexpr qsizetype kMaxPartHead = 16 * 1024;
// Field values are kept in memory; a larger one is cut.
constexpr qsizetype kMaxFieldValue = 1024 * 1024;

QByteArray Unquote(const QByteArray& value)
{
    return value.size() >= 2 && value.startsWith('"') && value.endsWith('"') ? value.mid(1, value.size() - 2)
                                                                             : value;
}

} // namespace

QByteArray BoundaryOf(const QByteArray& contentType)
{
    const qsizetype at = contentType.indexOf("boundary=");
    if (at < 0)
        return {};
    QByteArray value = contentType.mid(at + 9);
    if (const qsizetype semicolon = value.indexOf(';'); semicolon >= 0)
        value.truncate(semicolon);
    return Unquote(value.trimmed());
}

IncomingBody::IncomingBody(const QString& filePrefix, const QByteArray& contentType)
    : m_prefix(filePrefix)
{
    if (contentType.trimmed().toLower().startsWith("multipart/form-data"))
        m_boundary = BoundaryOf(contentType);
    if (IsForm()) {
        m_delimiter = "\r\n--" + m_boundary;
        // The first delimiter may open the body without a line break before it.
        m_pending = "\r\n";
    } else {
        m_rawPath = OpenNewFile();
        m_failed = m_rawPath.isEmpty();
    }
}

IncomingBody::~IncomingBody()
{
    m_out.close();
    for (const QString& path : m_made)
        QFile::remove(path);
}

QString IncomingBody::OpenNewFile()
{
    CreatedFile file = CreateUniqueFile(m_prefix + QString::number(++m_files), QString());
    if (!file.ok())
        return {};
    m_made << file.path;
    m_out.setFileName(file.path);
    return m_out.open(file.fd.release(), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) ? file.path
                                                                                             : QString();
}

void IncomingBody::Feed(QByteArrayView bytes)
{
    if (!IsForm()) {
        m_size += bytes.size();
        if (!m_failed && m_out.write(bytes.data(), bytes.size()) != bytes.size())
            m_failed = true;
        return;
    }
    if (m_state == State::End)
        return;
    m_pending.append(bytes);
    Parse();
}

bool IncomingBody::Finish()
{
    m_out.close();
    if (IsForm())
        return !m_failed && m_state == State::End;
    return !m_failed;
}

const FormPart* IncomingBody::FilePart() const
{
    for (auto it = m_parts.crbegin(); it != m_parts.crend(); ++it) {
        if (it->isFile)
            return &*it;
    }
    return nullptr;
}

QByteArray IncomingBody::Field(QByteArrayView name) const
{
    for (const FormPart& part : m_parts) {
        if (!part.isFile && part.name == name)
            return part.value.isNull() ? QByteArray("") : part.value;
    }
    return {};
}

void IncomingBody::Parse()
{
    for (;;) {
        switch (m_state) {
        case State::Preamble:
        case State::PartData: {
            const qsizetype at = m_pending.indexOf(m_delimiter);
            if (at < 0) {
                // Keep what could be the start of a delimiter split across two reads.
                const qsizetype safe = m_pending.size() - m_delimiter.size() + 1;
                if (safe > 0) {
                    if (m_state == State::PartData)
                        Emit(QByteArrayView(m_pending).first(safe));
                    m_pending.remove(0, safe);
                }
                return;
            }
            if (m_state == State::PartData) {
                Emit(QByteArrayView(m_pending).first(at));
                m_out.close();
            }
            m_pending.remove(0, at + m_delimiter.size());
            m_state = State::AfterDelimiter;
            break;
        }
        case State::AfterDelimiter:
            if (m_pending.size() < 2)
                return;
            if (m_pending.startsWith("--")) {
                m_state = State::End;
                m_pending.clear();
                return;
            }
            if (!m_pending.startsWith("\r\n")) {
                m_failed = true;
                m_state = State::End;
                return;
            }
            m_pending.remove(0, 2);
            m_state = State::PartHead;
            break;
        case State::PartHead: {
            const qsizetype end = m_pending.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_pending.size() > kMaxPartHead) {
                    m_failed = true;
                    m_state = State::End;
                }
                return;
            }
            StartPart(m_pending.left(end));
            m_pending.remove(0, end + 4);
            m_state = State::PartData;
            break;
        }
        case State::End:
            return;
        }
    }
}

void IncomingBody::StartPart(const QByteArray& head)
{
    FormPart part;
    for (const QByteArray& rawLine : head.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.toLower().startsWith("content-disposition:"))
            continue;
        for (QByteArray param : line.split(';')) {
            param = param.trimmed();
            if (param.startsWith("name=")) {
                part.name = Unquote(param.mid(5));
            } else if (param.startsWith("filename=")) {
                part.fileName = Unquote(param.mid(9));
                part.isFile = true;
            }
        }
    }
    if (part.isFile) {
        part.path = OpenNewFile();
        m_failed = m_failed || part.path.isEmpty();
    }
    m_parts.append(part);
}

void IncomingBody::Emit(QByteArrayView bytes)
{
    FormPart& part = m_parts.last();
    part.size += bytes.size();
    if (part.isFile) {
        if (m_out.isOpen() && m_out.write(bytes.data(), bytes.size()) != bytes.size())
            m_failed = true;
    } else if (part.value.size() < kMaxFieldValue) {
        part.value.append(bytes.first(std::min(bytes.size(), kMaxFieldValue - part.value.size())));
    }
}
