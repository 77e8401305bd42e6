// gltf_accessors.h - the data of a glTF file's accessors, read only after
// every byte has been shown to lie inside its buffer view and buffer, and
// Failure, how the importer gives up on a file: one line naming the file
// and the fault. tinygltf's declarations only; gltf_import.cpp compiles it.
#pragma once

#include <tiny_gltf.h>

#include "tools/gltf_import.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jolp::tools {

// The most elements an accessor without a buffer view (all zeros) may have:
// such an accessor costs the file nothing.
inline constexpr uint64_t kMaxZeroElements = uint64_t{1} << 20;

struct Failure {
    std::string what;
};

// Checked reads of one model; every failure throws Failure.
class Reader {
public:
    Reader(const tinygltf::Model& model, const std::string& file) : m_(model), file_(file) {}

    [[noreturn]] void Fail(const std::string& what) const { throw Failure{file_ + ": " + what}; }

    const tinygltf::Accessor& Accessor(int index, const std::string& use) const {
        if (index < 0 || size_t(index) >= m_.accessors.size()) {
            Fail(use + " names accessor " + std::to_string(index) + ", which does not exist");
        }
        return m_.accessors[size_t(index)];
    }

    // Reads accessor `index` as `components` floats per element (floats, or
    // normalised integers). Every byte read is first shown to lie inside
    // its buffer view and buffer.
    std::vector<float> Floats(int index, int components, const std::string& use) const;
    // Reads accessor `index` as unsigned integer indices.
    std::vector<uint32_t> Indices(int index, const std::string& use) const;
    // The bytes of a buffer view, checked against its buffer.
    std::span<const uint8_t> View(int index, const std::string& use) const;

private:
    template <typename F>
    void Walk(const tinygltf::Accessor& a, int index, const std::string& use, int components, F&& each) const;

    const tinygltf::Model& m_;
    std::string file_;
};

}  // namespace jolp::tools
