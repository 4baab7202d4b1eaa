// SPDX-License-Identifier: MIT
#include "imaging/LibraryDecoders.h"

#include "app/core/UniqueHandle.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

// libtiff reads through these callbacks from the bytes in memory.
struct MemoryFile
{
    QByteArrayView data;
    toff_t position = 0;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t left = toff_t(file->data.size()) - std::min<toff_t>(file->position, file->data.size());
    const tmsize_t count = static_cast<tmsize_t>(std::min<toff_t>(left, toff_t(size)));
    std::memcpy(buffer, file->data.data() + file->position, size_t(count));
    file->position += toff_t(count);
    return count;
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR ? file->position
        : whence == SEEK_END               ? toff_t(file->data.size())
                                           : 0;
    file->position = base + offset;
    return file->position;
}

int CloseProc(thandle_t)
{
    return 0;
}

toff_t SizeProc(thandle_t handle)
{
    return toff_t(static_cast<MemoryFile*>(handle)->data.size());
}

int MapProc(thandle_t handle, void** base, toff_t* size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    *base = const_cast<char*>(file->data.data());
    *size = toff_t(file->data.size());
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) { }

// The library's messages go to standard error by default; the decoder reports its own.
void SilenceLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

// The first page of a TIFF file, in any of the layouts libtiff turns into RGBA: 8 and 16 bits,
// gray, palette, CMYK, YCbCr. Its Orientation tag is the EXIF orientation, applied by the caller.
class TiffDecoder final : public LibraryDecoder
{
public:
    explicit TiffDecoder(QByteArrayView file)
        : LibraryDecoder(file)
        , m_memory {file, 0}
    { }

    bool Open() override
    {
        SilenceLibrary();
        m_tiff.reset(TIFFClientOpen("picture", "rm", &m_memory, ReadProc, WriteProc, SeekProc, CloseProc,
            SizeProc, MapProc, UnmapProc));
        if (!m_tiff)
            return Fail(QStringLiteral("the TIFF file is damaged"));
        uint32_t width = 0;
        uint32_t height = 0;
        TIFFGetField(m_tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(m_tiff.get(), TIFFTAG_IMAGELENGTH, &height);
        if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
            return Fail(QStringLiteral("the TIFF file holds no picture"));
        m_size = QSize(int(width), int(height));
        return true;
    }

    QSize Size() const override { return m_size; }

    QImage Decode(QSize, bool) override
    {
        char message[1024] = {};
        TIFFRGBAImage reader;
        if (!TIFFRGBAImageOK(m_tiff.get(), message)
            || !TIFFRGBAImageBegin(&reader, m_tiff.get(), 1, message)) {
            Fail(QStringLiteral("the TIFF picture cannot be decoded: %1")
                     .arg(QString::fromLocal8Bit(message)));
            return {};
        }
        // Rows as they are stored: the orientation is turned afterwards, like every other format's.
        reader.req_orientation = ORIENTATION_TOPLEFT;
        reader.orientation = ORIENTATION_TOPLEFT;
        const bool alpha = reader.alpha != 0;
        // Pixels come as red, green, blue, alpha bytes with the alpha premultiplied.
        QImage image(m_size, alpha ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGB32);
        const bool ok = !image.isNull()
            && TIFFRGBAImageGet(&reader, reinterpret_cast<uint32_t*>(image.bits()), uint32_t(m_size.width()),
                uint32_t(m_size.height()));
        TIFFRGBAImageEnd(&reader);
        if (!ok) {
            Fail(image.isNull() ? QStringLiteral("not enough memory for the TIFF picture")
                                : QStringLiteral("the TIFF picture is damaged or cut short"));
            return {};
        }
        if (alpha)
            return std::move(image).convertToFormat(QImage::Format_ARGB32);
        RgbaToArgb32(image.bits(), image.width(), image.height(), image.bytesPerLine(), true);
        return image;
    }

private:
    MemoryFile m_memory;
    UniqueHandle<TIFF, TIFFClose> m_tiff;
    QSize m_size;
};

} // namespace

std::unique_ptr<LibraryDecoder> MakeTiffDecoder(QByteArrayView file)
{
    return std::make_unique<TiffDecoder>(file);
}
