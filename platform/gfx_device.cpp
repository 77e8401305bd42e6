#include "platform/gfx_device.h"

namespace jolp {
namespace {

constexpr AttributeName kAttributeNames[] = {
    {"inPosition", 0}, {"inNormal", 1},    {"inTexCoord", 2},  {"inTexCoord0", 2}, {"inTangent", 3},
    {"inBinormal", 4}, {"inColor", 5},     {"inColor0", 5},    {"inTexCoord1", 6}, {"inTexCoord2", 7},
    {"inTexCoord3", 8}, {"inColor1", 9},
};

}  // namespace

int AttributeLocation(DeclUsage usage, uint8_t usageIndex) {
    switch (usage) {
        case DeclUsage::Position: return usageIndex == 0 ? 0 : -1;
        case DeclUsage::Normal: return usageIndex == 0 ? 1 : -1;
        case DeclUsage::TexCoord:
            if (usageIndex == 0) return 2;
            return usageIndex <= 3 ? 5 + usageIndex : -1;
        case DeclUsage::Tangent: return usageIndex == 0 ? 3 : -1;
        case DeclUsage::Binormal: return usageIndex == 0 ? 4 : -1;
        case DeclUsage::Color:
            if (usageIndex == 0) return 5;
            return usageIndex == 1 ? 9 : -1;
    }
    return -1;
}

std::span<const AttributeName> AttributeNames() { return kAttributeNames; }

uint64_t VerticesForPrimitives(PrimitiveType type, uint32_t primitiveCount) {
    const uint64_t n = primitiveCount;
    if (primitiveCount == 0) return 0;
    switch (type) {
        case PrimitiveType::PointList: return n;
        case PrimitiveType::LineList: return n * 2;
        case PrimitiveType::LineStrip: return n + 1;
        case PrimitiveType::TriangleList: return n * 3;
        case PrimitiveType::TriangleStrip:
        case PrimitiveType::TriangleFan: return n + 2;
    }
    return 0;
}

}  // namespace jolp
