// SPDX-License-Identifier: MIT
#include "imaging/LibraryDecoders.h"

#include "app/core/UniqueHandle.h"

#include <jxl/decode.h>
#include <jxl/encode.h> // the sRGB description lives with the encoder

namespace {

// Bytes per pixel as Qt keeps them; gray pictures come out with the gray in all three channels.
constexpr JxlPixelFormat kRgba {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

// JPEG XL: the first frame, turned upright by the library as the codestream says.
class JpegXlDecoder final : public LibraryDecoder
{
public:
    using LibraryDecoder::LibraryDecoder;

    bool Open() override
    {
        m_decoder.reset(JxlDecoderCreate(nullptr));
        if (!m_decoder
            || JxlDecoderSubscribeEvents(
                   m_decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE)
                != JXL_DEC_SUCCESS
            || JxlDecoderSetInput(m_decoder.get(), reinterpret_cast<const uint8_t*>(m_file.data()),
                   static_cast<size_t>(m_file.size()))
                != JXL_DEC_SUCCESS)
            return Fail(QStringLiteral("the JPEG XL library cannot be used"));
        JxlDecoderCloseInput(m_decoder.get());
        if (Next() != JXL_DEC_BASIC_INFO
            || JxlDecoderGetBasicInfo(m_decoder.get(), &m_info) != JXL_DEC_SUCCESS)
            return Fail(QStringLiteral("the JPEG XL file is damaged or cut short"));
        m_size = QSize(int(m_info.xsize), int(m_info.ysize));
        if (m_info.orientation >= JXL_ORIENT_TRANSPOSE)
            m_size.transpose();
        return true;
    }

    QSize Size() const override { return m_size; }
    bool TurnsItself() const override { return true; }
    QByteArray IccProfile() const override { return m_icc; }

    QImage Decode(QSize, bool) override
    {
        QImage image;
        for (;;) {
            switch (Next()) {
            case JXL_DEC_COLOR_ENCODING:
                ReadProfile();
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                image = QImage(m_size, QImage::Format_RGBA8888);
                if (image.isNull() || image.bytesPerLine() != m_size.width() * 4) {
                    Fail(QStringLiteral("not enough memory for the JPEG XL picture"));
                    return {};
                }
                if (JxlDecoderSetImageOutBuffer(
                        m_decoder.get(), &kRgba, image.bits(), static_cast<size_t>(image.sizeInBytes()))
                    != JXL_DEC_SUCCESS) {
                    Fail(QStringLiteral("the JPEG XL picture cannot be decoded"));
                    return {};
                }
                break;
            case JXL_DEC_FULL_IMAGE: {
                const bool alpha = m_info.alpha_bits > 0;
                RgbaToArgb32(image.bits(), image.width(), image.height(), image.bytesPerLine(), !alpha);
                image.reinterpretAsFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
                return image;
            }
            default:
                Fail(QStringLiteral("the JPEG XL file is damaged or cut short"));
                return {};
            }
        }
    }

private:
    JxlDecoderStatus Next() { return JxlDecoderProcessInput(m_decoder.get()); }

    // A picture coded in the format's own colour space comes out in sRGB; one that keeps its
    // original profile comes out in that, and says which.
    void ReadProfile()
    {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, m_info.num_color_channels == 1 ? JXL_TRUE : JXL_FALSE);
        JxlDecoderSetPreferredColorProfile(m_decoder.get(), &srgb);
        size_t size = 0;
        if (JxlDecoderGetICCProfileSize(m_decoder.get(), &kRgba, JXL_COLOR_PROFILE_TARGET_DATA, &size)
                != JXL_DEC_SUCCESS
            || size == 0)
            return;
        m_icc = QByteArray(static_cast<qsizetype>(size), '\0');
        if (JxlDecoderGetColorAsICCProfile(m_decoder.get(), &kRgba, JXL_COLOR_PROFILE_TARGET_DATA,
                reinterpret_cast<uint8_t*>(m_icc.data()), size)
            != JXL_DEC_SUCCESS)
            m_icc.clear();
    }

    UniqueHandle<JxlDecoder, JxlDecoderDestroy> m_decoder;
    JxlBasicInfo m_info {};
    QSize m_size;
    QByteArray m_icc;
};

} // namespace

std::unique_ptr<LibraryDecoder> MakeJxlDecoder(QByteArrayView file)
{
    return std::make_unique<JpegXlDecoder>(file);
}
