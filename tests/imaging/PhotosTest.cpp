// SPDX-License-Identifier: MIT
#include "imaging/Decode.h"
#include "imaging/Encoders.h"
#include "imaging/Prepare.h"
#include "imaging/Resample.h"
#include "imaging/TempFolder.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <lcms2.h>

namespace {

const QRgb kRed = qRgb(220, 30, 30);
const QRgb kGreen = qRgb(30, 200, 40);
const QRgb kBlue = qRgb(30, 40, 210);
const QRgb kYellow = qRgb(230, 220, 20);

// Four quadrants, red, green / blue, yellow, as stored: no turn or mirror leaves it alone.
QImage Quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, w / 2, h / 2, QColor(kRed));
    painter.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(kGreen));
    painter.fillRect(0, h / 2, w / 2, h - h / 2, QColor(kBlue));
    painter.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(kYellow));
    return image;
}

// The colours near the corners: top left, top right, bottom left, bottom right.
std::array<QRgb, 4> Corners(const QImage& image)
{
    const int r = image.width() - 3;
    const int b = image.height() - 3;
    return {image.pixel(2, 2), image.pixel(r, 2), image.pixel(2, b), image.pixel(r, b)};
}

bool NearAll(const std::array<QRgb, 4>& a, const std::array<QRgb, 4>& b, int tolerance)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (!Near(a[i], b[i], tolerance))
            return false;
    return true;
}

QStringList MetadataKeys(const QByteArray& file)
{
    auto image
        = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.data()), long(file.size()));
    image->readMetadata();
    QStringList keys;
    for (const auto& datum : image->exifData())
        keys << QString::fromStdString(datum.key());
    for (const auto& datum : image->xmpData())
        keys << QString::fromStdString(datum.key());
    return keys;
}

} // namespace

// Every EXIF orientation: the decoded picture stands upright, at full and at reduced size, and
// a bounded preparation bounds the upright picture.
TEST(Photos, EveryOrientationStandsUpright)
{
    TestDir dir;
    const QByteArray stored = Encode(Quadrants(96, 64), "jpeg", 95);
    // Where the stored corners end up, from the EXIF definitions of the eight values.
    const std::array<QRgb, 4> R {kRed, kGreen, kBlue, kYellow};
    const std::pair<int, std::array<QRgb, 4>> cases[] = {
        {1, {R[0], R[1], R[2], R[3]}}, // as stored
        {2, {R[1], R[0], R[3], R[2]}}, // mirrored left to right
        {3, {R[3], R[2], R[1], R[0]}}, // half a turn
        {4, {R[2], R[3], R[0], R[1]}}, // upside down
        {5, {R[0], R[2], R[1], R[3]}}, // transposed
        {6, {R[2], R[0], R[3], R[1]}}, // a quarter turn clockwise
        {7, {R[3], R[1], R[2], R[0]}}, // transposed the other way
        {8, {R[1], R[3], R[0], R[2]}}, // a quarter turn anticlockwise
    };
    for (const auto& [orientation, corners] : cases) {
        SCOPED_TRACE(orientation);
        const QString path = dir.write(QStringLiteral("o%1.jpg").arg(orientation),
            WithMetadata(stored, {{"Exif.Image.Orientation", std::to_string(orientation)}}));
        const QSize upright = orientation >= 5 ? QSize(64, 96) : QSize(96, 64);
        const DecodedImage whole = DecodeImage(path);
        ASSERT_FALSE(whole.isNull()) << whole.error.toStdString();
        EXPECT_EQ(whole.image.size(), upright);
        EXPECT_TRUE(NearAll(Corners(whole.image), corners, 12));
        const DecodedImage small = DecodeImage(path, QSize(20, 20));
        EXPECT_EQ(small.originalSize, upright);
        EXPECT_TRUE(NearAll(Corners(small.image), corners, 40));

        // Turned after scaling (the preparation's way) or before: the same picture, also where a
        // shrink by 2 leaves half a pixel over and the turn moves it to the left or the top.
        const QString odd = dir.write(QStringLiteral("odd%1.jpg").arg(orientation),
            WithMetadata(Encode(Quadrants(97, 65), "jpeg", 95),
                {{"Exif.Image.Orientation", std::to_string(orientation)}}));
        const DecodedImage later = DecodeImageShrunk(
            odd, [](QSize) { return 2; }, true);
        const DecodedImage now = DecodeImageShrunk(odd, [](QSize) { return 2; });
        EXPECT_EQ(later.extent, now.extent);
        EXPECT_EQ(later.origin, now.origin);
        const QSize out = orientation >= 5 ? QSize(21, 31) : QSize(31, 21);
        const QRectF area
            = SourceAreaFor(now.extent, QRectF(QPointF(0, 0), QSizeF(out)), out).translated(now.origin);
        const QImage a = ResampleUpright(later, area, out);
        const QImage b = Resample(now.image, area, out);
        ASSERT_EQ(a.size(), b.size());
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                ASSERT_TRUE(Near(a.pixel(x, y), b.pixel(x, y), 1)) << x << "," << y;
    }

    // A portrait photo stored on its side: bounded to 48 wide, it is 48 x 72, its thumbnail upright.
    MainPart main;
    main.Image.MaxWidth = 48;
    main.Image.AddText = main.Image.AddLogo = false;
    main.Thumbs.AddImageSize = false;
    const QString sideways = dir.write(QStringLiteral("portrait.jpg"),
        WithMetadata(Encode(Quadrants(1200, 800), "jpeg", 90), {{"Exif.Image.Orientation", "6"}}));
    const PreparedImage prepared = PrepareImage(*TestTemp(), sideways, 60, main, AppearancePart());
    ASSERT_TRUE(prepared.ok()) << prepared.error.toStdString();
    const QImage picture(prepared.path);
    EXPECT_EQ(picture.size(), QSize(48, 72));
    EXPECT_TRUE(NearAll(Corners(picture), cases[5].second, 24));
    EXPECT_EQ(QImageReader(prepared.thumbPath).size(), QSize(60, 2 + 87));
}

// A picture tagged with a colour profile comes out in sRGB, as the profile's own conversion gives
// it; one tagged sRGB, or untagged, keeps its numbers.
TEST(Photos, ColourProfilesAreConvertedToSrgb)
{
    TestDir dir;
    const QImage picture = Gradient(120, 90);
    const auto tagged = [&](QColorSpace::NamedColorSpace space) {
        QImage image = picture;
        image.setColorSpace(space);
        return image;
    };
    const auto inSrgb = [&](QColorSpace::NamedColorSpace space) {
        return tagged(space).convertedToColorSpace(QColorSpace::SRgb);
    };
    // A gray picture whose profile says its numbers are linear light: sRGB lifts the middle greys.
    const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
    QImage grayInSrgb = gray.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < gray.height(); ++y)
        for (int x = 0; x < gray.width(); ++x) {
            const double linear = qGray(gray.pixel(x, y)) / 255.0;
            const double encoded
                = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
            const int v = int(std::lround(encoded * 255));
            grayInSrgb.setPixel(x, y, qRgb(v, v, v));
        }
    const std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> linear(
        cmsBuildGamma(nullptr, 1.0), cmsFreeToneCurve);
    const std::unique_ptr<void, int (*)(cmsHPROFILE)> linearGray(
        cmsCreateGrayProfile(cmsD50_xyY(), linear.get()), cmsCloseProfile);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(linearGray.get(), nullptr, &size);
    QByteArray grayIcc(qsizetype(size), '\0');
    cmsSaveProfileToMem(linearGray.get(), grayIcc.data(), &size);

    // The file; the picture its profile's own conversion gives, and how far each channel may be off.
    const std::tuple<const char*, QByteArray, QImage, int> cases[] = {
        {"adobe.png", Encode(tagged(QColorSpace::AdobeRgb), "png"), inSrgb(QColorSpace::AdobeRgb), 2},
        {"adobe.jpg", Encode(tagged(QColorSpace::AdobeRgb), "jpeg", 98), inSrgb(QColorSpace::AdobeRgb), 8},
        {"p3.png", Encode(tagged(QColorSpace::DisplayP3), "png"), inSrgb(QColorSpace::DisplayP3), 2},
        {"p3.heic", HeifOf(picture, false, {}, 12), inSrgb(QColorSpace::DisplayP3), 12}, // by number
        {"adobe.avif", HeifOf(picture, true, {}, 0, QColorSpace(QColorSpace::AdobeRgb).iccProfile()),
            inSrgb(QColorSpace::AdobeRgb), 12},
        {"gray.jpg", WithMetadata(Encode(gray, "jpeg", 98), {}, grayIcc), grayInSrgb, 4},
        {"srgb.png", Encode(tagged(QColorSpace::SRgb), "png"), picture, 0},
    };
    for (const auto& [name, file, expected, tolerance] : cases) {
        SCOPED_TRACE(name);
        const DecodedImage decoded = DecodeImage(dir.write(QString::fromLatin1(name), file));
        ASSERT_FALSE(decoded.isNull());
        int worst = 0;
        int moved = 0;
        for (int y = 2; y < 90; y += 11)
            for (int x = 2; x < 120; x += 13)
                for (int shift : {0, 8, 16}) {
                    const int channel = int(decoded.image.pixel(x, y) >> shift & 0xFF);
                    worst = std::max(worst, std::abs(channel - int(expected.pixel(x, y) >> shift & 0xFF)));
                    moved = std::max(moved, std::abs(channel - int(picture.pixel(x, y) >> shift & 0xFF)));
                }
        EXPECT_LE(worst, tolerance);
        if (expected != picture) {
            EXPECT_GT(moved, 10) << "another space moves the numbers";
        }
    }
}

// Each format a phone, a camera or the web writes decodes, whole and at reduced size; a damaged
// file is refused with a reason naming its format.
TEST(Photos, EveryPhotoFormatDecodesAndADamagedOneIsRefused)
{
    TestDir dir;
    const QImage picture = Quadrants(96, 64);
    const std::array<QRgb, 4> upright {kRed, kGreen, kBlue, kYellow};
    const std::array<QRgb, 4> turned {kBlue, kRed, kYellow, kGreen};
    // The file; its upright size and corners, and what the reason for the file cut in half names.
    const std::tuple<const char*, QByteArray, QSize, std::array<QRgb, 4>, const char*> cases[] = {
        {"photo.heic", HeifOf(picture), {96, 64}, upright, "HEIF"},
        {"photo.avif", HeifOf(picture, true), {96, 64}, upright, "HEIF"},
        {"photo.webp", EncodeImage(picture, ImageFormat::Webp, 95), {96, 64}, upright, "WebP"},
        {"anim.webp", AnimatedWebpOf(picture, Solid(96, 64, qRgb(0, 0, 0))), {96, 64}, upright, "WebP"},
        {"scan.tiff", TiffOf(picture, 6), {64, 96}, turned, "TIFF"},
        {"photo.jxl", JxlOf(picture), {96, 64}, upright, "JPEG XL"},
    };
    for (const auto& [name, file, size, corners, format] : cases) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(file.isEmpty());
        const QString path = dir.write(QString::fromLatin1(name), file);
        const DecodedImage whole = DecodeImage(path);
        ASSERT_FALSE(whole.isNull()) << whole.error.toStdString();
        EXPECT_EQ(whole.image.size(), size);
        EXPECT_TRUE(NearAll(Corners(whole.image), corners, 16));
        const DecodedImage small = DecodeImage(path, QSize(24, 24));
        EXPECT_EQ(small.originalSize, size);
        EXPECT_LE(std::max(small.image.width(), small.image.height()), 24);
        const DecodedImage shrunk = DecodeImageShrunk(path, [](QSize) { return 4; });
        EXPECT_EQ(shrunk.image.size(), size / 4);
        EXPECT_TRUE(NearAll(Corners(shrunk.image), corners, 24));

        const DecodedImage damaged
            = DecodeImage(dir.write(QStringLiteral("cut-") + name, file.left(file.size() / 2)));
        EXPECT_TRUE(damaged.isNull());
        EXPECT_TRUE(damaged.error.contains(QLatin1String(format))) << damaged.error.toStdString();
    }
}

// A file sent as it is loses its GPS block and nothing else where the metadata library writes its
// format; a HEIC keeps it, and the preparation says so.
TEST(Photos, LocationIsTakenOutOfFilesSentAsTheyAre)
{
    TestDir dir;
    const QImage picture = Quadrants(64, 48);
    const QByteArray jpeg = Encode(picture, "jpeg", 90);
    // The file and whether its location is taken out.
    const std::tuple<const char*, QByteArray, bool> cases[] = {
        {"photo.jpg", WithMetadata(jpeg, LocationTags()), true},
        {"shot.png", WithMetadata(Encode(picture, "png"), LocationTags()), true},
        {"web.webp", WithMetadata(EncodeImage(picture, ImageFormat::Webp, 90), LocationTags()), true},
        {"scan.tiff", WithMetadata(TiffOf(picture), LocationTags()), true},
        {"phone.heic", HeifOf(picture, false, LocationTags()), false},
        {"plain.jpg", jpeg, false},
    };
    MainPart main;
    main.Image.KeepAsIs = true;
    for (const auto& [name, file, removed] : cases) {
        SCOPED_TRACE(name);
        const QString source = dir.write(QString::fromLatin1(name), file);
        const bool hasLocation = QString::fromLatin1(name) != QLatin1String("plain.jpg");
        const PreparedImage kept = PrepareImage(*TestTemp(), source, 0, main, AppearancePart());
        ASSERT_TRUE(kept.ok()) << kept.error.toStdString();
        EXPECT_EQ(kept.locationKept, hasLocation && !removed);
        EXPECT_EQ(kept.path == source, !removed);
        if (!removed)
            continue;
        EXPECT_EQ(QFileInfo(kept.path).fileName(), QString::fromLatin1(name)) << "sent under its own name";
        const QByteArray sent = TestDir::read(kept.path);
        const QStringList keys = MetadataKeys(sent);
        EXPECT_TRUE(keys.filter(QStringLiteral("GPS")).isEmpty()) << keys.join(u' ').toStdString();
        EXPECT_TRUE(keys.contains(QStringLiteral("Exif.Image.Make")));
        EXPECT_EQ(QImage::fromData(sent).convertToFormat(QImage::Format_RGB32),
            QImage::fromData(file).convertToFormat(QImage::Format_RGB32));
        if (sent.startsWith("\xFF\xD8")) { // everything from the first picture segment on is the same
            EXPECT_EQ(sent.mid(sent.indexOf("\xFF\xDB")), file.mid(file.indexOf("\xFF\xDB")));
        }
        QFile::remove(kept.path);
    }
    main.Image.StripLocation = false;
    const QString source = dir.file(QStringLiteral("photo.jpg"));
    const PreparedImage asItIs = PrepareImage(*TestTemp(), source, 0, main, AppearancePart());
    EXPECT_EQ(asItIs.path, source);
    EXPECT_FALSE(asItIs.locationKept);
}
