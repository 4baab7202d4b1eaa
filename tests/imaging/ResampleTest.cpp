// SPDX-License-Identifier: MIT
#include "imaging/Resample.h"
#include "imaging/ResampleKernels.h"
#include "tests/support/Pictures.h"

#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// A picture dark left of column `edge` and bright from it on; transposed when `vertical`.
QImage Step(int length, int edge, bool vertical)
{
    QImage image = Solid(vertical ? 6 : length, vertical ? length : 6, qRgb(0, 0, 0));
    QPainter(&image).fillRect(
        vertical ? QRect(0, edge, 6, length) : QRect(edge, 0, length, 6), QColor(200, 200, 200));
    return image;
}

// Where the middle line of `image` crosses half the step's height, between pixel centres.
double Crossing(const QImage& image, bool vertical)
{
    const int n = vertical ? image.height() : image.width();
    auto at = [&](int i) {
        return double(
            qGreen(image.pixel(vertical ? image.width() / 2 : i, vertical ? i : image.height() / 2)));
    };
    for (int i = 0; i + 1 < n; ++i)
        if (at(i) < 100 && at(i + 1) >= 100)
            return i + 0.5 + (100 - at(i)) / (at(i + 1) - at(i));
    return -1;
}

} // namespace

TEST(Resample, EdgesLandWhereTheDrawingPutsThem)
{
    // The source's length and its first bright pixel; where the whole picture is drawn and how
    // long, in output pixels; the output's length; where the edge lands in it.
    const std::tuple<const char*, int, int, double, double, int, double> cases[] = {
        {"bounded, edge off centre", 400, 100, -1, 102, 100, 24.5},
        {"bounded and enlarged", 50, 20, -1, 102, 100, 39.8},
        {"thumbnail, half-pixel overhang", 360, 180, -0.5, 181, 180, 90},
        {"thumbnail of a large picture", 2000, 700, -0.5, 181, 180, 62.85},
        {"strong reduction, whole picture", 2000, 500, 0, 100, 100, 25},
        {"nearly the same size", 101, 37, -1, 103, 101, 36.7327},
    };
    for (const auto& [name, length, edge, drawnAt, drawnLength, output, expected] : cases) {
        for (const bool vertical : {false, true}) {
            const QImage source = Step(length, edge, vertical);
            const QRectF target
                = vertical ? QRectF(0, drawnAt, 6, drawnLength) : QRectF(drawnAt, 0, drawnLength, 6);
            const QSize size = vertical ? QSize(6, output) : QSize(output, 6);
            const QImage out = Resample(source, SourceAreaFor(QSizeF(source.size()), target, size), size);
            ASSERT_EQ(out.size(), size) << name;
            EXPECT_NEAR(Crossing(out, vertical), expected, 0.1)
                << name << (vertical ? " (rows)" : " (columns)");
        }
    }
}

TEST(Resample, FlatColoursStayExactAndPremultipliedEdgesKeepTheirColour)
{
    const std::pair<QImage::Format, QRgb> flats[] = {{QImage::Format_RGB32, qRgb(13, 200, 77)},
        {QImage::Format_ARGB32_Premultiplied, qPremultiply(qRgba(250, 120, 10, 128))},
        {QImage::Format_ARGB32, qRgba(250, 120, 10, 128)}};
    const std::pair<QRectF, QSize> geometries[] = {
        {{0.3, 0.7, 97.1, 61.9}, {31, 17}}, // reduction with a fractional offset
        {{0, 0, 100, 64}, {7, 5}}, // through block averaging
        {{-3, 2.5, 20, 10}, {77, 41}}, // enlargement reaching past the edges
    };
    for (const auto& [format, colour] : flats) {
        const QImage source = Solid(100, 64, colour, format);
        for (const auto& [from, size] : geometries) {
            const QImage out = Resample(source, from, size);
            ASSERT_EQ(out.size(), size);
            EXPECT_EQ(out.hasAlphaChannel(), source.hasAlphaChannel());
            const QRgb expected = source.convertToFormat(out.format()).pixel(0, 0);
            EXPECT_EQ(CountPixels(out, out.rect(), [expected](QRgb c) { return c != expected; }), 0)
                << std::hex << colour << " to " << size.width() << "x" << size.height();
        }
    }
    // Opaque red beside full transparency: blended pixels fade out, they do not darken, and the
    // filter's overshoot never leaves a colour above its alpha.
    QImage half = Solid(64, 16, 0, QImage::Format_ARGB32_Premultiplied);
    QPainter(&half).fillRect(0, 0, 32, 16, QColor(255, 0, 0));
    for (const QSize size : {QSize(21, 5), QSize(150, 40)}) {
        const QImage out = Resample(half, QRectF(0, 0, 64, 16), size);
        ASSERT_EQ(out.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(CountPixels(out, out.rect(), [](QRgb c) { return qRed(c) > qAlpha(c); }), 0);
        const QImage plain = out.convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(CountPixels(plain, plain.rect(),
                      [](QRgb c) { return qAlpha(c) >= 16 && (qRed(c) < 235 || qGreen(c) > 10); }),
            0)
            << size.width();
        EXPECT_GT(
            CountPixels(plain, plain.rect(), [](QRgb c) { return qAlpha(c) > 16 && qAlpha(c) < 240; }), 0);
    }
    EXPECT_TRUE(Resample(QImage(), QRectF(0, 0, 1, 1), QSize(1, 1)).isNull());
    EXPECT_TRUE(Resample(half, QRectF(0, 0, 0, 16), QSize(4, 4)).isNull());
    EXPECT_TRUE(Resample(half, QRectF(0, 0, 64, 16), QSize(0, 4)).isNull());
}

TEST(Resample, FineLinesKeepTheirMeanAndDoNotAlias)
{
    // One-pixel black and white columns: 127.5 on average, a pattern no reduction can show.
    QImage lines(1000, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 1000; ++x)
            lines.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    // Enlarged, the lines must stay; reduced, they must blend into a flat grey.
    const std::tuple<QRectF, QSize, bool> cases[] = {
        {{0, 0, 1000, 40}, {301, 12}, false}, // 3.3x
        {{0, 0, 1000, 40}, {37, 7}, false}, // 27x, through block averaging
        {{1.5, 0, 997, 40}, {433, 17}, false}, // 2.3x with an offset
        {{100, 0, 100, 10}, {370, 37}, true}, // 3.7x enlarged
    };
    for (const auto& [from, size, enlarged] : cases) {
        const QImage out = Resample(lines, from, size);
        ASSERT_EQ(out.size(), size);
        // The outer pixels lean on the repeated edge column and are left out.
        const QRect inner = out.rect().adjusted(3, 0, -3, 0);
        EXPECT_NEAR(qGreen(MeanColour(out, inner)), 127, 1) << size.width(); // truncated: 126 <= mean < 129
        const int strays = CountPixels(out, inner, [](QRgb p) { return std::abs(qGreen(p) - 127.5) > 6; });
        if (enlarged)
            EXPECT_GT(strays, inner.width() * inner.height() / 2) << size.width();
        else
            EXPECT_EQ(strays, 0) << size.width();
    }
}

TEST(Resample, EveryInstructionSetAgrees)
{
    // Noise in every channel, opaque and translucent: the loops of each instruction set this
    // processor has round differently from the scalar ones, but by no more than one step.
    QImage noise(203, 117, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(12345);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qPremultiply(random.generate() | (x < 100 ? 0xFF000000 : 0)));
    const std::pair<QRectF, QSize> cases[] = {
        {{0, 0, 203, 117}, {69, 40}}, // 2.9x, as a photo to 1024
        {{1.5, 0.5, 200, 116}, {37, 21}}, // 5.4x with an offset
        {{0, 0, 203, 117}, {19, 9}}, // through block averaging
        {{10, 10, 40, 30}, {131, 97}}, // enlarged
    };
    for (const resample::Kernels* kernels : {resample::Sse2Kernels(), resample::Avx2Kernels()}) {
        if (!kernels)
            continue;
        for (const QImage& source : {noise.convertToFormat(QImage::Format_RGB32), noise})
            for (const auto& [from, size] : cases) {
                const QImage vectors = resample::ResampleWith(source, from, size, *kernels);
                const QImage scalar = resample::ResampleWith(source, from, size, resample::ScalarKernels());
                ASSERT_EQ(vectors.size(), size);
                ASSERT_EQ(scalar.size(), size);
                int apart = 0;
                for (int y = 0; y < size.height(); ++y)
                    for (int x = 0; x < size.width(); ++x)
                        apart += Near(vectors.pixel(x, y), scalar.pixel(x, y), 1) ? 0 : 1;
                EXPECT_EQ(apart, 0) << size.width() << "x" << size.height() << " alpha "
                                    << source.hasAlphaChannel();
            }
    }
}
