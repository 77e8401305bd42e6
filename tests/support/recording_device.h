// recording_device.h - the tests' names for the null device, which records
// every call and draws nothing (framework/null_device.h).
#pragma once

#include "framework/null_device.h"

namespace jolp::testing {

using RecordingDevice = NullDevice;
using RecordingSurface = NullSurface;
using RecordingTexture = NullTexture;
using RecordingCubeTexture = NullCubeTexture;
using RecordingBuffer = NullBuffer;
using RecordingProgram = NullProgram;

}  // namespace jolp::testing
