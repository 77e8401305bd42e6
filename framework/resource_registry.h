// resource_registry.h - ResourceRegistry, the demo's names for what it
// loaded ("music", "scene", "powerBall.jpg", ...).
//
// Names are byte strings compared as unsigned bytes, case-sensitive. The
// first registration of a name wins. The registry owns its entries and their
// names, never the resources it is given by pointer: destroying it leaves
// them alive. Loaders that make resources nobody else holds (a directory of
// textures) hand them to Keep, and those live as long as the registry.
#pragma once

#include "framework/resource.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class ResourceRegistry {
public:
    using Entry = std::map<std::string, Resource*>::value_type;

    // The stored pointer for name; absent names are first inserted with null.
    Resource*& Slot(const std::string& name);
    // The entry for name, or null; never inserts.
    const Entry* Find(const std::string& name) const;
    // Stores resource under name unless the name is taken (even by a null).
    void AddIfAbsent(const std::string& name, Resource* resource);

    // The resource under name as a T, or null when absent, null, or of
    // another class.
    template <typename T>
    T* FindAs(const std::string& name) const {
        const Entry* entry = Find(name);
        return entry ? dynamic_cast<T*>(entry->second) : nullptr;
    }

    size_t Size() const { return entries_.size(); }

    // Takes ownership of resource until the registry is destroyed; returns
    // it for registering.
    Resource* Keep(std::unique_ptr<Resource> resource);

private:
    std::map<std::string, Resource*> entries_;
    std::vector<std::unique_ptr<Resource>> kept_;
};

}  // namespace jolp
