#include "particles/particle_system.h"

#include "platform/log.h"
#include "render/render_system.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace jolp {

std::array<jolp::VertexElement, 3> ParticleVertexElements() {
    return {{
        {0, 0, jolp::DeclType::Float3, jolp::DeclUsage::Position, 0},
        {0, 12, jolp::DeclType::Float2, jolp::DeclUsage::TexCoord, 0},
        {0, 20, jolp::DeclType::D3DColor, jolp::DeclUsage::Color, 0},
    }};
}

uint32_t ParticleChannelByte(float value) {
    const float scaled = value * 255.0f;
    // Truncation toward zero; values an int cannot hold (and NaN) give 0
    // rather than undefined behaviour.
    if (!(std::fabs(scaled) < 2147483648.0f)) return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 0xFFu;
}

uint32_t ParticleColour(const jolp::Vec3& colour) {
    return 0xFF000000u | (ParticleChannelByte(colour.x) << 16) | (ParticleChannelByte(colour.y) << 8) |
           ParticleChannelByte(colour.z);
}

namespace {
uint64_t nextSerial = 0;
}  // namespace

ParticleSystem::ParticleSystem(Material* material) : serial_(nextSerial++) {
    drawItem.primitiveType = jolp::PrimitiveType::TriangleList;
    drawItem.vertexStride = kParticleVertexStride;
    drawItem.material = material;
    drawItem.world = transform;
    drawItem.worldInverse = transform;
}

ParticleSystem::~ParticleSystem() = default;

void ParticleSystem::Reset() {
    for (Particle* particle : pool) {
        InitParticle(*particle);
        particle->alive = false;
    }
    liveCount = 0;
}

void ParticleSystem::Rewind() {
    for (Particle* particle : pool) particle->alive = false;
    liveCount = 0;
    drawItem.vertexCount = 0;
    drawItem.primitiveCount = 0;
}

void ParticleSystem::Submit() {
    if (!renderSystem || !buffer_ || refused_) return;
    renderSystem->SubmitItem(drawItem);
}

void ParticleSystem::AddRecords(int32_t from, int32_t to) {
    // Records already in the pool past `from` (left by a shrinking Grow) are
    // reborn in place; the rest come from one new block.
    const auto existing = static_cast<int32_t>(std::min<size_t>(pool.size(), static_cast<size_t>(to)));
    for (int32_t i = from; i < existing; ++i) {
        *pool[i] = Particle{};
        InitParticle(*pool[i]);
    }
    const int32_t first = std::max(from, existing);
    if (to <= first) return;
    pool.resize(static_cast<size_t>(to), nullptr);
    blocks_.push_back(std::make_unique<Particle[]>(static_cast<size_t>(to - first)));
    Particle* block = blocks_.back().get();
    for (int32_t i = first; i < to; ++i) {
        pool[i] = &block[i - first];
        InitParticle(*pool[i]);
    }
}

void ParticleSystem::CreatePool() {
    pool.clear();
    blocks_.clear();
    vertices.assign(static_cast<size_t>(kVerticesPerParticle) * capacity, ParticleVertex{});
    AddRecords(0, capacity);
}

std::unique_ptr<jolp::VertexBuffer> ParticleSystem::CreateBuffer(int32_t particles) {
    const uint64_t length = static_cast<uint64_t>(kVerticesPerParticle) * kParticleVertexStride * particles;
    if (length > UINT32_MAX) return nullptr;
    return renderSystem->device.CreateVertexBuffer(static_cast<uint32_t>(length),
                                                   jolp::kUsageDynamic | jolp::kUsageWriteOnly);
}

void ParticleSystem::Refuse(const std::string& what) {
    if (!refused_) {
        jolp::Log(jolp::LogLevel::Error, "%s: %s; these particles are not drawn", label_.c_str(), what.c_str());
    }
    refused_ = true;
    buffer_.reset();
    drawItem.vertexBuffer = nullptr;
    drawItem.vertexCount = 0;
    drawItem.primitiveCount = 0;
    // Empty, so that nothing is simulated for a system that is never drawn.
    liveCount = 0;
    for (Particle* particle : pool) particle->alive = false;
}

void ParticleSystem::Upload(uint32_t count, uint32_t flags) {
    if (!buffer_ || count == 0) return;
    void* mapped = buffer_->Lock(0, 0, flags);
    if (!mapped) {
        Refuse("its vertex buffer could not be locked");
        return;
    }
    std::memcpy(mapped, vertices.data(), static_cast<size_t>(count) * sizeof(ParticleVertex));
    buffer_->Unlock();
}

bool ParticleSystem::CreateDeviceObjects() {
    drawItem.primitiveType = jolp::PrimitiveType::TriangleList;
    drawItem.vertexStride = kParticleVertexStride;
    drawItem.vertexCount = 0;
    drawItem.primitiveCount = 0;
    drawItem.indexBuffer = nullptr;
    if (!renderSystem) {
        Refuse("no render system to create its vertex buffer on");
        return false;
    }
    if (pool.size() != static_cast<size_t>(capacity) || vertices.size() != pool.size() * kVerticesPerParticle) {
        Refuse("its device objects were asked for before its pool");
        return false;
    }
    const auto elements = ParticleVertexElements();
    declaration_ = renderSystem->device.CreateVertexDeclaration(elements);
    if (!declaration_) {
        Refuse("the device refused its vertex declaration");
        return false;
    }
    drawItem.vertexDeclaration = declaration_.get();
    buffer_ = CreateBuffer(capacity);
    if (!buffer_) {
        Refuse("the device refused a vertex buffer of " +
               std::to_string(static_cast<uint64_t>(kVerticesPerParticle) * kParticleVertexStride * capacity) +
               " bytes");
        return false;
    }
    drawItem.vertexBuffer = buffer_.get();
    Upload(static_cast<uint32_t>(vertices.size()), 0);
    return !refused_;
}

void ParticleSystem::Emit(int32_t count) {
    if (count <= 0 || refused_) return;
    if (count > INT32_MAX / 4 - liveCount) count = INT32_MAX / 4 - liveCount;  // keeps Grow's sum in range
    const int32_t first = liveCount;
    liveCount += count;
    if (liveCount > capacity) {
        Grow(liveCount + 2 * capacity);
        if (refused_) return;
    }
    for (int32_t i = first; i < liveCount; ++i) {
        InitParticle(*pool[i]);
        pool[i]->alive = true;
    }
    drawItem.vertexCount = static_cast<uint32_t>(kVerticesPerParticle * liveCount);
    drawItem.primitiveCount = static_cast<uint32_t>(2 * liveCount);
}

void ParticleSystem::Grow(int32_t n) {
    if (n <= capacity) {
        capacity = n;
        return;
    }
    vertices.resize(static_cast<size_t>(kVerticesPerParticle) * n, ParticleVertex{});
    if (buffer_) {
        std::unique_ptr<jolp::VertexBuffer> grown = CreateBuffer(n);
        if (!grown) {
            Refuse("the device refused a vertex buffer of " +
                   std::to_string(static_cast<uint64_t>(kVerticesPerParticle) * kParticleVertexStride * n) +
                   " bytes");
            return;
        }
        buffer_ = std::move(grown);
        drawItem.vertexBuffer = buffer_.get();
    }
    AddRecords(capacity, n);
    capacity = n;
}

void ParticleSystem::BuildVertices() {
    if (!renderSystem || refused_) return;
    const jolp::Vec3 right = renderSystem->camera.right;
    const jolp::Vec3 up = renderSystem->camera.up;
    ParticleVertex* out = vertices.data();
    for (int32_t i = 0; i < liveCount; ++i, out += kVerticesPerParticle) {
        const Particle& p = *pool[i];
        const float h = p.size * 0.5f;
        const jolp::Vec3 r{h * right.x, h * right.y, h * right.z};
        const jolp::Vec3 u{h * up.x, h * up.y, h * up.z};
        const uint32_t colour = ParticleColour(p.colour);
        const ParticleVertex a{{p.position.x - r.x + u.x, p.position.y - r.y + u.y, p.position.z - r.z + u.z},
                               0.0f, 0.0f, colour};
        const ParticleVertex b{{p.position.x - r.x - u.x, p.position.y - r.y - u.y, p.position.z - r.z - u.z},
                               0.0f, 1.0f, colour};
        const ParticleVertex c{{p.position.x + r.x - u.x, p.position.y + r.y - u.y, p.position.z + r.z - u.z},
                               1.0f, 1.0f, colour};
        const ParticleVertex d{{p.position.x + r.x + u.x, p.position.y + r.y + u.y, p.position.z + r.z + u.z},
                               1.0f, 0.0f, colour};
        out[0] = a;
        out[1] = b;
        out[2] = c;
        out[3] = c;
        out[4] = d;
        out[5] = a;
    }
    Upload(drawItem.vertexCount, jolp::kLockDiscard);
}

}  // namespace jolp
