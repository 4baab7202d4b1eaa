// SPDX-License-Identifier: MIT
#include "imaging/ColourProfile.h"

#include "app/core/UniqueHandle.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

using Profile = UniqueHandle<void, cmsCloseProfile>;

// A gray picture is stored as RGB32 with three equal channels: the transform reads the first of
// the four bytes and writes blue, green and red, leaving the fourth.
constexpr cmsUInt32Number kGrayIn = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

// Pixels through the transform, compared with what went in: a profile that moves no colour by
// more than rounding describes sRGB, and the picture is left alone.
bool IsIdentity(cmsHTRANSFORM transform)
{
    std::vector<QRgb> probe;
    for (int r = 0; r < 256; r += 51)
        for (int g = 0; g < 256; g += 51)
            for (int b = 0; b < 256; b += 51)
                probe.push_back(qRgb(r, g, b));
    for (int v = 0; v < 256; v += 5)
        probe.push_back(qRgb(v, v, v));
    std::vector<QRgb> out(probe.size(), 0xFF000000);
    cmsDoTransform(transform, probe.data(), out.data(), static_cast<cmsUInt32Number>(probe.size()));
    for (size_t i = 0; i < probe.size(); ++i) {
        const QRgb a = probe[i];
        const QRgb b = out[i];
        if (std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1
            || std::abs(qBlue(a) - qBlue(b)) > 1)
            return false;
    }
    return true;
}

// A photo set usually shares one or two profiles; making a transform costs more than running
// it on a small picture, so the last few are kept. A null transform: nothing to convert.
struct Cached
{
    QByteArray icc;
    std::shared_ptr<void> transform;
};
constexpr size_t kCachedTransforms = 8;

std::shared_ptr<void> MakeTransform(QByteArrayView icc)
{
    const Profile in(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
    if (!in)
        return {};
    cmsUInt32Number inFormat = 0;
    switch (cmsGetColorSpace(in.get())) {
    case cmsSigRgbData:
        inFormat = TYPE_BGRA_8;
        break;
    case cmsSigGrayData:
        inFormat = kGrayIn;
        break;
    default:
        return {}; // CMYK: the decoder has made RGB of it already
    }
    const Profile srgb(cmsCreate_sRGBProfile());
    // No cache: one transform serves several threads at once.
    std::shared_ptr<void> transform(
        cmsCreateTransform(in.get(), inFormat, srgb.get(), TYPE_BGRA_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE),
        [](void* t) {
            if (t)
                cmsDeleteTransform(t);
        });
    if (!transform.get() || IsIdentity(transform.get()))
        return {};
    return transform;
}

std::shared_ptr<void> TransformFor(QByteArrayView icc)
{
    static std::mutex mutex;
    static std::vector<Cached> cache;
    {
        const std::lock_guard lock(mutex);
        const auto found
            = std::find_if(cache.begin(), cache.end(), [&](const Cached& c) { return c.icc == icc; });
        if (found != cache.end())
            return found->transform;
    }
    std::shared_ptr<void> transform = MakeTransform(icc);
    const std::lock_guard lock(mutex);
    if (cache.size() >= kCachedTransforms)
        cache.erase(cache.begin());
    cache.push_back({icc.toByteArray(), transform});
    return transform;
}

} // namespace

void ConvertToSrgb(QImage& image, QByteArrayView icc)
{
    if (icc.isEmpty() || image.isNull()
        || (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32))
        return;
    const std::shared_ptr<void> transform = TransformFor(icc);
    if (!transform)
        return;
    // In place, row by row: the formats are the same size, and the fourth byte is not written.
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        cmsDoTransform(transform.get(), row, row, static_cast<cmsUInt32Number>(image.width()));
    }
}

QByteArray RgbProfile(const double (&primaries)[6], double whiteX, double whiteY)
{
    const cmsCIExyY white {whiteX, whiteY, 1.0};
    const cmsCIExyYTRIPLE rgb {{primaries[0], primaries[1], 1.0}, {primaries[2], primaries[3], 1.0},
        {primaries[4], primaries[5], 1.0}};
    // The sRGB curve: a power of 2.4 above a short straight piece.
    const double params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    const UniqueHandle<cmsToneCurve, cmsFreeToneCurve> curve(cmsBuildParametricToneCurve(nullptr, 4, params));
    if (!curve)
        return {};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    const Profile profile(cmsCreateRGBProfile(&white, &rgb, curves));
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0)
        return {};
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size))
        return {};
    return bytes;
}
