// effect.h - Effect, a compiled effect file: one technique of named passes,
// each a program with the render states it sets, and the parameters (the
// uniforms its passes use) addressed by name. See shaders/README.md for the
// file format and the rules effect code follows.
//
// The calls are those of an effect framework: the current technique, the
// technique's and passes' descriptions, parameters by name, Set* of
// matrices, vectors, floats, bools and textures, then Begin, BeginPass,
// draws, EndPass, End. Values set are kept by the effect and seen by the
// next BeginPass (or CommitChanges inside a pass). BeginPass applies the
// pass's program, states, values and textures; End puts back every render
// state that a pass of the technique sets, as it was at Begin. A name the
// effect does not have gives an empty handle, and setting through an empty
// handle does nothing.
//
// An Effect borrows its device and keeps (not owns) the textures set on it;
// it owns its programs.
#pragma once

#include "framework/effect_source.h"
#include "platform/gfx_device.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

// A technique, pass or parameter of one effect; empty when index is -1.
struct EffectHandle {
    int32_t index = -1;
    explicit operator bool() const { return index >= 0; }
    bool operator==(const EffectHandle&) const = default;
};

struct EffectTechniqueDesc {
    std::string name;
    uint32_t passes = 0;
};

struct EffectPassDesc {
    std::string name;
};

class Effect {
public:
    // Reads, parses and compiles the file at path, opened as given: a render
    // system names its files with RenderSystemBase::DataFile.
    // Null on failure, with error naming the file, and for code that does
    // not compile the pass and the compiler's messages with file and line.
    static std::unique_ptr<Effect> Load(GfxDevice& device, const std::string& path, std::string& error,
                                        const EffectFileReader& read = DiskEffectFileReader());
    ~Effect();

    const std::string& Path() const { return path_; }

    EffectHandle GetCurrentTechnique() const { return EffectHandle{0}; }
    bool GetTechniqueDesc(EffectHandle technique, EffectTechniqueDesc& desc) const;
    // Pass index of technique; empty past the last pass.
    EffectHandle GetPass(EffectHandle technique, uint32_t index) const;
    bool GetPassDesc(EffectHandle pass, EffectPassDesc& desc) const;
    // The program a pass draws with (passes with the same code share one);
    // null for an empty handle. For tools and tests that tell passes apart.
    const ShaderProgram* PassProgram(EffectHandle pass) const;
    // Parameters have no parents here: parent must be empty.
    EffectHandle GetParameterByName(EffectHandle parent, const char* name) const;

    // 16 floats, row-major (row vectors, translation in the last row).
    void SetMatrix(EffectHandle parameter, const float* matrix);
    void SetVector(EffectHandle parameter, const float* vector4);
    void SetFloat(EffectHandle parameter, float value);
    void SetBool(EffectHandle parameter, bool value);
    // Null clears it. A cube texture on a 2D sampler (or the reverse) counts
    // as none.
    void SetTexture(EffectHandle parameter, const GfxBaseTexture* texture);
    // Takes over the values and textures set on previous (an earlier build
    // of the same file, when it is loaded anew) for every parameter of the
    // same name: numbers when both are numbers, a texture when both are
    // samplers of the same kind. The rest keep their defaults.
    void CopyValuesFrom(const Effect& previous);

    // Starts the current technique; passes (when given) receives its pass
    // count. False when already begun.
    bool Begin(uint32_t* passes, uint32_t flags);
    bool BeginPass(uint32_t pass);
    // Applies values set since BeginPass to the pass in progress.
    void CommitChanges();
    void EndPass();
    void End();

private:
    struct Parameter {
        std::string name;
        UniformType type = UniformType::Other;
        float values[16] = {};
        const GfxBaseTexture* texture = nullptr;
        SamplerState sampler;
    };
    struct Binding {
        int32_t parameter = -1;
        int32_t location = -1;
        int32_t unit = -1;  // texture unit of a sampler
    };
    struct Pass {
        std::string name;
        const ShaderProgram* program = nullptr;
        std::vector<Binding> bindings;
        std::vector<EffectStateSetting> states;
    };
    struct SavedState {
        RenderState state;
        uint32_t value;
    };

    explicit Effect(GfxDevice& device) : device_(device) {}
    void Upload(const Pass& pass);

    GfxDevice& device_;
    std::string path_;
    std::string technique_;
    std::vector<std::unique_ptr<ShaderProgram>> programs_;
    std::vector<Pass> passes_;
    std::vector<Parameter> parameters_;
    std::vector<SavedState> saved_;  // every state any pass sets, captured at Begin
    bool begun_ = false;
    int32_t activePass_ = -1;
};

}  // namespace jolp
