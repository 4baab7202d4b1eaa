// SPDX-License-Identifier: MIT
#include "imaging/Prepare.h"

#include "imaging/Decode.h"
#include "imaging/Encoders.h"
#include "imaging/Metadata.h"
#include "imaging/Overlay.h"
#include "imaging/Resample.h"
#include "imaging/SaveToTemp.h"
#include "imaging/Thumbnail.h"

#include <QFile>
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

// A file sent as it is goes as a copy without its GPS position where the metadata library can
// take that out alone; where it cannot, the file goes unchanged and the caller says so. False
// when the copy could not be written: sending the original would give the position away.
bool SendWithoutLocation(TempFolder& temp, PreparedImage& prepared)
{
    QFile file(prepared.path);
    if (!file.open(QIODevice::ReadOnly)) {
        prepared.error = QStringLiteral("it cannot be read: %1").arg(file.errorString());
        prepared.path.clear();
        return false;
    }
    const LocationRemoval removal = RemoveLocation(file.readAll());
    switch (removal.outcome) {
    case LocationRemoval::Outcome::NoLocation:
        break;
    case LocationRemoval::Outcome::Kept:
        prepared.locationKept = true;
        break;
    case LocationRemoval::Outcome::Removed: {
        // Under the original's name: the service shows the name of a file sent as it is.
        const SavedPicture copy = SaveFileToTemp(temp, removal.file, prepared.path);
        prepared.path = copy.path;
        if (!copy.ok()) {
            prepared.error = copy.error;
            return false;
        }
        break;
    }
    }
    return true;
}

PreparedImage PrepareAsIs(TempFolder& temp, const QString& sourcePath, int thumbWidth, ImageFormat format,
    const MainPart& main, const AppearancePart& appearance)
{
    PreparedImage prepared;
    const QFileInfo info(sourcePath);
    if (!info.isFile()) {
        prepared.error = !info.exists() ? QStringLiteral("the file does not exist")
            : info.isDir()              ? QStringLiteral("it is a folder, not a picture")
                                        : QStringLiteral("it is not a regular file");
        return prepared;
    }
    prepared.path = sourcePath;
    if (main.Image.StripLocation && !SendWithoutLocation(temp, prepared))
        return prepared;
    if (thumbWidth > 0) {
        // Only the thumbnail is drawn, so the picture is decoded no larger than twice its width.
        const DecodedImage decoded = DecodeImageShrunk(sourcePath,
            [&](QSize original) { return ShrinkFactorFor(original, QSize(2 * (thumbWidth + 1), 1)); });
        if (!decoded.isNull()) {
            prepared.thumbPath
                = RenderThumbnail(temp, decoded.image, static_cast<float>(decoded.originalSize.width()),
                    static_cast<float>(decoded.originalSize.height()), FileSizeOf(sourcePath), thumbWidth,
                    format, main, appearance)
                      .path;
        }
    }
    return prepared;
}

} // namespace

PreparedImage PrepareImage(TempFolder& temp, const QString& sourcePath, int thumbWidth, const MainPart& main,
    const AppearancePart& appearance)
{
    const ImageFormat format = main.Image.Format.value_or(FormatOfExtension(sourcePath));
    if (main.Image.KeepAsIs)
        return PrepareAsIs(temp, sourcePath, thumbWidth, format, main, appearance);

    PreparedImage prepared;
    std::optional<Plan> plan;
    const DecodedImage decoded = DecodeImageShrunk(
        sourcePath,
        [&](QSize original) -> std::optional<int> {
            plan = MakePlan(original, main);
            if (!plan)
                return std::nullopt;
            // Twice the pixels of the bounded picture, and of a thumbnail wider than it, which is drawn
            // from the original: detail for the filter to keep, none to alias.
            const QSize thumb = thumbWidth > 0 ? QSize(2 * (thumbWidth + 1), 1) : QSize();
            return ShrinkFactorFor(original, (plan->picture * 2).expandedTo(thumb));
        },
        /*turnLater=*/true);
    if (decoded.isNull()) {
        prepared.error = decoded.error;
        return prepared;
    }
    if (!plan)
        plan = MakePlan(decoded.originalSize, main);
    if (!plan) {
        prepared.error = QStringLiteral("the bounded size leaves nothing to draw");
        return prepared;
    }

    // A photo stored sideways is turned upright after it is scaled down, where that costs little.
    const QImage scaled = ResampleUpright(decoded,
        SourceAreaFor(decoded.extent, QRectF(QPointF(0, 0), QSizeF(plan->scaled)), plan->scaled)
            .translated(decoded.origin),
        plan->scaled);
    QImage working = plan->bounded ? scaled.copy(QRect(QPoint(1, 1), plan->picture)) : scaled;
    if (working.isNull()) {
        prepared.error = QStringLiteral("not enough memory for the prepared picture");
        return prepared;
    }

    const float W = plan->target.width;
    const float H = plan->target.height;
    if (main.Image.AddText || main.Image.AddLogo) {
        // Painting detaches `working` from the decoded picture, which stays unstamped for the thumbnail.
        QPainter painter(&working);
        if (main.Image.AddText)
            StampText(painter, W, H, appearance);
        if (main.Image.AddLogo)
            StampLogo(painter, W, H, appearance);
    }
    const SavedPicture saved
        = SaveToTemp(temp, working, QStringLiteral("image.jpg"), format, main.Image.Quality);
    if (!saved.ok()) {
        prepared.error = saved.error;
        return prepared;
    }
    prepared.path = saved.path;
    if (thumbWidth > 0) {
        // The scaled picture shows the whole original too; with twice the thumbnail's pixels it
        // serves as well as the larger decoded picture and costs a fraction to scale.
        const QImage source
            = scaled.width() >= 2 * (thumbWidth + 1) ? scaled : Oriented(decoded.image, decoded.turn);
        prepared.thumbPath = RenderThumbnail(
            temp, source, W, H, FileSizeOf(saved.path), thumbWidth, format, main, appearance)
                                 .path;
    }
    return prepared;
}
