// SPDX-License-Identifier: MIT
#include "tests/support/PhotoFiles.h"

#include <QTemporaryFile>
#include <exiv2/exiv2.hpp>
#include <jxl/encode.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace {

// Tightly packed red, green, blue bytes, as the encoders take them.
std::vector<uint8_t> RgbBytes(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> bytes;
    for (int y = 0; y < rgb.height(); ++y)
        bytes.insert(bytes.end(), rgb.constScanLine(y), rgb.constScanLine(y) + rgb.width() * 3);
    return bytes;
}

void Set(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, const ExifTags& tags)
{
    for (const auto& [key, value] : tags) {
        if (key.rfind("Xmp.", 0) == 0)
            xmp[key] = value;
        else
            exif[key] = value;
    }
}

} // namespace

QByteArray WithMetadata(const QByteArray& file, const ExifTags& tags, const QByteArray& icc)
{
    auto image
        = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.data()), long(file.size()));
    image->readMetadata();
    Set(image->exifData(), image->xmpData(), tags);
    Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.data()), long(icc.size()));
    if (!icc.isEmpty())
        image->setIccProfile(profile);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    QByteArray out(io.size(), '\0');
    io.seek(0, Exiv2::BasicIo::beg);
    io.read(reinterpret_cast<Exiv2::byte*>(out.data()), long(out.size()));
    return out;
}

ExifTags LocationTags()
{
    return {{"Exif.Image.Make", "Vellmar Test Camera"}, {"Exif.GPSInfo.GPSLatitudeRef", "N"},
        {"Exif.GPSInfo.GPSLatitude", "55/1 45/1 2103/100"}, {"Exif.GPSInfo.GPSLongitudeRef", "E"},
        {"Exif.GPSInfo.GPSLongitude", "37/1 37/1 1/1"}, {"Xmp.exif.GPSLatitude", "55,45.35N"}};
}

QByteArray HeifOf(const QImage& image, bool avif, const ExifTags& exif, int primaries, const QByteArray& icc)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(
        context, avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 95);
    if (avif)
        heif_encoder_set_parameter_integer(encoder, "speed", 9);
    heif_image* picture = nullptr;
    heif_image_create(
        image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    const std::vector<uint8_t> rgb = RgbBytes(image);
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(rgb.data() + size_t(y) * image.width() * 3, image.width() * 3, plane + y * stride);
    if (primaries) {
        heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
        heif_nclx_color_profile_set_color_primaries(nclx, uint16_t(primaries));
        heif_nclx_color_profile_set_transfer_characteristics(nclx, 13);
        heif_image_set_nclx_color_profile(picture, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    if (!icc.isEmpty())
        heif_image_set_raw_color_profile(picture, "prof", icc.data(), size_t(icc.size()));
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->macOS_compatibility_workaround_no_nclx_profile = 0; // it would leave the primaries out
    heif_image_handle* handle = nullptr;
    heif_context_encode_image(context, picture, encoder, options, &handle);
    heif_image_handle* thumbnail = nullptr;
    heif_context_encode_thumbnail(context, picture, handle, encoder, options, 48, &thumbnail);
    heif_encoding_options_free(options);
    heif_image_handle_release(thumbnail);
    if (!exif.empty()) {
        Exiv2::ExifData data;
        Exiv2::XmpData unused;
        Set(data, unused, exif);
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
        heif_context_add_exif_metadata(context, handle, blob.data(), int(blob.size()));
    }
    QByteArray out;
    heif_writer writer {1, [](heif_context*, const void* data, size_t size, void* target) {
                            static_cast<QByteArray*>(target)->append(
                                static_cast<const char*>(data), qsizetype(size));
                            return heif_error {heif_error_Ok, heif_suberror_Unspecified, ""};
                        }};
    heif_context_write(context, &writer, &out);
    heif_image_handle_release(handle);
    heif_image_release(picture);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

QByteArray TiffOf(const QImage& image, int orientation)
{
    QTemporaryFile file;
    file.open();
    TIFF* tiff = TIFFOpen(QFile::encodeName(file.fileName()).constData(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(orientation));
    std::vector<uint8_t> rgb = RgbBytes(image);
    for (int y = 0; y < image.height(); ++y)
        TIFFWriteScanline(tiff, rgb.data() + size_t(y) * image.width() * 3, uint32_t(y), 0);
    TIFFClose(tiff);
    return file.readAll();
}

QByteArray JxlOf(const QImage& image)
{
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(image.width());
    info.ysize = uint32_t(image.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    JxlEncoderSetBasicInfo(encoder, &info);
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    JxlEncoderSetColorEncoding(encoder, &srgb);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    JxlEncoderSetFrameDistance(settings, 0.5f);
    const std::vector<uint8_t> rgb = RgbBytes(image);
    const JxlPixelFormat format {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size());
    JxlEncoderCloseInput(encoder);
    QByteArray out(4096, '\0');
    size_t used = 0;
    for (;;) {
        auto* next = reinterpret_cast<uint8_t*>(out.data()) + used;
        size_t available = size_t(out.size()) - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &available);
        used = size_t(next - reinterpret_cast<uint8_t*>(out.data()));
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            break;
        out.resize(out.size() * 2);
    }
    JxlEncoderDestroy(encoder);
    out.resize(qsizetype(used));
    return out;
}

QByteArray AnimatedWebpOf(const QImage& first, const QImage& second)
{
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(first.width(), first.height(), &options);
    WebPConfig config;
    WebPConfigInit(&config);
    int timestamp = 0;
    for (const QImage& frame : {first, second}) {
        const QImage rgba = frame.convertToFormat(QImage::Format_RGBA8888);
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.width = rgba.width();
        picture.height = rgba.height();
        picture.use_argb = 1;
        WebPPictureImportRGBA(&picture, rgba.constBits(), int(rgba.bytesPerLine()));
        WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
        WebPPictureFree(&picture);
        timestamp += 100;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    WebPAnimEncoderAssemble(encoder, &data);
    const QByteArray out(reinterpret_cast<const char*>(data.bytes), qsizetype(data.size));
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return out;
}
