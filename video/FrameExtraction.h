// SPDX-License-Identifier: MIT
#pragma once

#include "video/platform/FfmpegVideo.h"

#include <QImage>
#include <QList>
#include <QString>
#include <atomic>
#include <vector>

/// One frame taken from the video, as the extraction hands it on.
struct GrabbedFrame
{
    QImage image; ///< Format_RGB32, upright, square pixels
    QString caption; ///< "HH:MM:SS" of the frame's own time
    MediaTime time = 0; ///< the frame's time from the start of the stream, 100-ns units
    int index = 0; ///< the position it was taken for, from 0
};

/// What the extraction reports, called on the extraction's own thread in this order: the
/// opening status, then per position the frame's caption as status, the frame, the progress;
/// finally the closing status. Implementations pass these on to their user interface themselves.
class FrameSink
{
public:
    virtual ~FrameSink() = default;
    virtual void OnStatus(const QString& text) = 0;
    /// Positions handled so far, taken or not.
    virtual void OnProgress(int framesDone) = 0;
    virtual void OnFrame(const GrabbedFrame& frame) = 0;
};

enum class ExtractionOutcome {
    Finished, ///< every position was tried; `missed` lists those that gave no picture
    Stopped,
    NoFile, ///< an empty path: nothing was done
    OutOfMemory,
    NotReadable,
    NoVideoStream,
    NoDecoder,
    DecoderFailed,
    UnknownDuration,
};

struct ExtractionResult
{
    ExtractionOutcome outcome = ExtractionOutcome::Finished;
    int framesAsked = 0;
    int framesTaken = 0;
    QList<MediaTime> missed; ///< positions at which no frame could be decoded
    /// Positions that gave a frame already taken: the video has fewer different frames.
    int repeated = 0;
    QString detail; ///< FFmpeg's words for a failure to open, when it gave any

    bool Complete() const
    {
        return outcome == ExtractionOutcome::Finished && framesTaken + repeated == framesAsked;
    }
};

/// The times at which `count` frames are taken from a video `duration` long (both in 100-ns
/// units): frame i of count sits 0.6 of a slice before the end of the i-th equal slice. Empty
/// when the duration or the count is not positive.
std::vector<MediaTime> FramePositions(MediaTime duration, int count);

/// "HH:MM:SS" of `time` (100-ns units), whole seconds truncated.
QString FrameCaption(MediaTime time);

/// Takes `count` frames spread over the video at `path`, one per position of FramePositions,
/// each the first frame decoded from the key frame nearest its position. Every frame is a
/// later moment than the one before: where that key frame is not later than the previous
/// frame, or not before the next position, decoding runs on from the key frame before the
/// position to the position itself. A position that still gives a frame already taken (a
/// video with fewer frames than asked) hands on nothing and is counted. Blocks; run it on a
/// worker. Setting `*stop` ends it promptly, also inside a blocking read. Needs only `sink`
/// and `*stop` (may be null) to stay alive until it returns; it keeps no reference afterwards.
ExtractionResult ExtractFrames(
    const QString& path, int count, FrameSink& sink, const std::atomic<bool>* stop);
