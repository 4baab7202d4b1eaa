// SPDX-License-Identifier: MIT
#include "bench/support/Psnr.h"

#include <cmath>
#include <limits>

std::optional<double> Psnr(const QImage& reference, const QImage& test)
{
    if (reference.isNull() || test.isNull() || reference.size() != test.size())
        return std::nullopt;
    const QImage a = reference.convertToFormat(QImage::Format_RGB32);
    const QImage b = test.convertToFormat(QImage::Format_RGB32);
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int dr = qRed(p[x]) - qRed(q[x]);
            const int dg = qGreen(p[x]) - qGreen(q[x]);
            const int db = qBlue(p[x]) - qBlue(q[x]);
            squares += dr * dr + dg * dg + db * db;
        }
    }
    if (squares == 0)
        return std::numeric_limits<double>::infinity();
    const double mse = squares / (3.0 * a.width() * a.height());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}
