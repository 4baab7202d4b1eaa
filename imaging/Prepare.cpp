// SPDX-License-Identifier: MIT
#include "imaging/Prepare.h"

#include "imaging/Decode.h"
#include "imaging/Encoders.h"
#include "imaging/Overlay.h"
#include "imaging/Resample.h"
#include "imaging/SaveToTemp.h"
#include "imaging/Thumbnail.h"

#include <QFileInfo>
#include <QPainter>
#include <optional>

TargetSize BoundedSize(float W, float H, int maxWidth, int maxHeight, bool keepProportions)
{
    TargetSize target {W, H};
    const bool widthBound = maxWidth > 0;
    const bool heightBound = maxHeight > 0;
    if (keepProportions) {
        if (widthBound && W > static_cast<float>(maxWidth)) {
            target.width = static_cast<float>(maxWidth);
            target.height = H * (static_cast<float>(maxWidth) / W);
        } else if (heightBound && H > static_cast<float>(maxHeight)) {
            target.height = static_cast<float>(maxHeight);
            target.width = W * (static_cast<float>(maxHeight) / H);
        }
    } else {
        if (widthBound)
            target.width = static_cast<float>(maxWidth);
        if (heightBound)
            target.height = static_cast<float>(maxHeight);
    }
    return target;
}

namespace {

// What the preparation needs from the decoder, worked out from the picture's own size
// before any pixel is decoded.
struct Plan
{
    TargetSize target;
    QSize picture; ///< the prepared picture, target truncated
    QSize scaled; ///< the picture scaled before the one-pixel border is cut (bounded only)
    bool bounded = false;
};

std::optional<Plan> MakePlan(QSize original, const MainPart& main)
{
    Plan plan;
    plan.bounded = main.Image.MaxWidth > 0 || main.Image.MaxHeight > 0;
    plan.target = BoundedSize(static_cast<float>(original.width()), static_cast<float>(original.height()),
        main.Image.MaxWidth, main.Image.MaxHeight, main.KeepProportions != 0);
    plan.picture = QSize(static_cast<int>(plan.target.width), static_cast<int>(plan.target.height));
    // A bounded picture is scaled two pixels larger and its outer pixel row cut away on every
    // side: the border pixels of a scaled picture are blends with nothing and look washed out.
    plan.scaled = plan.bounded ? plan.picture + QSize(2, 2) : plan.picture;
    if (!WithinDecodeLimit(plan.picture) || !WithinDecodeLimit(plan.scaled))
        return std::nullopt;
    return plan;
}

bool PrepareAsIs(const QString& sourcePath, QString& outputPath, QString* thumbPath, int thumbWidth,
    int format, const MainPart& main, const AppearancePart& appearance)
{
    if (!QFileInfo(sourcePath).isFile())
        return false;
    outputPath = sourcePath;
    if (thumbPath && thumbWidth > 0) {
        // Only the thumbnail is drawn, so the picture is decoded no larger than twice its width.
        const DecodedImage decoded = DecodeImageShrunk(sourcePath,
            [&](QSize original) { return ShrinkFactorFor(original, QSize(2 * (thumbWidth + 1), 1)); });
        if (!decoded.isNull()) {
            RenderThumbnail(decoded.image, static_cast<float>(decoded.originalSize.width()),
                static_cast<float>(decoded.originalSize.height()), FileSizeOf(sourcePath), thumbWidth, format,
                *thumbPath, main, appearance);
        }
    }
    return true;
}

} // namespace

bool PrepareImage(const QString& sourcePath, QString& outputPath, QString* thumbPath, int thumbWidth,
    const MainPart& main, const AppearancePart& appearance)
{
    outputPath.clear();
    if (thumbPath)
        thumbPath->clear();
    const bool wantThumb = thumbPath && thumbWidth > 0;
    const int format
        = main.Image.Format >= 1 ? NormalizeFormat(main.Image.Format - 1) : FormatOfExtension(sourcePath);
    if (main.Image.KeepAsIs)
        return PrepareAsIs(sourcePath, outputPath, thumbPath, thumbWidth, format, main, appearance);

    std::optional<Plan> plan;
    const DecodedImage decoded = DecodeImageShrunk(sourcePath, [&](QSize original) -> std::optional<int> {
        plan = MakePlan(original, main);
        if (!plan)
            return std::nullopt;
        // A thumbnail wider than the bounded picture is better drawn from the original.
        if (wantThumb && plan->scaled.width() < thumbWidth + 1 && original.width() > plan->scaled.width())
            return 1;
        // Twice the pixels of the scaled picture: detail for the filter to keep, none to alias.
        return ShrinkFactorFor(original, plan->scaled * 2);
    });
    if (decoded.isNull())
        return false;
    if (!plan)
        plan = MakePlan(decoded.originalSize, main);
    if (!plan)
        return false;

    const QImage scaled = Resample(decoded.image,
        SourceAreaFor(decoded.extent, QRectF(QPointF(0, 0), QSizeF(plan->scaled)), plan->scaled),
        plan->scaled);
    QImage working = plan->bounded ? scaled.copy(QRect(QPoint(1, 1), plan->picture)) : scaled;
    if (working.isNull())
        return false;

    const float W = plan->target.width;
    const float H = plan->target.height;
    if (main.Image.AddText || main.Image.AddLogo) {
        // Painting detaches `working` from `scaled`, which stays unstamped for the thumbnail.
        QPainter painter(&working);
        if (main.Image.AddText)
            StampText(painter, W, H, appearance);
        if (main.Image.AddLogo)
            StampLogo(painter, W, H, appearance);
    }
    if (!SaveToTemp(working, QStringLiteral("image.jpg"), outputPath, format, main.Image.Quality))
        return false;
    if (wantThumb)
        RenderThumbnail(
            scaled, W, H, FileSizeOf(outputPath), thumbWidth, format, *thumbPath, main, appearance);
    return true;
}
