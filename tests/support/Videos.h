// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Small videos made by the ffmpeg program: 64 x 48 at 10 frames per second, 6 seconds, a key
/// frame every second. Every frame is grey with the level 20 + 3 x its number, so a picture tells
/// its own time, and carries a white 16 x 12 box in its upper left corner as stored. Made once
/// into a folder of the build tree and shared by every test process and run. The path of sample
/// `name` ("h264.mp4", "mpeg4.avi", ...), made when missing; empty when it cannot be made.
QString SampleVideo(const QString& name);
