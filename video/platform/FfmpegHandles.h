// SPDX-License-Identifier: MIT
#pragma once

// Owners of FFmpeg's C handles, so that every path out of the decoder frees what it holds.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "app/core/UniqueHandle.h"

using FormatPtr = UniqueHandle<AVFormatContext, avformat_close_input>;
using CodecPtr = UniqueHandle<AVCodecContext, avcodec_free_context>;
using FramePtr = UniqueHandle<AVFrame, av_frame_free>;
using PacketPtr = UniqueHandle<AVPacket, av_packet_free>;
using ScalerPtr = UniqueHandle<SwsContext, sws_freeContext>;
