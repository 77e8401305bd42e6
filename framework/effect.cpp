#include "framework/effect.h"

#include <algorithm>
#include <cstring>

namespace jolp {
namespace {

bool IsSampler(UniformType type) { return type == UniformType::Sampler2D || type == UniformType::SamplerCube; }

}  // namespace

std::unique_ptr<Effect> Effect::Load(GfxDevice& device, const std::string& path, std::string& error,
                                     const EffectFileReader& read) {
    EffectSource source;
    if (!ParseEffect(path, read, source, error)) return nullptr;
    std::unique_ptr<Effect> effect(new Effect(device));
    effect->path_ = path;
    effect->technique_ = source.technique;

    struct Compiled {
        const std::string* vertex;
        const std::string* fragment;
        const ShaderProgram* program;
    };
    std::vector<Compiled> compiled;
    for (const EffectPassSource& passSource : source.passes) {
        Pass pass;
        pass.name = passSource.name;
        pass.states = passSource.states;
        // Passes made of the same code share one program.
        for (const Compiled& c : compiled) {
            if (*c.vertex == passSource.vertexCode && *c.fragment == passSource.fragmentCode) pass.program = c.program;
        }
        if (!pass.program) {
            std::string log;
            auto program = device.CreateProgram(passSource.vertexCode, passSource.fragmentCode, log);
            if (!program) {
                error = path + ":" + std::to_string(passSource.line) + ": pass \"" + passSource.name +
                        "\" does not compile:\n" + RewriteCompilerLog(log, source.files);
                while (!error.empty() && error.back() == '\n') error.pop_back();
                return nullptr;
            }
            pass.program = program.get();
            compiled.push_back(Compiled{&passSource.vertexCode, &passSource.fragmentCode, program.get()});
            effect->programs_.push_back(std::move(program));
        }
        int32_t nextUnit = 0;
        device.SetProgram(pass.program);
        for (const UniformInfo& uniform : pass.program->Uniforms()) {
            if (uniform.type == UniformType::Other) continue;
            auto found = std::find_if(effect->parameters_.begin(), effect->parameters_.end(),
                                      [&](const Parameter& p) { return p.name == uniform.name; });
            if (found == effect->parameters_.end()) {
                Parameter parameter;
                parameter.name = uniform.name;
                parameter.type = uniform.type;
                for (const EffectSamplerSource& sampler : source.samplers) {
                    if (sampler.name == uniform.name) parameter.sampler = sampler.state;
                }
                effect->parameters_.push_back(parameter);
                found = effect->parameters_.end() - 1;
            } else if (found->type != uniform.type) {
                error = path + ": parameter \"" + uniform.name + "\" has different types in different passes";
                return nullptr;
            }
            Binding binding;
            binding.parameter = static_cast<int32_t>(found - effect->parameters_.begin());
            binding.location = uniform.location;
            if (IsSampler(uniform.type)) {
                binding.unit = nextUnit++;
                device.SetUniformInt(uniform.location, binding.unit);
            }
            pass.bindings.push_back(binding);
        }
        for (const EffectStateSetting& setting : pass.states) {
            const bool known = std::any_of(effect->saved_.begin(), effect->saved_.end(),
                                           [&](const SavedState& s) { return s.state == setting.state; });
            if (!known) effect->saved_.push_back(SavedState{setting.state, 0});
        }
        effect->passes_.push_back(std::move(pass));
    }
    device.SetProgram(nullptr);
    return effect;
}

Effect::~Effect() = default;

bool Effect::GetTechniqueDesc(EffectHandle technique, EffectTechniqueDesc& desc) const {
    if (technique.index != 0) return false;
    desc.name = technique_;
    desc.passes = static_cast<uint32_t>(passes_.size());
    return true;
}

EffectHandle Effect::GetPass(EffectHandle technique, uint32_t index) const {
    if (technique.index != 0 || index >= passes_.size()) return EffectHandle{};
    return EffectHandle{static_cast<int32_t>(index)};
}

bool Effect::GetPassDesc(EffectHandle pass, EffectPassDesc& desc) const {
    if (!pass || static_cast<size_t>(pass.index) >= passes_.size()) return false;
    desc.name = passes_[static_cast<size_t>(pass.index)].name;
    return true;
}

const ShaderProgram* Effect::PassProgram(EffectHandle pass) const {
    if (!pass || static_cast<size_t>(pass.index) >= passes_.size()) return nullptr;
    return passes_[static_cast<size_t>(pass.index)].program;
}

EffectHandle Effect::GetParameterByName(EffectHandle parent, const char* name) const {
    if (parent || !name) return EffectHandle{};
    for (size_t i = 0; i < parameters_.size(); ++i) {
        if (parameters_[i].name == name) return EffectHandle{static_cast<int32_t>(i)};
    }
    return EffectHandle{};
}

void Effect::SetMatrix(EffectHandle parameter, const float* matrix) {
    if (!parameter || static_cast<size_t>(parameter.index) >= parameters_.size() || !matrix) return;
    std::memcpy(parameters_[static_cast<size_t>(parameter.index)].values, matrix, 16 * sizeof(float));
}

void Effect::SetVector(EffectHandle parameter, const float* vector4) {
    if (!parameter || static_cast<size_t>(parameter.index) >= parameters_.size() || !vector4) return;
    std::memcpy(parameters_[static_cast<size_t>(parameter.index)].values, vector4, 4 * sizeof(float));
}

void Effect::SetFloat(EffectHandle parameter, float value) {
    if (!parameter || static_cast<size_t>(parameter.index) >= parameters_.size()) return;
    parameters_[static_cast<size_t>(parameter.index)].values[0] = value;
}

void Effect::SetBool(EffectHandle parameter, bool value) { SetFloat(parameter, value ? 1.0f : 0.0f); }

void Effect::SetTexture(EffectHandle parameter, const GfxBaseTexture* texture) {
    if (!parameter || static_cast<size_t>(parameter.index) >= parameters_.size()) return;
    Parameter& p = parameters_[static_cast<size_t>(parameter.index)];
    if (!IsSampler(p.type)) return;
    const TextureKind wanted = p.type == UniformType::SamplerCube ? TextureKind::Cube : TextureKind::Texture2D;
    p.texture = texture && texture->Kind() == wanted ? texture : nullptr;
}

void Effect::CopyValuesFrom(const Effect& previous) {
    for (Parameter& p : parameters_) {
        for (const Parameter& old : previous.parameters_) {
            if (old.name != p.name) continue;
            if (IsSampler(p.type)) {
                if (old.type == p.type) p.texture = old.texture;
            } else if (!IsSampler(old.type)) {
                std::memcpy(p.values, old.values, sizeof(p.values));
            }
            break;
        }
    }
}

bool Effect::Begin(uint32_t* passes, uint32_t) {
    if (begun_) return false;
    begun_ = true;
    for (SavedState& saved : saved_) saved.value = device_.GetRenderState(saved.state);
    if (passes) *passes = static_cast<uint32_t>(passes_.size());
    return true;
}

bool Effect::BeginPass(uint32_t pass) {
    if (!begun_ || activePass_ >= 0 || pass >= passes_.size()) return false;
    activePass_ = static_cast<int32_t>(pass);
    const Pass& p = passes_[pass];
    device_.SetProgram(p.program);
    for (const EffectStateSetting& setting : p.states) device_.SetRenderState(setting.state, setting.value);
    Upload(p);
    return true;
}

void Effect::CommitChanges() {
    if (activePass_ >= 0) Upload(passes_[static_cast<size_t>(activePass_)]);
}

void Effect::Upload(const Pass& pass) {
    for (const Binding& binding : pass.bindings) {
        const Parameter& parameter = parameters_[static_cast<size_t>(binding.parameter)];
        if (binding.unit >= 0) {
            device_.SetTexture(static_cast<uint32_t>(binding.unit), parameter.texture, parameter.sampler);
        } else {
            device_.SetUniform(binding.location, parameter.type, parameter.values);
        }
    }
}

void Effect::EndPass() { activePass_ = -1; }

void Effect::End() {
    if (!begun_) return;
    activePass_ = -1;
    begun_ = false;
    for (const SavedState& saved : saved_) device_.SetRenderState(saved.state, saved.value);
}

}  // namespace jolp
