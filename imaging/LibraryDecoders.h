// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <memory>

/// A picture format that Qt's readers do not know, read by its own library: HEIF and AVIF
/// (libheif), WebP (libwebp), TIFF (libtiff) and JPEG XL (libjxl). The file's bytes stay the
/// caller's and must outlive the decoder.
class LibraryDecoder
{
public:
    /// The decoder for `file` by its signature; null for the formats Qt reads (JPEG, PNG, GIF, BMP).
    static std::unique_ptr<LibraryDecoder> For(QByteArrayView file);
    virtual ~LibraryDecoder();

    /// Reads the header; false when the file cannot be read, and Error() says why.
    virtual bool Open() = 0;
    /// The picture's size as Decode gives it at full size.
    virtual QSize Size() const = 0;
    /// True when the format turns the picture upright itself (HEIF, JPEG XL): an EXIF orientation
    /// in the file then only describes it.
    virtual bool TurnsItself() const { return false; }
    /// The whole picture, or one at least `wanted` large where the format can decode smaller
    /// (a WebP's own scaling; with `preview`, a HEIF's stored thumbnail, which is good enough to
    /// look at but not to publish); an empty `wanted` asks for full size. Format_RGB32, or
    /// Format_ARGB32 with straight alpha; null on failure, and Error() says why.
    virtual QImage Decode(QSize wanted, bool preview) = 0;
    /// The colour profile of what Decode gave, for the formats that keep it apart from the
    /// metadata the metadata library reads (HEIF, JPEG XL); empty for sRGB.
    virtual QByteArray IccProfile() const { return {}; }

    QString Error() const { return m_error; }

    explicit LibraryDecoder(QByteArrayView file)
        : m_file(file)
    { }

protected:
    bool Fail(const QString& why)
    {
        m_error = why;
        return false;
    }

    QByteArrayView m_file;
    QString m_error;
};

/// Turns bytes in the order red, green, blue, alpha into Qt's 32-bit pixels, in place; with
/// `opaque` the alpha becomes 255.
void RgbaToArgb32(uchar* data, int width, int height, qsizetype bytesPerLine, bool opaque);

/// The EXIF blocks (each from its TIFF header on) and XMP packets of a HEIF or AVIF file; none for
/// other files.
struct HeifMetadata
{
    QList<QByteArray> exif;
    QList<QByteArray> xmp;
};
HeifMetadata ReadHeifMetadata(QByteArrayView file);

std::unique_ptr<LibraryDecoder> MakeHeifDecoder(QByteArrayView file);
std::unique_ptr<LibraryDecoder> MakeWebpDecoder(QByteArrayView file);
std::unique_ptr<LibraryDecoder> MakeTiffDecoder(QByteArrayView file);
std::unique_ptr<LibraryDecoder> MakeJxlDecoder(QByteArrayView file);
