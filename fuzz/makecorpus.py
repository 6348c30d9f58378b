#!/usr/bin/env python3
"""Writes the seed corpus of hostfuzzer into fuzz/corpus/: a few short sessions in
the fuzzer's input format (see hostfuzzer.cpp), each a typical or a hostile host.
The fuzzer grows its own corpus from these; run this again only after a change of
the format."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

DISPATCH, SET, GET, REPLACING, PROCESS, DOUBLE = 0, 3, 4, 5, 6, 7


def integer(v):
    if 0 <= v < 64:
        return bytes([v])
    if -64 <= v < 0:
        return bytes([63 - v])
    if -2**31 <= v < 2**31:
        return bytes([128]) + struct.pack("<i", v)
    return bytes([192]) + struct.pack("<q", v)


def number(v):
    """A float: special index (int) or a value written as raw bits."""
    if isinstance(v, int):
        return bytes([v])
    return bytes([128]) + struct.pack("<f", v)


NAN, INF, NEG_INF, FLT_MAX = 0, 1, 2, 5


def dispatch(opcode, index=0, value=0, opt=0.0, ptr=False, extra=b""):
    # effEditOpen's ptr is a window id, read as 4 bytes in place of the ptr byte.
    ptr_byte = b"" if opcode == 14 else bytes([1 if ptr else 0])
    return (bytes([DISPATCH, (opcode + 5) % 106]) + integer(index) + integer(value) +
            number(opt) + ptr_byte + extra)


def set_param(index, value):
    return bytes([SET]) + integer(index) + number(value)


def get_param(index):
    return bytes([GET]) + integer(index)


def block(kind, frames, samples=0, seed=1, layout=0):
    return bytes([kind]) + integer(frames) + bytes([samples]) + struct.pack("<I", seed) + \
        bytes([layout])


def session(*actions, version=1):
    return bytes([version]) + b"".join(actions)


SEEDS = {
    # A well-behaved host: queries, program and parameter changes, processing.
    "plain-session": session(
        dispatch(0), dispatch(10, opt=48000.0), dispatch(11, value=512), dispatch(12, value=1),
        dispatch(5, ptr=True), dispatch(8, index=2, ptr=True), dispatch(7, index=2, ptr=True),
        dispatch(47, ptr=True), dispatch(48, ptr=True), dispatch(2, value=3),
        set_param(2, 0.5), get_param(2), block(REPLACING, 512), block(PROCESS, 64, seed=7),
        dispatch(12, value=0)),
    # Names, texts and capability queries with buffers of the exact limits.
    "texts": session(
        dispatch(4, ptr=True, extra=b"renamed program name of 25"[:25]),
        dispatch(5, ptr=True), dispatch(29, index=9, ptr=True), dispatch(8, index=99, ptr=True),
        dispatch(7, index=-1, ptr=True), dispatch(51, ptr=True, extra=bytes([0])),
        dispatch(27, index=1, ptr=True, extra=bytes([8])), dispatch(45, ptr=True)),
    # A hostile host: indices and programs out of range, NaN and infinities,
    # huge and negative blocks, odd layouts.
    "hostile": session(
        dispatch(2, value=10), dispatch(2, value=-1), dispatch(2, value=2**40),
        set_param(-1, 0.5), set_param(6, NAN), set_param(0, INF), set_param(1, FLT_MAX),
        set_param(2, -1e30), get_param(2**31 - 1), dispatch(11, value=-5),
        block(REPLACING, 4096, samples=1, seed=3, layout=1), block(REPLACING, -1),
        block(PROCESS, 100, samples=2, seed=5, layout=2), block(DOUBLE, 33),
        dispatch(44, value=5), block(REPLACING, 17, layout=4), dispatch(44, value=0),
        dispatch(-5), dispatch(100), dispatch(80, ptr=True)),
    # The editor without a display, and its opcodes without an open editor.
    "editor": session(
        dispatch(13, ptr=True), dispatch(14, ptr=False, extra=struct.pack("<I", 0x400001)),
        dispatch(19), dispatch(16, ptr=True, extra=bytes([0])), dispatch(17, index=5, value=5),
        dispatch(59, index=65, value=7, opt=1e30), dispatch(60, index=0, value=300, opt=NAN),
        dispatch(61, value=2), dispatch(15), dispatch(20), dispatch(21)),
    # Records passed by pointer: events, speaker arrangements, chunks.
    "records": session(
        dispatch(25, ptr=True, extra=bytes([3])), dispatch(42, ptr=True, extra=bytes([2, 0, 8, 0])),
        dispatch(69, ptr=True), dispatch(23, index=1, ptr=True),
        dispatch(24, ptr=True, extra=bytes([4, 0x55])), dispatch(50, ptr=True, extra=bytes([16, 1])),
        dispatch(33, ptr=True), dispatch(56, ptr=True)),
    # A host that answers version 0 first, then a normal instance closed early and
    # a second one.
    "reopen": session(dispatch(12, value=1), block(REPLACING, 8), dispatch(1), version=0) +
              session(dispatch(3), set_param(5, 1.0), block(REPLACING, 31, seed=9)),
}


def main():
    directory = os.path.join(HERE, "corpus")
    os.makedirs(directory, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
