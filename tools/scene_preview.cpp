// jolp_preview - renders a data folder's scene through one of its cameras
// at chosen moments, headlessly, with the real renderer, into PNG files:
// for checking a shot's composition, lighting and materials without playing
// the demo.
//
//   jolp_preview [--data DIR] [--size WxH] [--out PREFIX] CAMERA SECONDS...
//
// Writes PREFIX_CAMERA_SECONDS.png for each moment (PREFIX defaults to
// "preview"). The data folder is read as the demo reads it: the named
// textures, media/texs, media/cubes, media/scenes/scene.JOLP3D and the
// effect files under shaders/.
//
// The preview is a program of its own: a worker loads the data, one track
// puts the camera and the scene at the root's time, and each moment is one
// frame of the program's frame (DemoProgram::StepFrame), handed to a frame
// sink that writes its file.
#include "framework/data_path.h"
#include "framework/demo_program.h"
#include "framework/frame_sink.h"
#include "framework/texture.h"
#include "framework/worker.h"
#include "platform/file_write.h"
#include "platform/log.h"
#include "platform/standard_output.h"
#include "render/bind_scene.h"
#include "render/camera_shots.h"
#include "render/render_system.h"
#include "runner/back_buffer_size.h"
#include "runner/png_file.h"
#include "scene/jolp3d.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: jolp_preview [--data DIR] [--size WxH] [--out PREFIX] CAMERA SECONDS...\n"
    "Renders the data folder's scene (media/scenes/scene.JOLP3D, with its textures\n"
    "and the effects in shaders/) through CAMERA at each time, in seconds, into\n"
    "PREFIX_CAMERA_SECONDS.png (PREFIX: \"preview\"; relative to the starting folder).\n"
    "  --data DIR   the data folder, a demo's run folder (default: run/ beside this\n"
    "               program, as in a build folder)\n"
    "  --size WxH   back-buffer size (default 640x480; the picture is 16:9 inside it)\n";

// The demo's data as the demo loads it: the named textures, the texture
// folders and the scene, bound to the render system.
class LoadScene final : public jolp::Worker {
public:
    LoadScene(jolp::RenderSystem& rs, jolp::JOLP3D& scene, std::string folder)
        : rs_(rs), scene_(scene), folder_(std::move(folder)) {}
    bool IsReady() const override { return done_; }
    int32_t Step(jolp::ResourceRegistry& registry, jolp::WorkerQueue&) override {
        jolp::GfxDevice& device = rs_.device;
        auto keep = [&](const char* name, std::unique_ptr<jolp::Resource> texture) {
            registry.AddIfAbsent(name, texture ? registry.Keep(std::move(texture)) : nullptr);
        };
        for (const char* cube : {"LightCube.dds", "sunol_cubemap.dds"}) {
            keep(cube, jolp::TextureCube::Load(jolp::DataPath(folder_, cube), device));
        }
        for (const char* flat : {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga"}) {
            keep(flat, jolp::Texture2D::Load(jolp::DataPath(folder_, flat), device));
        }
        jolp::LoadTextureDirectory(registry, device, jolp::DataPath(folder_, "media/texs"));
        jolp::LoadCubeTextureDirectory(registry, device, jolp::DataPath(folder_, "media/cubes"));
        loaded = scene_.Load(jolp::DataPath(folder_, jolp::kScenePath), &device);
        if (loaded) jolp::BindScene(rs_, scene_, registry);
        done_ = true;
        return 100;
    }
    bool loaded = false;

private:
    jolp::RenderSystem& rs_;
    jolp::JOLP3D& scene_;
    std::string folder_;
    bool done_ = false;
};

// One shot through the camera for as long as it is asked, seen as the demo
// shows every shot (its clipping planes), without fades.
class Preview final : public jolp::DemoProgramOf<jolp::RenderSystem> {
public:
    Preview(const jolp::RunConfig& config, std::string camera)
        : DemoProgramOf(&jolp::RenderSystem::Create, config), camera_(std::move(camera)) {}
    void QueueWorkers(jolp::WorkerQueue& queue) override {
        loader_ = std::make_unique<LoadScene>(Renderer(), scene, Config().dataFolder);
        queue.Append(loader_.get());
    }
    bool BuildTimeline() override {
        // No fades; the shot table's near and far planes.
        shot_ = {camera_.c_str(), 0, 0xFFFFFFFFu, 0.0f, 0.0f};
        jolp::AddCameraShots(*this, scene, {&shot_, 1});
        // No music gives the preview its length: any moment may be shown.
        length = 0xFFFFFFFFu;
        end = start + length;
        return loader_->loaded;
    }
    // The water's time at 25 frames a second, before the shot moves.
    void Update(jolp::DemoProgram&) override {
        Renderer().time = static_cast<float>(localTime) / 1000.0f * 25.0f * 0.04f;
    }
    jolp::JOLP3D scene;

private:
    std::string camera_;
    jolp::CameraShot shot_;
    std::unique_ptr<LoadScene> loader_;
};

// Each frame as PREFIX_CAMERA_SECONDS.png.
class PreviewFiles final : public jolp::FrameSink {
public:
    explicit PreviewFiles(std::string stem) : stem_(std::move(stem)) {}
    bool TakeFrame(const jolp::FramePicture& frame, std::string& error) override {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", static_cast<double>(seconds_));
        const std::string path = stem_ + "_" + seconds + ".png";
        if (!jolp::WritePngFile(path, frame.width, frame.height, frame.rgb, error)) return false;
        std::printf("%s\n", path.c_str());
        return true;
    }
    float seconds_ = 0.0f;

private:
    std::string stem_;
};

int Run(int argc, char** argv) {
    std::string data;
    std::string prefix = "preview";
    uint32_t width = 640, height = 480;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ((arg == "--data" || arg == "--size" || arg == "--out") && i + 1 >= argc) {
            std::fprintf(stderr, "jolp_preview: %s needs a value\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (arg == "--data") {
            data = argv[++i];
        } else if (arg == "--out") {
            prefix = argv[++i];
        } else if (arg == "--size") {
            std::string problem;
            if (!jolp::ParseBackBufferSize(argv[++i], jolp::kPictureAspect, width, height, problem)) {
                std::fprintf(stderr, "jolp_preview: bad value '%s' for --size: %s\n", argv[i], problem.c_str());
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9')) {
            std::fprintf(stderr, "jolp_preview: unknown option '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string camera = positional[0];
    std::vector<float> times;
    for (size_t i = 1; i < positional.size(); ++i) {
        char* end = nullptr;
        const double t = std::strtod(positional[i].c_str(), &end);
        if (*end != '\0' || !(t >= 0.0) || t > 100000.0) {
            std::fprintf(stderr, "jolp_preview: bad time '%s': expected seconds, 0 or more\n",
                         positional[i].c_str());
            return 2;
        }
        times.push_back(static_cast<float>(t));
    }

    // Output names are relative to where we started, data to the data folder.
    std::error_code ec;
    const std::filesystem::path out = std::filesystem::absolute(prefix, ec);
    if (data.empty()) data = (std::filesystem::path(argv[0]).parent_path() / "run").string();
    if (!std::filesystem::is_directory(data, ec)) {
        std::fprintf(stderr, "jolp_preview: %s: no such data folder\n", data.c_str());
        return 1;
    }

    jolp::SetLogName("jolp_preview");
    jolp::RunConfig config;
    config.name = "jolp_preview";
    config.headless = true;
    config.width = width;
    config.height = height;
    config.dataFolder = data;
    Preview preview(config, camera);
    if (!preview.Init("Preview")) return 1;
    if (!preview.Prepare("")) {
        if (preview.renderSystem) {
            std::fprintf(stderr, "jolp_preview: the scene %s could not be loaded\n",
                         jolp::DataPath(data, jolp::kScenePath).c_str());
        }
        return 1;
    }
    if (preview.scene.cameras.find(camera) == preview.scene.cameras.end()) {
        std::fprintf(stderr, "jolp_preview: the scene has no camera '%s'\n", camera.c_str());
        return 1;
    }
    // The camera's name is the scene's word, not a path: made safe as a
    // part of one file name, so that no name leads outside the folder.
    PreviewFiles files(out.string() + "_" + jolp::SafeFileName(camera, "camera"));
    preview.AddFrameSink(&files);
    preview.RewindTimeline();
    jolp::DeviceWindow& deviceWindow = *preview.display.deviceWindow;
    for (float t : times) {
        files.seconds_ = t;
        // To the millisecond, as the demo's clock gives its tracks the time.
        preview.SetFrameTimeNs(jolp::FrameTimeNs(static_cast<uint32_t>(std::llround(static_cast<double>(t) * 1000.0))));
        jolp::PumpMessages(deviceWindow);
        preview.StepFrame(true);
        if (!preview.EndFrame(true)) return 1;
    }
    return 0;
}

}  // namespace

// The names of the pictures go to stdout.
int main(int argc, char** argv) { return jolp::FinishStandardOutput("jolp_preview", Run(argc, argv)); }
