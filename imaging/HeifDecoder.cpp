// SPDX-License-Identifier: MIT
#include "app/core/UniqueHandle.h"
#include "imaging/ColourProfile.h"
#include "imaging/LibraryDecoders.h"

#include <libheif/heif.h>

#include <QtEndian>
#include <cmath>
#include <vector>

namespace {

using Context = UniqueHandle<heif_context, heif_context_free>;
using Handle = UniqueHandle<heif_image_handle, heif_image_handle_release>;

QSize SizeOf(const heif_image_handle* handle)
{
    return QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

// HEIC from phones and AVIF: libheif turns, mirrors and crops the picture as the file says,
// and converts its YCbCr to RGB with the file's own matrix.
class HeifDecoder final : public LibraryDecoder
{
public:
    using LibraryDecoder::LibraryDecoder;

    bool Open() override
    {
        m_context.reset(heif_context_alloc());
        if (!m_context)
            return Fail(QStringLiteral("not enough memory to read the HEIF file"));
        heif_error error = heif_context_read_from_memory_without_copy(
            m_context.get(), m_file.data(), static_cast<size_t>(m_file.size()), nullptr);
        if (error.code != heif_error_Ok)
            return Fail(Problem(error));
        heif_image_handle* primary = nullptr;
        error = heif_context_get_primary_image_handle(m_context.get(), &primary);
        m_primary.reset(primary);
        if (error.code != heif_error_Ok)
            return Fail(Problem(error));
        return true;
    }

    QSize Size() const override { return SizeOf(m_primary.get()); }
    bool TurnsItself() const override { return true; }
    QByteArray IccProfile() const override { return m_icc; }

    QImage Decode(QSize wanted, bool preview) override
    {
        Handle thumbnail = wanted.isEmpty() || !preview ? Handle() : ThumbnailFor(wanted);
        const heif_image_handle* handle = thumbnail ? thumbnail.get() : m_primary.get();
        const UniqueHandle<heif_decoding_options, heif_decoding_options_free> options(
            heif_decoding_options_alloc());
        options->convert_hdr_to_8bit = 1;
        heif_image* decoded = nullptr;
        const heif_error error = heif_decode_image(
            handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get());
        if (error.code != heif_error_Ok || !decoded) {
            if (decoded)
                heif_image_release(decoded);
            Fail(Problem(error));
            return {};
        }
        int stride = 0;
        uint8_t* pixels = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
        const int width = heif_image_get_width(decoded, heif_channel_interleaved);
        const int height = heif_image_get_height(decoded, heif_channel_interleaved);
        if (!pixels || width <= 0 || height <= 0) {
            heif_image_release(decoded);
            Fail(QStringLiteral("the HEIF file holds no picture"));
            return {};
        }
        const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
        RgbaToArgb32(pixels, width, height, stride, !alpha);
        m_icc = ProfileOf(handle);
        // The decoder's own buffer becomes the picture: a large photo is held once, not twice.
        return QImage(
            pixels, width, height, stride, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
            [](void* image) { heif_image_release(static_cast<heif_image*>(image)); }, decoded);
    }

private:
    static QString Problem(const heif_error& error)
    {
        return QStringLiteral("the HEIF file cannot be read: %1").arg(QString::fromUtf8(error.message));
    }

    // The stored thumbnail, when it is at least as large as wanted and shows the same picture.
    Handle ThumbnailFor(QSize wanted) const
    {
        const int count = heif_image_handle_get_number_of_thumbnails(m_primary.get());
        if (count <= 0)
            return {};
        std::vector<heif_item_id> ids(static_cast<size_t>(count));
        heif_image_handle_get_list_of_thumbnail_IDs(m_primary.get(), ids.data(), count);
        const QSize full = Size();
        Handle best;
        for (const heif_item_id id : ids) {
            heif_image_handle* candidate = nullptr;
            if (heif_image_handle_get_thumbnail(m_primary.get(), id, &candidate).code != heif_error_Ok)
                continue;
            Handle handle(candidate);
            const QSize size = SizeOf(handle.get());
            const bool sameShape
                = std::abs(double(size.width()) / size.height() - double(full.width()) / full.height())
                < 0.01 * double(full.width()) / full.height();
            if (size.width() >= wanted.width() && size.height() >= wanted.height() && sameShape
                && (!best || size.width() < SizeOf(best.get()).width()))
                best = std::move(handle);
        }
        return best;
    }

    // An ICC profile as stored, or one made from the colour primaries HEIF and AVIF name by number;
    // BT.709's are sRGB's.
    static QByteArray ProfileOf(const heif_image_handle* handle)
    {
        switch (heif_image_handle_get_color_profile_type(handle)) {
        case heif_color_profile_type_prof:
        case heif_color_profile_type_rICC: {
            QByteArray icc(
                static_cast<qsizetype>(heif_image_handle_get_raw_color_profile_size(handle)), '\0');
            if (icc.isEmpty()
                || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
                return {};
            return icc;
        }
        case heif_color_profile_type_nclx: {
            heif_color_profile_nclx* nclx = nullptr;
            if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
                return {};
            QByteArray icc;
            const auto primaries = nclx->color_primaries;
            const auto transfer = nclx->transfer_characteristics;
            // PQ and HLG need tone mapping that a profile cannot give; those stay as decoded.
            if (primaries != heif_color_primaries_ITU_R_BT_709_5
                && primaries != heif_color_primaries_unspecified
                && transfer != heif_transfer_characteristic_ITU_R_BT_2100_0_PQ
                && transfer != heif_transfer_characteristic_ITU_R_BT_2100_0_HLG) {
                const double xy[6]
                    = {nclx->color_primary_red_x, nclx->color_primary_red_y, nclx->color_primary_green_x,
                        nclx->color_primary_green_y, nclx->color_primary_blue_x, nclx->color_primary_blue_y};
                icc = RgbProfile(xy, nclx->color_primary_white_x, nclx->color_primary_white_y);
            }
            heif_nclx_color_profile_free(nclx);
            return icc;
        }
        default:
            return {};
        }
    }

    Context m_context;
    Handle m_primary;
    QByteArray m_icc;
};

} // namespace

HeifMetadata ReadHeifMetadata(QByteArrayView file)
{
    HeifMetadata metadata;
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    if (file.size() < 12
        || heif_check_filetype(bytes, int(std::min<qsizetype>(file.size(), 64))) == heif_filetype_no)
        return metadata;
    const Context context(heif_context_alloc());
    heif_image_handle* primary = nullptr;
    if (!context
        || heif_context_read_from_memory_without_copy(
               context.get(), file.data(), size_t(file.size()), nullptr)
                .code
            != heif_error_Ok
        || heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok)
        return metadata;
    const Handle handle(primary);
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle.get(), nullptr);
    std::vector<heif_item_id> ids(size_t(std::max(count, 0)));
    heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), nullptr, ids.data(), count);
    for (const heif_item_id id : ids) {
        QByteArray block(qsizetype(heif_image_handle_get_metadata_size(handle.get(), id)), '\0');
        if (block.isEmpty()
            || heif_image_handle_get_metadata(handle.get(), id, block.data()).code != heif_error_Ok)
            continue;
        const QByteArray type = heif_image_handle_get_metadata_type(handle.get(), id);
        if (type == "Exif" && block.size() > 4) {
            // The block starts with the distance from its fifth byte to the TIFF header.
            const quint32 offset = qFromBigEndian<quint32>(block.constData());
            if (offset < quint32(block.size() - 4))
                metadata.exif << block.mid(4 + offset);
        } else if (type == "mime") {
            metadata.xmp << block;
        }
    }
    return metadata;
}

std::unique_ptr<LibraryDecoder> MakeHeifDecoder(QByteArrayView file)
{
    return std::make_unique<HeifDecoder>(file);
}
