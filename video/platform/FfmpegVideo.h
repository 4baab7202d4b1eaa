// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

// The one place that talks to FFmpeg: opening a video, its length, and a frame near a time,
// turned into a picture the way a viewer shows it.

/// Media time in 100-nanosecond units.
using MediaTime = std::int64_t;
inline constexpr MediaTime kTicksPerSecond = 10'000'000;

enum class OpenFailure {
    None,
    OutOfMemory,
    NotReadable, ///< missing, unreadable, or not a container FFmpeg knows
    NoVideoStream,
    NoDecoder,
    DecoderFailed,
    Stopped,
};

struct OpenResult
{
    OpenFailure failure = OpenFailure::None;
    QString detail; ///< FFmpeg's own words, when it gave any
};

enum class GrabFailure { None, NoFrame, Stopped };

struct VideoFrame
{
    GrabFailure failure = GrabFailure::None;
    QImage image; ///< Format_RGB32, rotated upright, square pixels
    MediaTime time = 0; ///< the frame's presentation time from the start of its stream
};

class FfmpegVideo
{
public:
    /// `stop` (may be null) is read by every blocking read; it must outlive this object.
    explicit FfmpegVideo(const std::atomic<bool>* stop);
    ~FfmpegVideo();
    FfmpegVideo(const FfmpegVideo&) = delete;
    FfmpegVideo& operator=(const FfmpegVideo&) = delete;

    OpenResult Open(const QString& path);
    /// The video stream's length (the container's when the stream has none); 0 when unknown.
    MediaTime Duration() const;
    /// Seeks to the key frame nearest `position` (at or before it where the container has no
    /// index to tell) and decodes the first frame from there.
    VideoFrame GrabNear(MediaTime position);
    /// As GrabNear, but the nearest key frame is taken only when its time lies strictly between
    /// `after` and `before`; otherwise decoding runs on from the key frame at or before
    /// `position` to the first frame at or after `position`: at most one key-frame interval.
    VideoFrame GrabBetween(MediaTime position, MediaTime after, MediaTime before);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
