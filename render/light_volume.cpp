#include "render/light_volume.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace jolp {
namespace {

constexpr int kRings = 12;
constexpr int kSegments = 24;

constexpr const char* kVertexCode = R"(
in vec3 inPosition;
uniform mat4 matSphereToClip;
void main() {
    gl_Position = vec4(inPosition, 1.0) * matSphereToClip;
}
)";

constexpr const char* kFragmentCode = R"(
out vec4 outColor;
void main() {
    outColor = vec4(0.0);
}
)";

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Vec3& a, const Vec3& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
}

// The triangles of a unit latitude-longitude sphere, each wound
// counter-clockwise seen from outside (the front face of scene geometry).
std::vector<Vec3> SphereTriangles() {
    const double pi = 3.14159265358979323846;
    auto at = [&](int ring, int segment) {
        const double theta = pi * ring / kRings, phi = 2.0 * pi * segment / kSegments;
        return Vec3{static_cast<float>(std::sin(theta) * std::cos(phi)), static_cast<float>(std::cos(theta)),
                    static_cast<float>(std::sin(theta) * std::sin(phi))};
    };
    std::vector<Vec3> out;
    auto add = [&](Vec3 a, Vec3 b, Vec3 c) {
        const Vec3 n = Cross(Sub(b, a), Sub(c, a));
        if (Dot(n, n) < 1e-12) return;  // the collapsed half of a quad at a pole
        const Vec3 mid{a.x + b.x + c.x, a.y + b.y + c.y, a.z + b.z + c.z};
        if (Dot(n, mid) < 0.0) std::swap(b, c);
        out.insert(out.end(), {a, b, c});
    };
    for (int i = 0; i < kRings; ++i) {
        for (int j = 0; j < kSegments; ++j) {
            const Vec3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            add(a, b, c);
            add(a, c, d);
        }
    }
    return out;
}

}  // namespace

std::unique_ptr<LightVolume> LightVolume::Create(GfxDevice& device, std::string& error) {
    std::unique_ptr<LightVolume> volume(new LightVolume(device));
    std::vector<Vec3> triangles = SphereTriangles();
    // Scaled so that every face lies outside the unit sphere: the nearest
    // face plane at 1.01.
    double inner = 1.0;
    for (size_t t = 0; t < triangles.size(); t += 3) {
        const Vec3 n = Cross(Sub(triangles[t + 1], triangles[t]), Sub(triangles[t + 2], triangles[t]));
        inner = std::min(inner, Dot(n, triangles[t]) / std::sqrt(Dot(n, n)));
    }
    volume->scale_ = static_cast<float>(1.01 / inner);
    volume->triangles_ = static_cast<uint32_t>(triangles.size() / 3);

    const uint32_t length = static_cast<uint32_t>(triangles.size() * sizeof(Vec3));
    volume->vertices_ = device.CreateVertexBuffer(length, kUsageWriteOnly);
    void* p = volume->vertices_ ? volume->vertices_->Lock(0, 0, 0) : nullptr;
    if (!p) {
        error = "the graphics device cannot make the light volume's " + std::to_string(length) + "-byte vertex buffer";
        return nullptr;
    }
    std::memcpy(p, triangles.data(), length);
    volume->vertices_->Unlock();
    const VertexElement elements[] = {{0, 0, DeclType::Float3, DeclUsage::Position, 0}};
    volume->declaration_ = device.CreateVertexDeclaration(elements);
    if (!volume->declaration_) {
        error = "the graphics device cannot make the light volume's vertex declaration";
        return nullptr;
    }
    std::string log;
    volume->program_ = device.CreateProgram(kVertexCode, kFragmentCode, log);
    if (!volume->program_) {
        error = "the light volume's program does not build: " + log;
        return nullptr;
    }
    for (const UniformInfo& u : volume->program_->Uniforms()) {
        if (u.name == "matSphereToClip") volume->matrixLocation_ = u.location;
    }
    return volume;
}

bool LightVolume::Mark(const Vec3& c, float radius, const Matrix& view, const Matrix& projection, float nearPlane,
                       float farPlane, bool throughSphere) {
    if (!(radius > 0.0f) || !std::isfinite(radius) || matrixLocation_ < 0) return false;
    const auto& v = view.m;
    const Vec3 inView{c.x * v[0][0] + c.y * v[1][0] + c.z * v[2][0] + v[3][0],
                      c.x * v[0][1] + c.y * v[1][1] + c.z * v[2][1] + v[3][1],
                      c.x * v[0][2] + c.y * v[1][2] + c.z * v[2][2] + v[3][2]};
    const float outer = radius * scale_;
    const float distance = std::sqrt(inView.x * inView.x + inView.y * inView.y + inView.z * inView.z);
    if (!(distance > outer * 1.01f + nearPlane * 2.0f)) return false;  // the eye is inside, or nearly
    if (!(-inView.z + outer < farPlane * 0.999f)) return false;       // back faces past the far plane

    if (nextId_ > 255) {
        device_.Clear(kClearStencil, 0, 1.0f, 0);
        nextId_ = 1;
    }
    const uint32_t id = nextId_++;

    Matrix place;  // scale the unit polyhedron to the light, then move it there
    place.m[0][0] = place.m[1][1] = place.m[2][2] = outer;
    place.m[3][0] = c.x;
    place.m[3][1] = c.y;
    place.m[3][2] = c.z;
    const Matrix toClip = MatrixMultiply(MatrixMultiply(place, view), projection);

    device_.SetProgram(program_.get());
    device_.SetUniform(matrixLocation_, UniformType::Mat4, &toClip.m[0][0]);
    device_.SetVertexDeclaration(declaration_.get());
    device_.SetStreamSource(0, vertices_.get(), 0, sizeof(Vec3));
    device_.SetRenderState(RenderState::ColorWriteEnable, 0);
    device_.SetRenderState(RenderState::StencilEnable, 1);
    device_.SetRenderState(RenderState::StencilRef, id);
    device_.SetRenderState(RenderState::StencilFail, kStencilKeep);
    if (throughSphere) {
        // Front faces: the id where they are in front of the surface.
        device_.SetRenderState(RenderState::StencilFunc, kCmpAlways);
        device_.SetRenderState(RenderState::StencilPass, kStencilReplace);
        device_.SetRenderState(RenderState::CullMode, kCullCW);
        device_.DrawPrimitive(PrimitiveType::TriangleList, 0, triangles_);
        device_.SetProgram(nullptr);
        device_.SetRenderState(RenderState::StencilPass, kStencilKeep);
        device_.SetRenderState(RenderState::StencilFunc, kCmpEqual);
        device_.SetRenderState(RenderState::CullMode, kCullCCW);
        device_.SetRenderState(RenderState::ColorWriteEnable, kColorWriteAll);
        return true;
    }
    device_.SetRenderState(RenderState::StencilPass, kStencilKeep);
    // Back faces: the id where the surface is in front of them.
    device_.SetRenderState(RenderState::StencilFunc, kCmpAlways);
    device_.SetRenderState(RenderState::StencilZFail, kStencilReplace);
    device_.SetRenderState(RenderState::CullMode, kCullCCW);
    device_.DrawPrimitive(PrimitiveType::TriangleList, 0, triangles_);
    // Front faces: away again where the surface is in front of them too.
    device_.SetRenderState(RenderState::StencilFunc, kCmpEqual);
    device_.SetRenderState(RenderState::StencilZFail, kStencilZero);
    device_.SetRenderState(RenderState::CullMode, kCullCW);
    device_.DrawPrimitive(PrimitiveType::TriangleList, 0, triangles_);
    device_.SetProgram(nullptr);

    device_.SetRenderState(RenderState::StencilZFail, kStencilKeep);
    device_.SetRenderState(RenderState::ColorWriteEnable, kColorWriteAll);
    return true;
}

void LightVolume::Finish() { device_.SetRenderState(RenderState::StencilEnable, 0); }

}  // namespace jolp
