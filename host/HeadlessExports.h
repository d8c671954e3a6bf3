#pragma once
// Extra entry points of libkytDCR.so for script hosts on Linux, where no
// system windows exist: the host declares its objects' windows, sends the
// DCR windows the host notification and has them painted into PNG files.
// All use the C calling convention and catch everything; 1 means done, 0 not.
#include <cstdint>

#include "host/HostCallConv.h"

extern "C" {

// Declares (or resizes) the host object window `handle` with its client size.
NB_EXPORT int32_t kytDCRHeadlessDefineWindow(uint32_t handle, int32_t width, int32_t height);
NB_EXPORT int32_t kytDCRHeadlessRemoveWindow(uint32_t handle);
// Sends message 0x04FA (lParam the sub-code, wParam its argument) to the DCR
// window of `objectName`. Painting (sub-code 5) needs a device context, which a
// script does not have: use kytDCRHeadlessPaintPng; sub-code 5 with a non-zero
// wParam is refused here.
NB_EXPORT int32_t kytDCRHeadlessNotify(const char* objectName, uintptr_t wParam, intptr_t lParam);
// Paints the DCR window of `objectName` (sub-code 5) into a PNG file.
NB_EXPORT int32_t kytDCRHeadlessPaintPng(const char* objectName, const char* fileName);
// Position and size of the DCR window of `objectName` within its object.
NB_EXPORT int32_t kytDCRHeadlessWindowBounds(const char* objectName, int32_t* left, int32_t* top, int32_t* width,
                                             int32_t* height);
// Message boxes shown so far (the unsupported-picture-format message): their
// number, and the text of one of them copied (zero-terminated, cut to fit) into
// `buffer`; the result is the text's full length, or -1 when there is no such message.
NB_EXPORT int32_t kytDCRHeadlessMessageCount();
NB_EXPORT int32_t kytDCRHeadlessMessage(int32_t index, char* buffer, int32_t size);

}  // extern "C"
