#pragma once
// The platform of the glue test: host strings from a tracked heap, so that
// the test sees which blocks the glue allocates and releases; everything else
// does nothing.
#include <cstddef>
#include <set>

namespace glue {

// Blocks handed out by the platform's host-string allocator and not yet released.
const std::set<const void*>& LiveHostStrings();
// Releases of pointers that were not live blocks (double or foreign frees).
int BadFrees();
// What the host uses for its own answers (the same allocator, as both sides use GlobalAlloc).
char* HostAlloc(const char* text);
void HostFree(char* text);

}  // namespace glue
