#pragma once
// Host strings: zero-terminated code page 1251 texts that cross the boundary
// by reference live in blocks of the platform's host-string allocator
// (GlobalAlloc(GMEM_FIXED) on Windows).
#include <string>

namespace kyt {

// Replaces the string in `slot`: a non-null old string is released first, then
// a new block of length + 1 bytes receives a copy of `text`.
void SetHostString(char** slot, const std::string& text);
// Releases a string the host handed over (null is allowed) and nulls the slot.
void FreeHostString(char** slot);
// A new host-string block holding `text`.
char* NewHostString(const std::string& text);
// A null pointer reads as an empty text.
inline std::string HostText(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace kyt
