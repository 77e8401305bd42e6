#include "framework/resource_registry.h"

namespace jolp {

Resource*& ResourceRegistry::Slot(const std::string& name) {
    auto it = entries_.lower_bound(name);
    if (it == entries_.end() || it->first != name) it = entries_.emplace_hint(it, name, nullptr);
    return it->second;
}

const ResourceRegistry::Entry* ResourceRegistry::Find(const std::string& name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &*it;
}

void ResourceRegistry::AddIfAbsent(const std::string& name, Resource* resource) {
    if (!Find(name)) Slot(name) = resource;
}

Resource* ResourceRegistry::Keep(std::unique_ptr<Resource> resource) {
    if (!resource) return nullptr;
    kept_.push_back(std::move(resource));
    return kept_.back().get();
}

}  // namespace jolp
