// tarvel_preview - renders the demo's scene through one of its cameras at
// chosen moments, headlessly, with the real renderer, into PNG files: for
// checking a shot's composition, lighting and materials without playing
// the demo.
//
//   tarvel_preview [--data DIR] [--size WxH] [--out PREFIX] CAMERA SECONDS...
//
// Writes PREFIX_CAMERA_SECONDS.png for each moment (PREFIX defaults to
// "preview"). The data folder is read as the demo reads it: the named
// textures, media/texs, media/cubes, media/scenes/scene.JOLP3D and the
// effect files under shaders/.
#include "runner/png_file.h"
#include "framework/resource_registry.h"
#include "framework/texture.h"
#include "platform/egl_context.h"
#include "platform/gl_device.h"
#include "platform/letterbox.h"
#include "render/bind_scene.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: tarvel_preview [--data DIR] [--size WxH] [--out PREFIX] CAMERA SECONDS...\n"
    "Renders the scene through CAMERA at each time (seconds of the demo) into\n"
    "PREFIX_CAMERA_SECONDS.png (PREFIX: \"preview\"; relative to the starting folder).\n"
    "  --data DIR   the data folder (default: run/ beside this program)\n"
    "  --size WxH   back-buffer size (default 640x480; the picture is 16:9 inside it)\n";

bool ParseSize(const char* text, uint32_t& w, uint32_t& h) {
    char* end = nullptr;
    const unsigned long a = std::strtoul(text, &end, 10);
    if (end == text || *end != 'x') return false;
    const char* second = end + 1;
    const unsigned long b = std::strtoul(second, &end, 10);
    if (end == second || *end != '\0' || a < 16 || b < 16 || a > 8192 || b > 8192) return false;
    w = static_cast<uint32_t>(a);
    h = static_cast<uint32_t>(b);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
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
            std::fprintf(stderr, "tarvel_preview: %s needs a value\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (arg == "--data") {
            data = argv[++i];
        } else if (arg == "--out") {
            prefix = argv[++i];
        } else if (arg == "--size") {
            if (!ParseSize(argv[++i], width, height)) {
                std::fprintf(stderr, "tarvel_preview: bad size '%s': expected WxH, 16 to 8192 each\n", argv[i]);
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9')) {
            std::fprintf(stderr, "tarvel_preview: unknown option '%s'\n%s", arg.c_str(), kUsage);
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
            std::fprintf(stderr, "tarvel_preview: bad time '%s': expected seconds, 0 or more\n",
                         positional[i].c_str());
            return 2;
        }
        times.push_back(static_cast<float>(t));
    }

    // Output names are relative to where we started, data to the data folder.
    std::error_code ec;
    const std::filesystem::path out = std::filesystem::absolute(prefix, ec);
    if (data.empty()) data = (std::filesystem::path(argv[0]).parent_path() / "run").string();
    std::filesystem::current_path(data, ec);
    if (ec) {
        std::fprintf(stderr, "tarvel_preview: cannot enter the data folder %s: %s\n", data.c_str(),
                     ec.message().c_str());
        return 1;
    }

    std::string error;
    auto context = jolp::EglHeadlessContext::Create(error);
    std::unique_ptr<jolp::GlDevice> device;
    if (context) device = jolp::GlDevice::Create(*context, width, height, error);
    if (!device) {
        std::fprintf(stderr, "tarvel_preview: no OpenGL 3.3 device: %s\n", error.c_str());
        return 1;
    }
    const jolp::Rect window{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
    const jolp::Rect picture = jolp::Letterbox(16, 9, window);
    jolp::RenderSystem rs(*device, window, picture);
    if (!rs.LoadEffects() || !rs.CreateTargets()) {
        std::fprintf(stderr, "tarvel_preview: %s\n", rs.StartupError().c_str());
        return 1;
    }

    jolp::ResourceRegistry registry;
    std::vector<std::unique_ptr<jolp::Resource>> kept;
    auto keep = [&](const char* name, std::unique_ptr<jolp::Resource> r) {
        registry.AddIfAbsent(name, r.get());
        if (r) kept.push_back(std::move(r));
    };
    for (const char* cube : {"LightCube.dds", "sunol_cubemap.dds"}) keep(cube, jolp::TextureCube::Load(cube, *device));
    for (const char* flat : {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga"}) {
        keep(flat, jolp::Texture2D::Load(flat, *device));
    }
    jolp::LoadTextureDirectory(registry, *device, "media/texs");
    jolp::LoadCubeTextureDirectory(registry, *device, "media/cubes");
    jolp::JOLP3D scene;
    if (!scene.Load(jolp::kScenePath, device.get())) {
        std::fprintf(stderr, "tarvel_preview: the scene %s/%s could not be loaded\n", data.c_str(),
                     jolp::kScenePath);
        return 1;
    }
    if (scene.cameras.find(camera) == scene.cameras.end()) {
        std::fprintf(stderr, "tarvel_preview: the scene has no camera '%s'\n", camera.c_str());
        return 1;
    }
    jolp::BindScene(rs, scene, registry);

    const float aspect = 16.0f / 9.0f;  // as the demo shows every shot
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    const jolp::Matrix root;
    for (float t : times) {
        device->BeginScene();
        device->SetViewport(jolp::Viewport{0, 0, width, height, 0.0f, 1.0f});
        device->Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
        rs.camera = scene.EvaluateCamera(camera, t, aspect, 1.0f, 5000.0f);
        rs.time = t * 25.0f * 0.04f;  // the water's time at 25 frames a second
        scene.Animate(root, t);
        scene.SubmitDrawItems(rs);
        scene.SubmitLights(rs);
        rs.RenderFrame();
        device->EndScene();
        if (!device->ReadBackBuffer(pixels.data(), pixels.size())) {
            std::fprintf(stderr, "tarvel_preview: the picture could not be read back\n");
            return 1;
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", static_cast<double>(t));
        const std::string path = out.string() + "_" + camera + "_" + seconds + ".png";
        std::string error;
        if (!jolp::WritePngFile(path, width, height, pixels.data(), error)) {
            std::fprintf(stderr, "tarvel_preview: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
