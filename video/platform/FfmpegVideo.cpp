// SPDX-License-Identifier: MIT
#include "video/platform/FfmpegVideo.h"

#include "video/platform/FfmpegHandles.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <QFile>
#include <QTransform>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>

namespace {

constexpr AVRational kTicks {1, static_cast<int>(kTicksPerSecond)};
// Bounds the reading around one position in a file with very long key-frame intervals.
constexpr int kMaxScannedPackets = 3000;
// Seeks further back by 1, 2, 4, ... seconds: a minute covers any sane key-frame interval.
constexpr int kMaxSeekAttempts = 7;
// A decoder that swallows this many packets without a picture will not give one.
constexpr int kMaxDecodedPackets = 1000;

int Interrupted(void* opaque)
{
    const auto* stop = static_cast<const std::atomic<bool>*>(opaque);
    return stop && stop->load() ? 1 : 0;
}

QString ErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

bool IsFullRangeFormat(int format)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return false;
    }
}

// The display matrix as a right-angle turn and/or mirror in Qt's terms (both map a point as a
// row vector, y pointing down). Other angles are rare enough to show the picture as stored.
QTransform Orientation(const std::int32_t* matrix)
{
    if (!matrix)
        return {};
    auto unit = [](std::int32_t value) {
        const double scaled = value / 65536.0;
        return std::abs(scaled) < 0.5 ? 0 : (scaled > 0 ? 1 : -1);
    };
    const int a = unit(matrix[0]);
    const int b = unit(matrix[1]);
    const int c = unit(matrix[3]);
    const int d = unit(matrix[4]);
    const bool straight = a != 0 && d != 0 && b == 0 && c == 0;
    const bool turned = a == 0 && d == 0 && b != 0 && c != 0;
    if (!straight && !turned)
        return {};
    return QTransform(a, b, c, d, 0, 0);
}

// The frame's own orientation wins over the stream's, as a player has it.
const std::int32_t* DisplayMatrix(const AVFrame* frame, const AVStream* stream)
{
    constexpr std::size_t kSize = 9 * sizeof(std::int32_t);
    if (const AVFrameSideData* side = av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX);
        side && side->size >= kSize)
        return reinterpret_cast<const std::int32_t*>(side->data);
    std::size_t size = 0;
    const std::uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    return data && size >= kSize ? reinterpret_cast<const std::int32_t*>(data) : nullptr;
}

} // namespace

struct FfmpegVideo::State
{
    const std::atomic<bool>* stop = nullptr;
    FormatPtr format;
    CodecPtr codec;
    PacketPtr packet;
    FramePtr frame;
    FramePtr spare; ///< the latest frame before the one wanted, while decoding on
    ScalerPtr scaler;
    AVStream* stream = nullptr;
    std::int64_t startTime = 0; ///< in the stream's time base

    bool Stopped() const { return stop && stop->load(); }
    bool SeekBefore(std::int64_t target);
    int ReadVideoPacket();
    VideoFrame DecodeFromPacket(std::int64_t until);
    /// The frames the decoder has ready: the first at or after `until` as a picture; those
    /// before it are kept in `spare`.
    std::optional<VideoFrame> Drain(std::int64_t until);
    std::int64_t StampOf(const AVFrame* decoded) const;
    VideoFrame Convert(AVFrame* decoded);
    QImage ToImage(const AVFrame* decoded);
};

FfmpegVideo::FfmpegVideo(const std::atomic<bool>* stop)
    : m_state(std::make_unique<State>())
{
    m_state->stop = stop;
    // Failures reach the user as results; the decoders' own chatter on standard error would
    // only bury the command-line tool's messages.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
}

FfmpegVideo::~FfmpegVideo() = default;

OpenResult FfmpegVideo::Open(const QString& path)
{
    State& s = *m_state;
    auto failed = [&](OpenFailure why, int code = 0) {
        return OpenResult {s.Stopped() ? OpenFailure::Stopped : why, code ? ErrorText(code) : QString()};
    };
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return failed(OpenFailure::OutOfMemory);
    raw->interrupt_callback.callback = &Interrupted;
    raw->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(s.stop);
    // On failure avformat_open_input frees the context itself.
    int rc = avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (rc < 0)
        return failed(OpenFailure::NotReadable, rc);
    s.format.reset(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0)
        return failed(OpenFailure::NotReadable, rc);

    // Cover art of an audio file is a "video" stream of one picture, not a video.
    auto usable = [raw](int index) {
        const AVStream* stream = raw->streams[index];
        return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
            && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
    };
    int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0 || !usable(index)) {
        index = -1;
        for (unsigned i = 0; i < raw->nb_streams && index < 0; ++i)
            index = usable(static_cast<int>(i)) ? static_cast<int>(i) : -1;
    }
    if (index < 0)
        return failed(OpenFailure::NoVideoStream);
    s.stream = raw->streams[index];
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        raw->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    if (s.stream->start_time != AV_NOPTS_VALUE)
        s.startTime = s.stream->start_time;
    else if (raw->start_time != AV_NOPTS_VALUE)
        s.startTime = av_rescale_q(raw->start_time, AV_TIME_BASE_Q, s.stream->time_base);

    const AVCodec* decoder = avcodec_find_decoder(s.stream->codecpar->codec_id);
    if (!decoder)
        return failed(OpenFailure::NoDecoder);
    s.codec.reset(avcodec_alloc_context3(decoder));
    s.packet.reset(av_packet_alloc());
    s.frame.reset(av_frame_alloc());
    s.spare.reset(av_frame_alloc());
    if (!s.codec || !s.packet || !s.frame || !s.spare)
        return failed(OpenFailure::OutOfMemory);
    rc = avcodec_parameters_to_context(s.codec.get(), s.stream->codecpar);
    if (rc < 0)
        return failed(OpenFailure::DecoderFailed, rc);
    s.codec->pkt_timebase = s.stream->time_base;
    s.codec->thread_count = 0; // one per core
    s.codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    rc = avcodec_open2(s.codec.get(), decoder, nullptr);
    if (rc < 0)
        return failed(OpenFailure::DecoderFailed, rc);
    return {};
}

MediaTime FfmpegVideo::Duration() const
{
    const State& s = *m_state;
    if (!s.stream)
        return 0;
    if (s.stream->duration != AV_NOPTS_VALUE && s.stream->duration > 0)
        return av_rescale_q(s.stream->duration, s.stream->time_base, kTicks);
    if (s.format->duration != AV_NOPTS_VALUE && s.format->duration > 0)
        return av_rescale_q(s.format->duration, AV_TIME_BASE_Q, kTicks);
    return 0;
}

// Seeks by the stream's own rule, which for containers without an index can land well before
// the target; the scan after it finds the key frames on both sides whatever the seek did.
bool FfmpegVideo::State::SeekBefore(std::int64_t target)
{
    avcodec_flush_buffers(codec.get());
    return av_seek_frame(format.get(), stream->index, target, AVSEEK_FLAG_BACKWARD) >= 0
        || (!Stopped() && av_seek_frame(format.get(), stream->index, target, 0) >= 0);
}

int FfmpegVideo::State::ReadVideoPacket()
{
    for (;;) {
        if (Stopped())
            return AVERROR_EXIT;
        const int rc = av_read_frame(format.get(), packet.get());
        if (rc < 0)
            return rc;
        // A packet cut short by the end of a damaged file would decode to a smeared picture.
        if (packet->stream_index == stream->index && !(packet->flags & AV_PKT_FLAG_CORRUPT))
            return 0;
        av_packet_unref(packet.get());
    }
}

VideoFrame FfmpegVideo::GrabNear(MediaTime position)
{
    return GrabBetween(
        position, std::numeric_limits<MediaTime>::min(), std::numeric_limits<MediaTime>::max());
}

VideoFrame FfmpegVideo::GrabBetween(MediaTime position, MediaTime after, MediaTime before)
{
    State& s = *m_state;
    if (!s.codec)
        return {GrabFailure::NoFrame};
    const std::int64_t target = s.startTime + av_rescale_q(position, kTicks, s.stream->time_base);
    auto stopped = [&s] { return VideoFrame {s.Stopped() ? GrabFailure::Stopped : GrabFailure::NoFrame}; };
    // Packets are only read here, not decoded: the last key frame at or before the target and
    // the first one after it, which is looked for only as long as it could still be nearer. A
    // seek that lands past the key frame before the target (MPEG-TS seeks by decoding time, and
    // to any frame) is tried again from further back.
    std::int64_t seekPoint = target;
    std::int64_t backOff = av_rescale_q(kTicksPerSecond, kTicks, s.stream->time_base);
    int keyBefore = -1;
    std::int64_t timeBefore = 0;
    bool keyAfter = false;
    std::int64_t timeAfter = 0;
    for (int attempt = 0; attempt < kMaxSeekAttempts; ++attempt) {
        if (!s.SeekBefore(seekPoint))
            return stopped();
        keyAfter = false;
        int index = 0;
        for (; index < kMaxScannedPackets && s.ReadVideoPacket() >= 0; ++index) {
            const std::int64_t time = s.packet->pts != AV_NOPTS_VALUE ? s.packet->pts : s.packet->dts;
            const bool key = s.packet->flags & AV_PKT_FLAG_KEY;
            if (time != AV_NOPTS_VALUE && time > target) {
                if (key) {
                    keyAfter = true;
                    timeAfter = time; // kept in the packet: decoding starts right here if it wins
                    break;
                }
                if (keyBefore >= 0 && time - target > target - timeBefore)
                    break;
            } else if (key && (time != AV_NOPTS_VALUE || keyBefore < 0)) {
                keyBefore = index;
                timeBefore = time != AV_NOPTS_VALUE ? time : target;
            }
            av_packet_unref(s.packet.get());
        }
        if (s.Stopped())
            return stopped();
        // Nothing readable where the seek landed: the data is gone (a cut-off file), and an
        // older frame from further back would be far from the position.
        if (keyBefore >= 0 || index == 0 || seekPoint <= s.startTime)
            break;
        av_packet_unref(s.packet.get());
        seekPoint = std::max(s.startTime, seekPoint - backOff);
        backOff *= 2;
    }
    const auto acceptable = [&](std::int64_t keyTime) {
        const MediaTime time = av_rescale_q(keyTime - s.startTime, s.stream->time_base, kTicks);
        return time > after && time < before;
    };
    constexpr std::int64_t kFirstFrame = std::numeric_limits<std::int64_t>::min();
    const bool afterIsNearer = keyAfter && (keyBefore < 0 || timeAfter - target < target - timeBefore);
    // Without a key frame before the position there is nothing to decode on from.
    if (afterIsNearer && (acceptable(timeAfter) || keyBefore < 0))
        return s.DecodeFromPacket(kFirstFrame);
    av_packet_unref(s.packet.get());
    if (keyBefore < 0 || !s.SeekBefore(seekPoint))
        return stopped();
    const std::int64_t until = !afterIsNearer && acceptable(timeBefore) ? kFirstFrame : target;
    // The same seek lands on the same packet, so the key frame is found again by its count;
    // should a demuxer land elsewhere after all, decoding still starts at a key frame.
    for (int index = 0; index < kMaxScannedPackets; ++index) {
        if (s.ReadVideoPacket() < 0)
            return stopped();
        if (index >= keyBefore && (s.packet->flags & AV_PKT_FLAG_KEY))
            return s.DecodeFromPacket(until);
        av_packet_unref(s.packet.get());
    }
    return stopped();
}

// Decodes from the key frame in `packet` on and takes the first picture at or after `until`
// (the stream's time base), or the last one before it where the data ends first.
VideoFrame FfmpegVideo::State::DecodeFromPacket(std::int64_t until)
{
    av_frame_unref(spare.get());
    for (int packets = 0; packets < kMaxDecodedPackets; ++packets) {
        const int sent = avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        // A damaged packet may be refused; the next one can still decode.
        if (sent >= 0 || sent == AVERROR(EAGAIN)) {
            if (std::optional<VideoFrame> found = Drain(until))
                return *found;
        }
        if (const int rc = ReadVideoPacket(); rc < 0) {
            if (rc == AVERROR_EXIT || Stopped())
                return {GrabFailure::Stopped};
            // The end of the data: what the decoder still holds is the answer.
            avcodec_send_packet(codec.get(), nullptr);
            if (std::optional<VideoFrame> found = Drain(until))
                return *found;
            break;
        }
    }
    return spare->format >= 0 ? Convert(spare.get()) : VideoFrame {GrabFailure::NoFrame};
}

std::optional<VideoFrame> FfmpegVideo::State::Drain(std::int64_t until)
{
    while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
        const std::int64_t stamp = StampOf(frame.get());
        if (stamp == AV_NOPTS_VALUE || stamp >= until) {
            VideoFrame result = Convert(frame.get());
            if (result.failure == GrabFailure::None)
                return result;
            continue;
        }
        av_frame_unref(spare.get());
        av_frame_move_ref(spare.get(), frame.get());
    }
    return std::nullopt;
}

std::int64_t FfmpegVideo::State::StampOf(const AVFrame* decoded) const
{
    if (decoded->best_effort_timestamp != AV_NOPTS_VALUE)
        return decoded->best_effort_timestamp;
    return decoded->pts != AV_NOPTS_VALUE ? decoded->pts : decoded->pkt_dts;
}

VideoFrame FfmpegVideo::State::Convert(AVFrame* decoded)
{
    VideoFrame result;
    if (const std::int64_t stamp = StampOf(decoded); stamp != AV_NOPTS_VALUE)
        result.time = std::max<MediaTime>(0, av_rescale_q(stamp - startTime, stream->time_base, kTicks));
    result.image = ToImage(decoded);
    av_frame_unref(decoded);
    if (result.image.isNull())
        result.failure = GrabFailure::NoFrame;
    return result;
}

QImage FfmpegVideo::State::ToImage(const AVFrame* decoded)
{
    const int width = decoded->width;
    const int height = decoded->height;
    const auto pixelFormat = static_cast<AVPixelFormat>(decoded->format);
    const AVPixFmtDescriptor* description = av_pix_fmt_desc_get(pixelFormat);
    if (width <= 0 || height <= 0 || !description)
        return {};

    // Non-square pixels are widened or narrowed, as a player does, keeping the height.
    int outWidth = width;
    const AVRational aspect
        = av_guess_sample_aspect_ratio(format.get(), stream, const_cast<AVFrame*>(decoded));
    if (aspect.num > 0 && aspect.den > 0) {
        const double ratio = av_q2d(aspect);
        if (ratio > 1.0 / 16 && ratio < 16)
            outWidth = std::max(1, static_cast<int>(std::lround(width * ratio)));
    }

    const bool alpha = description->flags & AV_PIX_FMT_FLAG_ALPHA;
    scaler.reset(sws_getCachedContext(scaler.release(), width, height, pixelFormat, outWidth, height,
        AV_PIX_FMT_BGRA, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    if (!(description->flags & AV_PIX_FMT_FLAG_RGB)) {
        // Untagged video is taken as players take it: BT.709 from HD sizes up, BT.601 below.
        int space = decoded->colorspace;
        if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RGB || space == AVCOL_SPC_RESERVED)
            space = height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
        const bool fullRange = decoded->color_range == AVCOL_RANGE_JPEG || IsFullRangeFormat(pixelFormat);
        sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(space), fullRange ? 1 : 0,
            sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }

    QImage image(outWidth, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    std::uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), decoded->data, decoded->linesize, 0, height, planes, strides) != height)
        return {};
    if (alpha)
        image.convertTo(QImage::Format_RGB32);

    const QTransform turn = Orientation(DisplayMatrix(decoded, stream));
    return turn.isIdentity() ? image : image.transformed(turn);
}
