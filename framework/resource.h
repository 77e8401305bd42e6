// resource.h - jolp::Resource, the polymorphic base of everything the demo
// loads and registers by name (music, textures, the scene, particle
// systems). It carries no data; it exists so that resources can be found
// through the registry and down-cast safely.
#pragma once

namespace jolp {

class Resource {
public:
    virtual ~Resource() = default;
};

}  // namespace jolp
