// resource_registry.h - ResourceRegistry, the demo's names for what it
// loaded ("music", "scene", "powerBall.jpg", ...).
//
// Names are byte strings compared as unsigned bytes, case-sensitive. The
// first registration of a name wins. The registry owns its entries and their
// names, never the resources: destroying it leaves every resource alive.
#pragma once

#include "framework/resource.h"

#include <map>
#include <string>

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

private:
    std::map<std::string, Resource*> entries_;
};

}  // namespace jolp
