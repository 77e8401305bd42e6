// allocation_counter.h - counts every operator new of the process, for the
// tests that check a steady frame allocates nothing. Linking
// allocation_counter.cpp into a test binary replaces the global operator
// new and delete (every form) in that binary; only such binaries may
// include this header.
#pragma once

#include <cstdint>

namespace jolp::testing {

// operator new calls since the process started.
uint64_t AllocationCount();
// Those of them made by our own code: leaves out every allocation with a
// graphics driver's shared object on its call stack (llvmpipe's shader
// compiler meeting a new draw state, say). Slower: it walks the stack.
uint64_t OwnAllocationCount();

}  // namespace jolp::testing
