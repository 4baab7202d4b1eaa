// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Small videos made by the ffmpeg program. 64 x 48 at 10 frames per second, 6 seconds, a key
// frame every second; every frame is grey with the level 20 + 3 x its number, so a picture
// tells its own time, and carries a white 16 x 12 box in its upper left corner as stored.
// Made once into a folder of the build tree and reused by every test process.

inline constexpr int kSampleFps = 10;

/// The path of sample `name` ("h264.mp4", "rotated.mp4", "audio.m4a", ...), made when missing.
QString SampleVideo(const QString& name);

/// The frame number a sample's picture shows at `x`, `y`; -1 when the level fits none.
int FrameNumberAt(const class QImage& image, int x, int y);
