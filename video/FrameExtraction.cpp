// SPDX-License-Identifier: MIT
#include "video/FrameExtraction.h"

#include "settings/Paths.h"

#include <limits>
#include <optional>

namespace {

const char kDone[] = "Извлечение видео кадров завершено.";

QString StatusFor(ExtractionOutcome outcome)
{
    switch (outcome) {
    case ExtractionOutcome::OutOfMemory:
        return QStringLiteral("Невозможно создать фильтр-источник.");
    case ExtractionOutcome::NotReadable:
        return QStringLiteral("Невозможно загрузить видео файл.");
    // Without a video stream or its decoder nothing can be connected to take frames from.
    case ExtractionOutcome::NoVideoStream:
    case ExtractionOutcome::NoDecoder:
        return QStringLiteral("Невозможно соединить исходные пины с фильтром.");
    case ExtractionOutcome::DecoderFailed:
        return QStringLiteral("Ошибка при получении данных с выходных пинов фильтра.");
    case ExtractionOutcome::UnknownDuration:
        return QStringLiteral("Невозможно определить длину видео потока.");
    default:
        return QString::fromUtf8(kDone);
    }
}

ExtractionOutcome OutcomeOf(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::OutOfMemory:
        return ExtractionOutcome::OutOfMemory;
    case OpenFailure::NotReadable:
        return ExtractionOutcome::NotReadable;
    case OpenFailure::NoVideoStream:
        return ExtractionOutcome::NoVideoStream;
    case OpenFailure::NoDecoder:
        return ExtractionOutcome::NoDecoder;
    case OpenFailure::DecoderFailed:
        return ExtractionOutcome::DecoderFailed;
    case OpenFailure::Stopped:
        return ExtractionOutcome::Stopped;
    case OpenFailure::None:
        break;
    }
    return ExtractionOutcome::Finished;
}

} // namespace

std::vector<MediaTime> FramePositions(MediaTime duration, int count)
{
    std::vector<MediaTime> positions;
    if (duration <= 0 || count <= 0)
        return positions;
    const MediaTime step = duration / count;
    positions.reserve(static_cast<std::size_t>(count));
    for (MediaTime i = 1; i <= count; ++i)
        positions.push_back(i * step - 3 * (step / 5));
    return positions;
}

QString FrameCaption(MediaTime time)
{
    const long long seconds = std::max<MediaTime>(0, time) / kTicksPerSecond;
    return QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

ExtractionResult ExtractFrames(const QString& path, int count, FrameSink& sink, const std::atomic<bool>* stop)
{
    ExtractionResult result;
    result.framesAsked = std::max(0, count);
    if (path.isEmpty()) {
        result.outcome = ExtractionOutcome::NoFile;
        return result;
    }
    sink.OnStatus(QStringLiteral("Извлечение кадров из файла \"%1\" ...").arg(FileNameOf(path)));
    auto stopped = [stop] { return stop && stop->load(); };
    auto end = [&](ExtractionOutcome outcome) {
        result.outcome = outcome;
        sink.OnStatus(StatusFor(outcome));
        return result;
    };
    if (stopped())
        return end(ExtractionOutcome::Stopped);

    FfmpegVideo video(stop);
    const OpenResult opened = video.Open(path);
    result.detail = opened.detail;
    if (opened.failure != OpenFailure::None)
        return end(OutcomeOf(opened.failure));
    const std::vector<MediaTime> positions = FramePositions(video.Duration(), count);
    if (video.Duration() <= 0)
        return end(ExtractionOutcome::UnknownDuration);

    std::optional<MediaTime> last; // the time of the latest frame handed on
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (stopped())
            return end(ExtractionOutcome::Stopped);
        const MediaTime next = i + 1 < positions.size() ? positions[i + 1] : video.Duration();
        VideoFrame taken
            = video.GrabBetween(positions[i], last.value_or(std::numeric_limits<MediaTime>::min()), next);
        if (taken.failure == GrabFailure::Stopped)
            return end(ExtractionOutcome::Stopped);
        if (taken.failure == GrabFailure::NoFrame) {
            result.missed.append(positions[i]);
        } else if (last && taken.time <= *last) {
            ++result.repeated;
        } else {
            last = taken.time;
            const GrabbedFrame frame {std::move(taken.image), FrameCaption(taken.time), taken.time, int(i)};
            sink.OnStatus(frame.caption);
            sink.OnFrame(frame);
            ++result.framesTaken;
        }
        sink.OnProgress(static_cast<int>(i) + 1);
    }
    end(ExtractionOutcome::Finished);
    if (result.repeated > 0) {
        sink.OnStatus(QStringLiteral("%1 Разных кадров в видео только %2 из %3.")
                          .arg(QString::fromUtf8(kDone))
                          .arg(result.framesTaken)
                          .arg(result.framesAsked));
    }
    return result;
}
