// particle_system.h - ParticleSystem, the base of the demo's particle
// effects: a pool of particle records with the live ones packed at the
// front, turned every frame into camera-facing textured squares written into
// one dynamic vertex buffer and handed to the render system as one additive
// draw item.
//
// The base fixes the storage, the growth rule, the emission bookkeeping, the
// vertex format and the quads; a derived class says what a newborn particle
// is like (InitParticle) and how particles are emitted and move (Update).
//
// Life: construct (with the material) -> CreatePool -> set renderSystem ->
// CreateDeviceObjects -> frames of Update, BuildVertices, then Submit. The
// draw counts change only in Emit: particles that die later still cover
// their six vertices until the next Emit, drawing whatever was last written
// there.
//
// A device that refuses the vertex declaration or a vertex buffer leaves the
// system empty: it emits nothing, is never drawn, and says so once on
// stderr. Without a render system (CPU-only use, tests, benchmarks) the
// pool grows as usual and BuildVertices fills only the CPU-side array.
//
// Ownership: the system owns its particle records, its vertex array, its
// vertex buffer and declaration; it borrows the material and the render
// system. It is a jolp::Resource so that the registry can hold it by name.
#pragma once

#include "framework/resource.h"
#include "platform/gfx_device.h"
#include "scene/draw_submission.h"
#include "scene/transform_math.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class Material;
class RenderSystem;

struct Particle {
    bool alive = false;
    jolp::Vec3 position;
    jolp::Vec3 previousPosition;
    jolp::Vec3 velocity;
    jolp::Vec3 colour;  // red, green, blue, nominally 0 to 1
    float age = 0.0f;       // seconds since birth
    float lifetime = 0.0f;  // seconds it lives
    float size = 0.0f;      // edge of its square, world units
};

// One corner of a particle's square: world position, texture coordinates
// and an A8R8G8B8 colour (bytes B, G, R, A in memory).
struct ParticleVertex {
    float position[3];
    float u;
    float v;
    uint32_t colour;
};
static_assert(sizeof(ParticleVertex) == 24);

inline constexpr int32_t kInitialParticleCapacity = 100;
inline constexpr uint32_t kParticleVertexStride = 24;
inline constexpr int32_t kVerticesPerParticle = 6;

// Position (float3, offset 0), texture coordinates (float2, 12), colour
// (D3DCOLOR, 20), all on stream 0.
std::array<jolp::VertexElement, 3> ParticleVertexElements();

// A colour channel as one byte: value x 255 truncated toward zero, then
// its low 8 bits (1.0 -> 255, 0.999 -> 254, 1.5 -> 126).
uint32_t ParticleChannelByte(float value);
// 0xFF000000 | R << 16 | G << 8 | B from the three channels.
uint32_t ParticleColour(const jolp::Vec3& colour);

class ParticleSystem : public jolp::Resource {
public:
    explicit ParticleSystem(Material* material);
    ~ParticleSystem() override;
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // Every record re-initialised and dead; nothing is freed.
    virtual void Reset();
    // Back to how it was before it first ran: every particle dead, nothing
    // to draw (the pool keeps its size). Overrides put their own state back
    // and call the base.
    virtual void Rewind();
    // Emission and simulation of one frame of dt seconds.
    virtual bool Update(float dt) = 0;
    // Hands drawItem to the render system (nothing when the system has no
    // render system or its device objects are missing).
    virtual void Submit();
    // Writes the birth state of one particle.
    virtual void InitParticle(Particle& particle) = 0;
    // Allocates `capacity` initialised records and the vertex array.
    virtual void CreatePool();
    // Writes the quads of the live particles, facing the render system's
    // camera, and uploads them with discard.
    virtual void BuildVertices();

    // Creates the vertex declaration and the dynamic vertex buffer on the
    // render system's device and uploads the vertex array. False (with one
    // line on stderr) when there is no render system, the pool was not
    // created first, or the device refuses; the system then stays empty.
    bool CreateDeviceObjects();
    // Brings count new particles to life, growing the pool when needed.
    void Emit(int32_t count);
    // Enlarges the pool, the vertex array and the vertex buffer to n.
    void Grow(int32_t n);

    // False once the device has refused an object: nothing is emitted or
    // drawn from then on.
    bool Usable() const { return !refused_; }
    // The name used in messages ("particles" until set).
    void SetLabel(std::string label) { label_ = std::move(label); }
    const std::string& Label() const { return label_; }
    // Systems are numbered in the order they were made, from 0: an order
    // that is the same in every run, unlike their addresses.
    uint64_t Serial() const { return serial_; }

    DrawItem drawItem;
    jolp::Matrix transform;
    int32_t capacity = kInitialParticleCapacity;
    int32_t liveCount = 0;
    std::vector<Particle*> pool;  // records live in blocks_, live ones first
    bool enabled = false;
    RenderSystem* renderSystem = nullptr;
    std::vector<ParticleVertex> vertices;

private:
    // Appends records for pool[from .. to), each initialised.
    void AddRecords(int32_t from, int32_t to);
    std::unique_ptr<jolp::VertexBuffer> CreateBuffer(int32_t particles);
    void Refuse(const std::string& what);
    void Upload(uint32_t count, uint32_t flags);

    std::vector<std::unique_ptr<Particle[]>> blocks_;
    std::unique_ptr<jolp::VertexDeclaration> declaration_;
    std::unique_ptr<jolp::VertexBuffer> buffer_;
    std::string label_ = "particles";
    bool refused_ = false;
    uint64_t serial_;
};

}  // namespace jolp
