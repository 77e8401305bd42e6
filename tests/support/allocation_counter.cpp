#include "tests/support/allocation_counter.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> g_allocations{0};
std::atomic<uint64_t> g_ownAllocations{0};

// The object (executable or shared library) that holds address, as its link
// map; null when none does. _dl_find_object is the loader's lookup for
// unwinders: it takes no lock, allocates nothing and, unlike dladdr, does
// not search the object's symbol table, which for a graphics driver's
// compiler (tens of thousands of symbols, and it allocates in every pass)
// made counting slower than the work counted.
const void* ObjectOf(const void* address) {
    dl_find_object found;
    return _dl_find_object(const_cast<void*>(address), &found) == 0 ? found.dlfo_link_map : nullptr;
}

// Our code is the test executable: every library of ours is linked into it
// statically. A graphics driver's compiler allocates from its own shared
// objects, directly or through C++ library code (which may even be the
// executable's own copy of a template). So an allocation is the driver's
// when any frame of its call stack lies in a shared object other than the
// executable, the C++ library and the C library. Under AddressSanitizer
// backtrace (and free, malloc) lie in the sanitizer runtime, whose frame
// tops every stack backtrace takes: that object is not the driver either,
// and the C library is found through a function the runtime leaves alone.
bool FromOwnCode() {
    static const void* const executable = ObjectOf(reinterpret_cast<const void*>(&FromOwnCode));
    static const void* const cxxLibrary = ObjectOf(reinterpret_cast<const void*>(&std::get_new_handler));
    static const void* const cLibrary = ObjectOf(reinterpret_cast<const void*>(&std::abort));
    static const void* const unwinder = ObjectOf(reinterpret_cast<const void*>(&backtrace));
    void* frames[64];
    const int depth = backtrace(frames, 64);
    for (int i = 0; i < depth; ++i) {
        const void* object = ObjectOf(frames[i]);
        if (object != nullptr && object != executable && object != cxxLibrary && object != cLibrary &&
            object != unwinder) {
            return false;
        }
    }
    return true;
}

// Every form of operator new goes through these, so that each pairs with
// the operator delete below (the driver uses the nothrow and aligned ones).
void* CountedAlloc(std::size_t size, std::size_t alignment) {
    ++g_allocations;
    if (FromOwnCode()) ++g_ownAllocations;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* CountedAllocOrThrow(std::size_t size, std::size_t alignment) {
    if (void* p = CountedAlloc(size, alignment)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return CountedAllocOrThrow(n, 0); }
void* operator new[](std::size_t n) { return CountedAllocOrThrow(n, 0); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return CountedAllocOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return CountedAllocOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return CountedAlloc(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return CountedAlloc(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace jolp::testing {

uint64_t AllocationCount() { return g_allocations.load(); }
uint64_t OwnAllocationCount() { return g_ownAllocations.load(); }

}  // namespace jolp::testing
