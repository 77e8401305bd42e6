// gltf_accessors.cpp - see gltf_accessors.h.
#include "tools/gltf_accessors.h"

#include <algorithm>
#include <cstring>

namespace jolp::tools {

namespace {

float Component(const uint8_t* p, int type, int c) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT: {
            float f;
            std::memcpy(&f, p + 4 * c, 4);
            return f;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return float(p[c]) / 255.0f;
        case TINYGLTF_COMPONENT_TYPE_BYTE: return std::max(float(int8_t(p[c])) / 127.0f, -1.0f);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            uint16_t s;
            std::memcpy(&s, p + 2 * c, 2);
            return float(s) / 65535.0f;
        }
        case TINYGLTF_COMPONENT_TYPE_SHORT: {
            int16_t s;
            std::memcpy(&s, p + 2 * c, 2);
            return std::max(float(s) / 32767.0f, -1.0f);
        }
        default: return 0.0f;
    }
}

}  // namespace

template <typename F>
void Reader::Walk(const tinygltf::Accessor& a, int index, const std::string& use, int components, F&& each) const {
    const std::string name = use + ": accessor " + std::to_string(index);
    if (a.sparse.isSparse) Fail(name + " is sparse, which is not supported");
    if (uint64_t(a.count) > kMaxAccessorElements) {
        Fail(name + " has " + std::to_string(uint64_t(a.count)) + " elements; at most " +
             std::to_string(kMaxAccessorElements) + " are read");
    }
    const int componentSize = tinygltf::GetComponentSizeInBytes(uint32_t(a.componentType));
    if (componentSize <= 0) Fail(name + " has an unknown component type " + std::to_string(a.componentType));
    const uint64_t elementSize = uint64_t(componentSize) * uint64_t(components);
    if (a.bufferView < 0) {  // all zeros, as glTF says
        if (a.count > kMaxZeroElements) {
            Fail(name + " has no buffer view and " + std::to_string(a.count) + " elements; at most " +
                 std::to_string(kMaxZeroElements) + " zeros are made up");
        }
        std::vector<uint8_t> zeros(elementSize, 0);
        for (size_t i = 0; i < a.count; ++i) {
            for (int c = 0; c < components; ++c) each(zeros.data(), c);
        }
        return;
    }
    const std::span<const uint8_t> view = View(a.bufferView, name);
    const uint64_t declared = m_.bufferViews[size_t(a.bufferView)].byteStride;
    const uint64_t stride = declared ? declared : elementSize;
    if (stride < elementSize || stride > 252) {
        Fail(name + ": byte stride " + std::to_string(stride) + " is below its element size or above 252");
    }
    if (a.count > 0 && (uint64_t(a.byteOffset) > view.size() ||
                        (a.count - 1) * stride + elementSize > view.size() - a.byteOffset)) {
        Fail(name + " (" + std::to_string(a.count) + " elements from byte " + std::to_string(a.byteOffset) +
             ") reads past the end of its buffer view (" + std::to_string(view.size()) + " bytes)");
    }
    for (size_t i = 0; i < a.count; ++i) {
        const uint8_t* p = view.data() + a.byteOffset + i * stride;
        for (int c = 0; c < components; ++c) each(p, c);
    }
}

std::vector<float> Reader::Floats(int index, int components, const std::string& use) const {
    const tinygltf::Accessor& a = Accessor(index, use);
    const int have = tinygltf::GetNumComponentsInType(uint32_t(a.type));
    if (have != components) {
        Fail(use + ": accessor " + std::to_string(index) + " has " + std::to_string(have) +
             " components, expected " + std::to_string(components));
    }
    const bool ok = a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ||
                    (a.normalized && a.componentType != TINYGLTF_COMPONENT_TYPE_INT &&
                     a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    if (!ok) Fail(use + ": accessor " + std::to_string(index) + " is neither float nor normalised");
    std::vector<float> out;
    Walk(a, index, use, components, [&](const uint8_t* p, int c) { out.push_back(Component(p, a.componentType, c)); });
    return out;
}

std::vector<uint32_t> Reader::Indices(int index, const std::string& use) const {
    const tinygltf::Accessor& a = Accessor(index, use);
    if (a.type != TINYGLTF_TYPE_SCALAR || (a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                                           a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                                           a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
        Fail(use + ": index accessor " + std::to_string(index) + " is not unsigned integer scalars");
    }
    std::vector<uint32_t> out;
    Walk(a, index, use, 1, [&](const uint8_t* p, int) {
        uint32_t v = 0;
        if (a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
            v = *p;
        } else if (a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            uint16_t s;
            std::memcpy(&s, p, 2);
            v = s;
        } else {
            std::memcpy(&v, p, 4);
        }
        out.push_back(v);
    });
    return out;
}

std::span<const uint8_t> Reader::View(int index, const std::string& use) const {
    if (index < 0 || size_t(index) >= m_.bufferViews.size()) {
        Fail(use + " names buffer view " + std::to_string(index) + ", which does not exist");
    }
    const tinygltf::BufferView& v = m_.bufferViews[size_t(index)];
    if (v.buffer < 0 || size_t(v.buffer) >= m_.buffers.size()) {
        Fail("buffer view " + std::to_string(index) + " names buffer " + std::to_string(v.buffer) +
             ", which does not exist");
    }
    const std::vector<unsigned char>& data = m_.buffers[size_t(v.buffer)].data;
    if (uint64_t(v.byteOffset) > data.size() || uint64_t(v.byteLength) > data.size() - v.byteOffset) {
        Fail("buffer view " + std::to_string(index) + " (bytes " + std::to_string(v.byteOffset) + " to " +
             std::to_string(uint64_t(v.byteOffset) + v.byteLength) + ") reads past the end of buffer " +
             std::to_string(v.buffer) + " (" + std::to_string(data.size()) + " bytes)");
    }
    return {data.data() + v.byteOffset, v.byteLength};
}

}  // namespace jolp::tools
