// SPDX-License-Identifier: MIT
#include "imaging/Metadata.h"

#include "imaging/LibraryDecoders.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <mutex>
#include <string>

namespace {

// The XMP toolkit inside the metadata library keeps global state; the library takes a lock
// function for it, which makes reading metadata safe on the preparation threads.
std::mutex g_xmpMutex;

void LockXmp(void*, bool lock)
{
    if (lock)
        g_xmpMutex.lock();
    else
        g_xmpMutex.unlock();
}

void EnsureLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(&LockXmp, nullptr);
        // HEIF and AVIF: read only, to tell whether a file kept as it is carries a location.
        Exiv2::enableBMFF(true);
    });
}

// Throws for files of a kind the library does not know.
auto Open(QByteArrayView file)
{
    EnsureLibrary();
    return Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(file.data()), static_cast<long>(file.size()));
}

bool IsLocationKey(const std::string& key)
{
    return key.rfind("Exif.GPSInfo.", 0) == 0 || key == "Exif.Image.GPSTag"
        || key.rfind("Xmp.exif.GPS", 0) == 0;
}

bool HasLocation(const Exiv2::ExifData& exif)
{
    for (const auto& datum : exif) {
        if (IsLocationKey(datum.key()))
            return true;
    }
    return false;
}

bool HasLocation(Exiv2::Image& image)
{
    if (HasLocation(image.exifData()))
        return true;
    for (const auto& datum : image.xmpData()) {
        if (IsLocationKey(datum.key()))
            return true;
    }
    return false;
}

template<class Data> void EraseLocation(Data& data)
{
    for (auto it = data.begin(); it != data.end();) {
        if (IsLocationKey(it->key()))
            it = data.erase(it);
        else
            ++it;
    }
}

bool ExifHasLocation(const QByteArray& tiff)
{
    try {
        EnsureLibrary();
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(
            exif, reinterpret_cast<const Exiv2::byte*>(tiff.constData()), static_cast<uint32_t>(tiff.size()));
        return HasLocation(exif);
    } catch (...) {
        return true; // unreadable: not presented as free of a location
    }
}

} // namespace

PictureMetadata ReadMetadata(QByteArrayView file)
{
    PictureMetadata metadata;
    try {
        auto image = Open(file);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (orientation != exif.end() && orientation->count() > 0) {
            const long value = orientation->toLong();
            if (value >= 1 && value <= 8)
                metadata.orientation = static_cast<int>(value);
        }
        const Exiv2::DataBuf* icc = image->iccProfile();
        if (icc && icc->size_ > 0)
            metadata.iccProfile = QByteArray(reinterpret_cast<const char*>(icc->pData_), icc->size_);
    } catch (...) {
        // Unknown formats (GIF, BMP) and broken metadata: the pixels as stored, taken as sRGB.
    }
    return metadata;
}

QSize OrientedSize(QSize stored, int orientation)
{
    return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

QImage Oriented(QImage image, int orientation)
{
    // 2 mirrors, 3 turns half round, 4 flips; 5 to 8 lie on their side: 6 is turned a quarter
    // clockwise to stand up, 8 a quarter anticlockwise, and 5 and 7 are those mirrored.
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.transformed(QTransform().rotate(270)).mirrored(true, false);
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

LocationRemoval RemoveLocation(QByteArrayView file)
{
    using Outcome = LocationRemoval::Outcome;
    // HEIF and AVIF: the library reads their metadata only where another library wrote it its
    // way, so the blocks come from libheif. Nothing here writes these files.
    const HeifMetadata heif = ReadHeifMetadata(file);
    for (const QByteArray& exif : heif.exif) {
        if (ExifHasLocation(exif))
            return {Outcome::Kept, {}};
    }
    for (const QByteArray& xmp : heif.xmp) {
        if (xmp.contains("exif:GPS"))
            return {Outcome::Kept, {}};
    }
    decltype(Open(file)) image;
    try {
        image = Open(file);
    } catch (...) {
        return {}; // a kind of file that carries no metadata the library knows (GIF, BMP, JPEG XL)
    }
    try {
        image->readMetadata();
        if (!HasLocation(*image))
            return {};
        const int type = image->imageType();
        if (type != Exiv2::ImageType::jpeg && type != Exiv2::ImageType::png && type != Exiv2::ImageType::webp
            && type != Exiv2::ImageType::tiff)
            return {Outcome::Kept, {}};
        EraseLocation(image->exifData());
        const bool hadXmp = !image->xmpData().empty();
        EraseLocation(image->xmpData());
        // With no XMP left, the WebP writer would put back the packet as it was read.
        if (type == Exiv2::ImageType::webp && hadXmp && image->xmpData().empty())
            image->clearXmpPacket();
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        const long size = io.size();
        QByteArray stripped(size, Qt::Uninitialized);
        io.seek(0, Exiv2::BasicIo::beg);
        if (io.read(reinterpret_cast<Exiv2::byte*>(stripped.data()), size) != size)
            return {Outcome::Kept, {}};
        // Only a file the library reads back, without a location, is sent in the original's place.
        auto check = Open(stripped);
        check->readMetadata();
        if (HasLocation(*check))
            return {Outcome::Kept, {}};
        return {Outcome::Removed, stripped};
    } catch (...) {
        // Metadata the library cannot read cannot be checked either: a file whose location is
        // unknown is not presented as free of one.
        return {Outcome::Kept, {}};
    }
}
