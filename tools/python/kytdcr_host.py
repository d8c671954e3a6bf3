#!/usr/bin/env python3
"""A script host for libkytDCR.so.

It loads the library with ctypes and drives it exactly as the NeoBook host
drives kytDCR.nbp: it registers the plug-in (handing over its callbacks for
actions, variables, object windows and embedded files), initialises it, and
runs the five actions through nbExecAction with host-string parameter slots.
The script interface (kytDCRCmdList, kytDCRExec) is available as well.

Host strings are zero-terminated code page 1251 texts. A string the host hands
to the library by reference (a parameter slot, a variable's value, the answer
to an interface request) must come from the C library's malloc, because the
library releases it with free (on Windows: GlobalAlloc/GlobalFree).

Usage as a program (the self-test that CTest runs):

    kytdcr_host.py --library build/libkytDCR.so --data data

Usage as a module:

    from kytdcr_host import KytDcrHost
    host = KytDcrHost("build/libkytDCR.so")
    host.register()
    host.add_object("Rect1", 640, 480)
    host.exec_action(1, "Rect1")                                   # kytDcrCreate
    host.exec_action(3, "Rect1", "data/kb/latin.dcr", "196", "10", "22")
    host.exec_action(4, "Rect1", "data/samples/sample.png")
    host.exec_action(5, "Rect1", "Result")
    print(host.variables["[Result]"])
    host.close()
"""

import argparse
import base64
import ctypes
import os
import sys
import tempfile
from ctypes import (CFUNCTYPE, POINTER, Structure, byref, c_char, c_char_p, c_int32, c_int64,
                    c_size_t, c_uint8, c_uint32, c_uint64, c_void_p)

ENCODING = "cp1251"

_libc = ctypes.CDLL(None)
_libc.malloc.restype = c_void_p
_libc.malloc.argtypes = [c_size_t]
_libc.free.restype = None
_libc.free.argtypes = [c_void_p]

# The host callbacks (C convention on Linux; stack order as the host declares them).
ADD_ACTION = CFUNCTYPE(None, c_int32, c_char_p, c_char_p, c_uint8, c_int32, POINTER(c_uint8))
GET_VARIABLE = CFUNCTYPE(None, c_char_p, POINTER(c_void_p))
SET_VARIABLE = CFUNCTYPE(None, c_char_p, c_char_p)
INTERFACE_ACCESS = CFUNCTYPE(c_uint8, c_int32, POINTER(c_void_p))
STREAM_ACCESS = CFUNCTYPE(c_uint8, c_char_p, POINTER(c_void_p))

# The part of the COM IStream that the library calls.
QUERY_INTERFACE = CFUNCTYPE(c_int32, c_void_p, c_void_p, POINTER(c_void_p))
ADD_REF = CFUNCTYPE(c_uint32, c_void_p)
RELEASE = CFUNCTYPE(c_uint32, c_void_p)
READ = CFUNCTYPE(c_int32, c_void_p, c_void_p, c_uint32, POINTER(c_uint32))
WRITE = CFUNCTYPE(c_int32, c_void_p, c_void_p, c_uint32, POINTER(c_uint32))
SEEK = CFUNCTYPE(c_int32, c_void_p, c_int64, c_uint32, POINTER(c_uint64))


class _StreamVtbl(Structure):
    _fields_ = [("QueryInterface", QUERY_INTERFACE), ("AddRef", ADD_REF), ("Release", RELEASE),
                ("Read", READ), ("Write", WRITE), ("Seek", SEEK)]


class _Stream(Structure):
    _fields_ = [("lpVtbl", POINTER(_StreamVtbl))]


E_NOINTERFACE = -2147467262
STG_E_ACCESSDENIED = -2147287035
STG_E_INVALIDFUNCTION = -2147287039


def host_string(text):
    """A malloc block holding the text (str in cp1251, or bytes) and its zero."""
    data = text.encode(ENCODING) if isinstance(text, str) else bytes(text)
    block = _libc.malloc(len(data) + 1)
    if not block:
        raise MemoryError("malloc failed")
    ctypes.memmove(block, data + b"\0", len(data) + 1)
    return block


def free_host_string(block):
    if block:
        _libc.free(block)


def _text(pointer):
    return ctypes.string_at(pointer).decode(ENCODING) if pointer else ""


class KytDcrHost:
    """The host side of the plug-in interface, in memory."""

    def __init__(self, library):
        self.lib = ctypes.CDLL(os.path.abspath(library))
        self.variables = {}      # "[Name]" -> text
        self.objects = {}        # object name -> window handle
        self.embedded = {}       # embedded file name -> bytes
        self.actions = []        # (number, name, description, type codes)
        self.support_object_handles = True
        self._next_handle = 0x1000
        self._streams = {}       # address -> [stream, position, data, references]
        self._declare()
        self._callbacks = (ADD_ACTION(self._add_action), GET_VARIABLE(self._get_variable),
                           SET_VARIABLE(self._set_variable), INTERFACE_ACCESS(self._interface_access),
                           STREAM_ACCESS(self._stream_access))
        self._vtbl = _StreamVtbl(QUERY_INTERFACE(self._query_interface), ADD_REF(self._add_ref),
                                 RELEASE(self._release), READ(self._read), WRITE(self._write),
                                 SEEK(self._seek))

    def _declare(self):
        lib = self.lib
        lib.nbRegisterPlugIn.argtypes = [c_void_p] * 4
        lib.nbRegisterPlugIn.restype = None
        lib.nbInitPlugIn.argtypes = [c_uint32, POINTER(c_void_p), POINTER(c_void_p), POINTER(c_void_p)]
        lib.nbInitPlugIn.restype = None
        lib.nbMessage.argtypes = [c_int32]
        lib.nbMessage.restype = None
        lib.nbRegisterInterfaceAccess.argtypes = [c_void_p]
        lib.nbRegisterInterfaceAccess.restype = None
        lib.nbRegisterStreamAccess.argtypes = [c_void_p]
        lib.nbRegisterStreamAccess.restype = None
        lib.nbRegisterScriptProcessor.argtypes = [c_void_p]
        lib.nbRegisterScriptProcessor.restype = None
        lib.nbExecAction.argtypes = [c_int32, POINTER(c_void_p), c_int32]
        lib.nbExecAction.restype = c_uint8
        lib.nbEditAction.argtypes = [c_int32, POINTER(c_void_p), c_int32]
        lib.nbEditAction.restype = c_uint8
        lib.kytDCRCmdList.argtypes = [c_char_p, c_char_p, c_void_p]
        lib.kytDCRCmdList.restype = c_int32
        lib.kytDCRExec.argtypes = [c_char_p] * 12
        lib.kytDCRExec.restype = c_uint8
        lib.kytDCRHeadlessDefineWindow.argtypes = [c_uint32, c_int32, c_int32]
        lib.kytDCRHeadlessDefineWindow.restype = c_int32
        lib.kytDCRHeadlessNotify.argtypes = [c_char_p, c_size_t, ctypes.c_ssize_t]
        lib.kytDCRHeadlessNotify.restype = c_int32
        lib.kytDCRHeadlessPaintPng.argtypes = [c_char_p, c_char_p]
        lib.kytDCRHeadlessPaintPng.restype = c_int32
        lib.kytDCRHeadlessWindowBounds.argtypes = [c_char_p] + [POINTER(c_int32)] * 4
        lib.kytDCRHeadlessWindowBounds.restype = c_int32
        lib.kytDCRHeadlessMessageCount.argtypes = []
        lib.kytDCRHeadlessMessageCount.restype = c_int32
        lib.kytDCRHeadlessMessage.argtypes = [c_int32, c_void_p, c_int32]
        lib.kytDCRHeadlessMessage.restype = c_int32

    # --- the host's callbacks -------------------------------------------------

    def _add_action(self, number, name, description, count, high_index, codes):
        type_codes = [codes[i] for i in range(high_index + 1)] if codes else []
        self.actions.append((number, _text(name), _text(description), type_codes[:count] if number else []))

    def _get_variable(self, name, value):
        key = _text(name)
        if key in self.variables:
            free_host_string(value[0])
            value[0] = host_string(self.variables[key])

    def _set_variable(self, name, value):
        self.variables[_text(name)] = _text(value)

    def _answer(self, data, text):
        free_host_string(data[0])
        data[0] = host_string(text)

    def _interface_access(self, request, data):
        if request == 6:                   # does the host give object window handles?
            if not self.support_object_handles:
                return 0
            self._answer(data, "1")
            return 1
        if request == 7:                   # the window handle of an object, as decimal text
            self._answer(data, str(self.objects.get(_text(data[0]), 0)))
            return 1
        return 0                           # 8, 13, 14: pickers of the authoring host

    def _stream_access(self, name, stream):
        content = self.embedded.get(_text(name))
        if content is None:
            return 0
        com = _Stream(ctypes.pointer(self._vtbl))
        self._streams[ctypes.addressof(com)] = [com, 0, content, 1]
        stream[0] = ctypes.addressof(com)
        return 1

    def _query_interface(self, this, iid, obj):
        if obj:
            obj[0] = None
        return E_NOINTERFACE

    def _add_ref(self, this):
        entry = self._streams[this]
        entry[3] += 1
        return entry[3]

    def _release(self, this):
        entry = self._streams[this]
        entry[3] -= 1
        if entry[3] == 0:
            del self._streams[this]
            return 0
        return entry[3]

    def _read(self, this, buffer, count, read):
        entry = self._streams[this]
        chunk = entry[2][entry[1]:entry[1] + count]
        ctypes.memmove(buffer, chunk, len(chunk))
        entry[1] += len(chunk)
        if read:
            read[0] = len(chunk)
        return 0

    def _write(self, this, buffer, count, written):
        if written:
            written[0] = 0
        return STG_E_ACCESSDENIED

    def _seek(self, this, move, origin, new_position):
        entry = self._streams[this]
        base = {0: 0, 1: entry[1], 2: len(entry[2])}.get(origin)
        if base is None or base + move < 0:
            return STG_E_INVALIDFUNCTION
        entry[1] = base + move
        if new_position:
            new_position[0] = entry[1]
        return 0

    # --- what the host does ---------------------------------------------------

    def register(self):
        """nbRegisterPlugIn, the access procedures, nbInitPlugIn and nbMessage(1), in the host's order."""
        add, get, set_, interface, stream = (ctypes.cast(c, c_void_p) for c in self._callbacks)
        self.lib.nbRegisterPlugIn(add, None, get, set_)
        slots = [c_void_p(), c_void_p(), c_void_p()]
        self.lib.nbInitPlugIn(0, byref(slots[0]), byref(slots[1]), byref(slots[2]))
        self.title, self.publisher, self.hint = (_text(s.value) for s in slots)
        for s in slots:
            free_host_string(s.value)
        self.lib.nbRegisterInterfaceAccess(interface)
        self.lib.nbRegisterStreamAccess(stream)
        self.lib.nbMessage(1)

    def add_object(self, name, width, height):
        """A rectangle object of the page, with a window of that client size."""
        handle = self.objects.get(name) or self._next_handle
        self._next_handle += 1
        self.objects[name] = handle
        if not self.lib.kytDCRHeadlessDefineWindow(handle, width, height):
            raise RuntimeError("the library runs on a platform without declared windows")
        return handle

    def exec_action(self, number, *params):
        """nbExecAction with host-string slots; the host keeps and then frees them."""
        slots = (c_void_p * max(len(params), 1))(*[host_string(p) for p in params])
        try:
            return bool(self.lib.nbExecAction(number, slots, len(params) - 1))
        finally:
            for s in slots:
                free_host_string(s)

    def exec_command(self, command, *params):
        """kytDCRExec: the command number as text and up to five parameters."""
        texts = [str(command)] + list(params) + [""] * (5 - len(params))
        args = [None] + [t.encode(ENCODING) for t in texts] + [None] * 5
        return bool(self.lib.kytDCRExec(*args))

    def command_list(self, form=""):
        buffer = ctypes.create_string_buffer(512)
        self.lib.kytDCRCmdList(None, form.encode(ENCODING), buffer)
        return buffer.value.decode(ENCODING)

    def notify(self, name, sub_code, argument=0):
        """Message 0x04FA to the DCR window of an object (4: size update, 6: query)."""
        return bool(self.lib.kytDCRHeadlessNotify(name.encode(ENCODING), argument, sub_code))

    def paint_png(self, name, file_name):
        return bool(self.lib.kytDCRHeadlessPaintPng(name.encode(ENCODING), os.fsencode(file_name)))

    def window_bounds(self, name):
        values = [c_int32() for _ in range(4)]
        if not self.lib.kytDCRHeadlessWindowBounds(name.encode(ENCODING), *(byref(v) for v in values)):
            return None
        return tuple(v.value for v in values)

    def messages(self):
        """The message boxes the library has shown."""
        out = []
        for i in range(self.lib.kytDCRHeadlessMessageCount()):
            size = self.lib.kytDCRHeadlessMessage(i, None, 0)
            buffer = ctypes.create_string_buffer(size + 1)
            self.lib.kytDCRHeadlessMessage(i, buffer, size + 1)
            out.append(buffer.value.decode(ENCODING))
        return out

    def close(self):
        """nbMessage(2): every DCR window goes."""
        self.lib.nbMessage(2)


# --- the self-test --------------------------------------------------------------

def _check(condition, what):
    if not condition:
        raise AssertionError(what)
    print("ok   " + what, flush=True)


def self_test(library, data):
    kb = os.path.join(data, "kb", "latin.dcr")
    picture = os.path.join(data, "samples", "sample.png")
    # The expected text as the kytdcr tool prints it (UTF-8): the recognised
    # text and one line feed, which the host variable does not get.
    with open(os.path.join(data, "samples", "sample.txt"), encoding="utf-8", newline="") as f:
        expected = f.read()
    if expected.endswith("\n"):
        expected = expected[:-1]
    bw, noise, space = "196", "10", "22"   # the recognition parameters the bundled base is made for

    host = KytDcrHost(library)
    host.register()
    names = [a[1] for a in host.actions]
    _check(names == ["DCR", "kytDcrCreate", "kytDcrRemove", "kytDcrLoadKnowledgebase",
                     "kytDcrLoadPicture", "kytDcrRecognize"], "the group and five actions are registered")
    _check(host.title == "kytDCR 1.01", "nbInitPlugIn names the plug-in")
    _check(host.variables.get("[*/*kytDCRDllName]", "").endswith(".so"), "nbMessage(1) publishes the path")
    _check(host.command_list("lisp").startswith('(list (list "kytDcrCreate"  "1" 1)'), "the list form")
    _check(len(host.command_list()) == 109, "the line form is 109 characters")

    host.add_object("Rect1", 640, 480)
    _check(host.exec_action(1, "Rect1"), "kytDcrCreate")
    _check(host.window_bounds("Rect1") == (0, 0, 640, 480), "the window covers the object")
    _check(host.exec_action(3, "Rect1", kb, bw, noise, space), "kytDcrLoadKnowledgebase from a file")
    _check(host.exec_action(4, "Rect1", picture), "kytDcrLoadPicture from a file")
    _check(host.exec_action(5, "Rect1", "Result"), "kytDcrRecognize")
    from_file = host.variables.get("[Result]", "")
    _check(from_file == expected, "the sample's text is recognised: %r" % from_file)

    # The same picture as base64 text in a host variable, the knowledge base embedded.
    with open(picture, "rb") as f:
        host.variables["[sample.png.MimeStreamContent]"] = base64.b64encode(f.read()).decode("ascii")
    with open(kb, "rb") as f:
        host.embedded["embedded:\\\\\\latin.dcr"] = f.read()
    del host.variables["[Result]"]
    _check(host.exec_command(1, "Rect1"), "kytDCRExec 1 creates the window again")
    _check(host.exec_command(3, "Rect1", "embedded:\\\\\\latin.dcr", bw, noise, space),
           "kytDCRExec 3 loads the embedded knowledge base")
    _check("[LastError]" not in host.variables, "nothing was reported")
    _check(host.exec_command(4, "Rect1", "mimestream:\\\\\\sample.png"), "kytDCRExec 4 loads the variable")
    _check(host.exec_command(5, "Rect1", "Result"), "kytDCRExec 5 recognises")
    _check(host.variables.get("[Result]") == from_file, "the same text from the variable")

    host.add_object("Rect1", 500, 350)
    _check(host.notify("Rect1", 4), "size update")
    _check((host.variables.get("[Rect1_MaxX]"), host.variables.get("[Rect1_MaxY]")) == ("499", "349"),
           "the object's extent is published")
    _check(host.window_bounds("Rect1") == (0, 0, 500, 350), "the window follows the object")
    with tempfile.TemporaryDirectory() as folder:
        png = os.path.join(folder, "window.png")
        _check(host.paint_png("Rect1", png) and os.path.getsize(png) > 0, "the window paints into a PNG")

    _check(host.exec_action(2, "Rect1"), "kytDcrRemove")
    _check(not host.exec_action(2, "Rect1"), "a second kytDcrRemove finds nothing")
    _check(not host.exec_action(5, "Rect1", "Result"), "recognition without a window fails")
    _check(host.variables.get("[LastError]") ==
           "There is no DCR control attached to an object named Rect1.", "and says why")
    _check(not host.exec_action(1, "Nowhere"), "no window over an unknown object")
    _check(host.variables.get("[LastError]") == "Объект с именемNowhere не существует.", "and says why")
    host.close()
    print("all checks passed")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--library", required=True, help="path of libkytDCR.so")
    parser.add_argument("--data", required=True, help="the data folder with kb/ and samples/")
    args = parser.parse_args()
    try:
        self_test(args.library, args.data)
    except (AssertionError, OSError) as e:
        print("FAILED: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
