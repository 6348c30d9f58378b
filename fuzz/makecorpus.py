#!/usr/bin/env python3
"""Writes the seed corpora: fuzz/corpus/ for hostfuzzer and hqhostfuzzer (the same
harness around the described plug-in and "+tessarine HQ") and fuzz/corpus-lv2/ for
lv2fuzzer, a few short sessions in each fuzzer's input format (see hostfuzzer.cpp and
lv2fuzzer.cpp), each a typical or a hostile host. The fuzzers grow their own corpora
from these; run this again only after a change of a format."""

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
    # HQ's settings as a host automates them: every factor (with its texts) over
    # blocks longer than the processor's chunk, the filter and the limit off and on,
    # the bypass, a resume and a program switch between.
    "hq-factors": session(
        dispatch(10, opt=48000.0), dispatch(11, value=4096), dispatch(12, value=1),
        *[set_param(6, v) + get_param(6) + dispatch(7, index=6, ptr=True) +
          block(REPLACING, 300, seed=11) + block(PROCESS, 4096, seed=12, layout=1)
          for v in (0.0, 1.0 / 3.0, 2.0 / 3.0, 1.0)],
        set_param(7, 0.0), set_param(8, 0.0), block(REPLACING, 1000, seed=13),
        dispatch(8, index=7, ptr=True), dispatch(6, index=8, ptr=True),
        dispatch(7, index=8, ptr=True), set_param(8, 1.0), dispatch(44, value=1),
        block(REPLACING, 257, seed=14), dispatch(44, value=0), block(REPLACING, 255, seed=15),
        dispatch(12, value=0), dispatch(12, value=1), dispatch(2, value=4),
        set_param(6, 0.5), block(REPLACING, 64, seed=16, layout=2)),
    # HQ's settings out of range and non-finite, raw and special samples through its
    # filters, then bounded blocks with the limit on after them.
    "hq-hostile": session(
        set_param(6, -3.0), set_param(6, 40.0), set_param(6, NAN), set_param(6, INF),
        set_param(6, FLT_MAX), set_param(7, NEG_INF), set_param(8, 0.49), get_param(9),
        get_param(-1), block(REPLACING, 4096, samples=1, seed=17),
        block(REPLACING, 513, samples=2, seed=18, layout=4), set_param(8, 1e30),
        block(REPLACING, 100, seed=19), dispatch(7, index=6, ptr=True),
        dispatch(8, index=9, ptr=True), set_param(6, 1e-30), block(PROCESS, 4096, samples=1),
        dispatch(12, value=1), block(REPLACING, 4096, seed=20, layout=1)),
}

# lv2fuzzer: the plug-in byte (0 the described one, 1 HQ), then actions.
LV2_SET, LV2_RUN, LV2_RESTART, LV2_REINSTANTIATE = 0, 1, 2, 3
# Layout bits of a run: in place, second channel unconnected, controls unconnected.
IN_PLACE, MONO, NO_CONTROLS = 1, 2, 4
# HQ's ports: enabled, oversampling, DC filter, limit.
ENABLED, OVERSAMPLING, DC_FILTER, LIMIT = 6, 7, 8, 9


def lv2_set(port, value):
    return bytes([LV2_SET, port]) + struct.pack("<f", value)


def lv2_run(frames, layout=0, seed=1):
    return bytes([LV2_RUN]) + struct.pack("<HB", frames, layout) + struct.pack("<I", seed)


def lv2_session(plugin, *actions):
    return bytes([plugin]) + b"".join(
        bytes([a]) if isinstance(a, int) else a for a in actions)


LV2_SEEDS = {
    # The described plug-in: plain runs, control changes (NaN among them), extremes
    # with the controls unconnected, a restart and a new instance.
    "plain": lv2_session(0, lv2_run(512), lv2_run(0, seed=2), lv2_run(4096, IN_PLACE, seed=3)),
    "controls": lv2_session(0, lv2_set(1, 0.0), lv2_set(ENABLED, 0.0), lv2_run(64, seed=4),
                            lv2_set(2, float("nan")), lv2_run(7, MONO, seed=5)),
    "extremes": lv2_session(0, lv2_set(0, 1e30), lv2_set(3, -1e30), lv2_run(100, NO_CONTROLS, seed=6),
                            LV2_RESTART, lv2_run(1, seed=7), LV2_REINSTANTIATE,
                            lv2_run(33, IN_PLACE | MONO, seed=8)),
    # HQ at its defaults, then every factor over runs longer than the processor's
    # chunk, the filter and the limit off, bypassed and back, a restart, and a run
    # with every control (and the latency output) unconnected.
    "hq-plain": lv2_session(1, lv2_run(512), lv2_run(0, seed=2), lv2_run(4096, IN_PLACE, seed=3)),
    "hq-factors": lv2_session(
        1, *[lv2_set(OVERSAMPLING, f) + lv2_run(300, seed=10 + int(f)) for f in (1.0, 2.0, 8.0, 4.0)],
        lv2_set(DC_FILTER, 0.0), lv2_set(LIMIT, 0.0), lv2_run(64, seed=20),
        lv2_set(ENABLED, 0.0), lv2_run(1000, seed=21), lv2_set(ENABLED, 1.0), lv2_run(257, MONO, seed=22),
        LV2_RESTART, lv2_run(4096, NO_CONTROLS, seed=23)),
    # HQ's ports out of range and non-finite: factors 0, 3, 100, -5, NaN, infinity,
    # the toggles NaN and -1e30, harmonics at 1e30; in place, one channel, anew.
    "hq-hostile": lv2_session(
        1, *[lv2_set(OVERSAMPLING, f) + lv2_run(129, seed=30 + i)
             for i, f in enumerate((0.0, 3.0, 100.0, -5.0, float("nan"), float("inf"), 1e30))],
        lv2_set(DC_FILTER, float("nan")), lv2_set(LIMIT, -1e30), lv2_set(5, 1e30),
        lv2_run(4096, IN_PLACE | MONO, seed=40), LV2_REINSTANTIATE, lv2_set(ENABLED, float("-inf")),
        lv2_run(1, seed=41)),
}


def write(directory, seeds):
    directory = os.path.join(HERE, directory)
    os.makedirs(directory, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)


def main():
    write("corpus", SEEDS)
    write("corpus-lv2", LV2_SEEDS)


if __name__ == "__main__":
    main()
