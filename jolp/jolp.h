// jolp.h - the whole of what a demo on jolp includes, in one line:
//
//   #include "jolp/jolp.h"
//
// The program and its timeline, the registry and start-up workers,
// textures, the scene file and its animation, the shared renderer and its
// materials, particle systems, the runner (RunDemo and its command line),
// the null device for testing without a GPU, and what a content generator
// writes files with. Each header can be included on its own as well.
#pragma once

#include "framework/data_path.h"
#include "framework/dds_file.h"
#include "framework/demo_program.h"
#include "framework/demo_track.h"
#include "framework/effect.h"
#include "framework/null_device.h"
#include "framework/resource_registry.h"
#include "framework/sound_stream.h"
#include "framework/sync_tracks.h"
#include "framework/texture.h"
#include "framework/worker.h"
#include "particles/particle_random.h"
#include "particles/particle_system.h"
#include "particles/sparkls.h"
#include "platform/file_read.h"
#include "platform/file_write.h"
#include "platform/log.h"
#include "render/bind_scene.h"
#include "render/camera_shots.h"
#include "render/material.h"
#include "render/render_system.h"
#include "render/shader.h"
#include "runner/runner.h"
#include "scene/animation.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "scene/transform_math.h"
#include "tools/vorbis_writer.h"
