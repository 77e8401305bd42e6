// glTF import benchmark: a generated file of one million triangles on 100
// animated nodes (10 000 triangles each, ten levels of parents, ten
// seconds of LINEAR rotation and translation) imported and written as a
// data folder.
//
//   build/release/bench/gltf_import_bench
//   build/release/bench/gltf_import_bench --write DIR   only writes DIR/big.gltf
//                                                       and big.bin, for timing
//                                                       `jolp3d import` itself
#include "tools/gltf_import.h"
#include "tools/import_folder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kNodes = 100;
constexpr int kColumns = 50, kRows = 100;  // 2 x 50 x 100 = 10 000 triangles a node
constexpr int kKeys = 11;                  // 0 to 10 s

template <typename T>
void Append(std::vector<uint8_t>& bin, const std::vector<T>& values) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(values.data());
    bin.insert(bin.end(), p, p + values.size() * sizeof(T));
}

// Writes folder/big.gltf and folder/big.bin.
bool WriteBigGltf(const fs::path& folder) {
    std::vector<uint8_t> bin;
    std::string views, accessors, meshes, nodes, samplers, channels;
    auto view = [&](size_t offset, size_t length) {
        views += std::string(views.empty() ? "" : ",") + "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                 ",\"byteLength\":" + std::to_string(length) + "}";
    };
    auto accessor = [&](int v, int type, size_t count, const char* kind) {
        accessors += std::string(accessors.empty() ? "" : ",") + "{\"bufferView\":" + std::to_string(v) +
                     ",\"componentType\":" + std::to_string(type) + ",\"count\":" + std::to_string(count) +
                     ",\"type\":\"" + kind + "\"}";
    };
    // One grid shape per node, a little different each (a wave).
    int views_ = 0;
    std::vector<float> times(kKeys);
    for (int k = 0; k < kKeys; ++k) times[size_t(k)] = float(k);
    view(bin.size(), times.size() * 4);
    Append(bin, times);
    accessor(views_++, 5126, times.size(), "SCALAR");
    const int timeAccessor = 0;
    int accessorCount = 1;
    for (int n = 0; n < kNodes; ++n) {
        std::vector<float> pos, normal, uv;
        for (int r = 0; r <= kRows; ++r) {
            for (int c = 0; c <= kColumns; ++c) {
                const float x = float(c) / kColumns, z = float(r) / kRows;
                pos.insert(pos.end(), {x, 0.05f * std::sin(6.0f * x + float(n)), z});
                normal.insert(normal.end(), {0.0f, 1.0f, 0.0f});
                uv.insert(uv.end(), {x, z});
            }
        }
        std::vector<uint32_t> idx;
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                const uint32_t a = uint32_t(r * (kColumns + 1) + c), b = a + 1, d = a + kColumns + 1, e = d + 1;
                idx.insert(idx.end(), {a, d, b, b, d, e});
            }
        }
        std::vector<float> translations, rotations;
        for (int k = 0; k < kKeys; ++k) {
            translations.insert(translations.end(), {float(n % 10) * 1.2f, 0.1f * float(k), float(n / 10) * 1.2f});
            const float angle = 0.3f * float(k);
            rotations.insert(rotations.end(), {0.0f, std::sin(angle / 2), 0.0f, std::cos(angle / 2)});
        }
        const int first = accessorCount;
        for (const std::vector<float>* data : {&pos, &normal, &uv, &translations, &rotations}) {
            view(bin.size(), data->size() * 4);
            Append(bin, *data);
        }
        view(bin.size(), idx.size() * 4);
        Append(bin, idx);
        accessor(views_++, 5126, pos.size() / 3, "VEC3");
        accessor(views_++, 5126, normal.size() / 3, "VEC3");
        accessor(views_++, 5126, uv.size() / 2, "VEC2");
        accessor(views_++, 5126, kKeys, "VEC3");
        accessor(views_++, 5126, kKeys, "VEC4");
        accessor(views_++, 5125, idx.size(), "SCALAR");
        accessorCount += 6;
        meshes += std::string(n ? "," : "") + "{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(first) +
                  ",\"NORMAL\":" + std::to_string(first + 1) + ",\"TEXCOORD_0\":" + std::to_string(first + 2) +
                  "},\"indices\":" + std::to_string(first + 5) + "}]}";
        // Ten chains of ten: each node the child of the one before it.
        std::string children = n % 10 != 9 ? ",\"children\":[" + std::to_string(n + 1) + "]" : "";
        nodes += std::string(n ? "," : "") + "{\"name\":\"Node" + std::to_string(n) + "\",\"mesh\":" + std::to_string(n) +
                 children + "}";
        for (int path = 0; path < 2; ++path) {
            samplers += std::string(samplers.empty() ? "" : ",") + "{\"input\":" + std::to_string(timeAccessor) +
                        ",\"output\":" + std::to_string(first + 3 + path) + "}";
            channels += std::string(channels.empty() ? "" : ",") + "{\"sampler\":" + std::to_string(2 * n + path) +
                        ",\"target\":{\"node\":" + std::to_string(n) + ",\"path\":\"" +
                        (path ? "rotation" : "translation") + "\"}}";
        }
    }
    std::string roots;
    for (int n = 0; n < kNodes; n += 10) roots += std::string(roots.empty() ? "" : ",") + std::to_string(n);
    const std::string json = "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) +
                             ",\"uri\":\"big.bin\"}],\"bufferViews\":[" + views + "],\"accessors\":[" + accessors +
                             "],\"meshes\":[" + meshes + "],\"nodes\":[" + nodes + "],\"animations\":[{\"samplers\":[" +
                             samplers + "],\"channels\":[" + channels + "]}],\"scenes\":[{\"nodes\":[" + roots + "]}]}";
    std::ofstream(folder / "big.bin", std::ios::binary).write(reinterpret_cast<const char*>(bin.data()), std::streamsize(bin.size()));
    std::ofstream(folder / "big.gltf") << json;
    return fs::file_size(folder / "big.bin") == bin.size();
}

void BM_ImportMillionTriangles(benchmark::State& state) {
    const fs::path folder = fs::temp_directory_path() / ("gltf_import_bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    if (!WriteBigGltf(folder)) {
        state.SkipWithError("cannot write the glTF file");
        return;
    }
    for (auto _ : state) {
        jolp::tools::GltfImport result;
        std::string error;
        if (!jolp::tools::ImportGltfFile((folder / "big.gltf").string(), {}, result, error) ||
            !jolp::tools::WriteImportFolder(result, (folder / "out").string(), error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.PauseTiming();
        fs::remove_all(folder / "out");
        state.ResumeTiming();
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_ImportMillionTriangles)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        fs::create_directories(argv[2]);
        if (!WriteBigGltf(argv[2])) return 1;
        std::printf("%s/big.gltf\n", argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
