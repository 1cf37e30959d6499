#!/usr/bin/env python3
"""The mix the plugin must give, for the real-host tests: reads WAV files, computes the
outputs the plugin's formula (docs/hosts.md) gives for the inputs and settings, and says
where a host's output differs.

  expected_mix.py tone OUT [SECONDS [RATE]]   six channels, a sine each, quiet enough that
                                              no mix of them reaches 1 (hosts that clamp)
  expected_mix.py compare IN OUT SETTINGS [FRAME SETTINGS]...
      every sample of OUT equals the plugin's outputs for IN (six channels, or two: inputs
      and outputs 1-2 of a stereo host): SETTINGS from frame 0, and
      each later SETTINGS from its FRAME on. SETTINGS are the eight parameters in order,
      in their own units, as in "-6,0,0,0,0,1,-3,0": levels 1-3 (dB), mutes 1-3, master
      (dB), busses (0 silent, 1 passed through). Exits 1 when a sample differs.

Python modules import read_wav, write_float_wav, settings and expected_outputs, and
PORT_SYMBOLS and saved_chunk to write the plugin's settings the way hosts keep them.
"""
import math
import struct
import sys

# Both are 32-bit float; what remains is the plugin's float arithmetic.
TOLERANCE = 1e-6
# The LV2 edition's control ports, in the order of the VST 2.x edition's parameters.
PORT_SYMBOLS = ["level_stereo_1", "level_stereo_2", "level_stereo_3", "mute_stereo_1",
                "mute_stereo_2", "mute_stereo_3", "master_level", "busses_silent_after_mixer"]
# The plugin's saved chunk: this marker, then 64 control values in their own units.
STATE_MARKER = -1000.0


def saved_chunk(values):
    """The 260 bytes both editions save for these control values."""
    return struct.pack("<65f", STATE_MARKER, *(values + [0.0] * (64 - len(values))))


def read_wav(path):
    """Returns (rate, list of channels) for 16/24/32-bit PCM or 32-bit float WAV."""
    with open(path, "rb") as f:
        data = f.read()
    pos, fmt, frames = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            tag, chans, rate = struct.unpack_from("<HHI", body)
            bits = struct.unpack_from("<H", body, 14)[0]
            if tag == 0xFFFE:
                tag = struct.unpack_from("<H", body, 24)[0]
            fmt = (tag, chans, rate, bits)
        elif cid == b"data":
            frames = body
        pos += 8 + size + (size & 1)
    if fmt is None or frames is None:
        raise SystemExit("%s: no fmt or data chunk" % path)
    tag, chans, rate, bits = fmt
    width = bits // 8
    n = len(frames) // (width * chans)
    if tag == 3 and bits == 32:
        flat = struct.unpack("<%df" % (n * chans), frames[:n * chans * 4])
    elif tag == 1 and bits in (16, 32):
        code = "h" if bits == 16 else "i"
        scale = float(1 << (bits - 1))
        flat = [v / scale for v in struct.unpack("<%d%s" % (n * chans, code), frames[:n * chans * width])]
    elif tag == 1 and bits == 24:
        flat = [int.from_bytes(frames[i:i + 3], "little", signed=True) / 8388608.0
                for i in range(0, n * chans * 3, 3)]
    else:
        raise SystemExit("unsupported WAV format %r in %s" % (fmt, path))
    return rate, [list(flat[c::chans]) for c in range(chans)]


def write_float_wav(path, rate, chans):
    """A 32-bit float WAV of the channels' samples, lists of equal length."""
    frames = len(chans[0])
    data = struct.pack("<%df" % (frames * len(chans)), *(chans[c][i] for i in range(frames)
                                                         for c in range(len(chans))))
    fmt = struct.pack("<HHIIHH", 3, len(chans), rate, rate * 4 * len(chans), 4 * len(chans), 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def write_tone(path, seconds=1.0, rate=48000):
    # A frequency per channel, so that a swapped or dropped channel shows; the
    # three pairs at unity and the master at +9 dB stay below 1.
    amplitudes = [0.12, 0.11, 0.1, 0.09, 0.08, 0.07]
    frames = range(int(seconds * rate))
    write_float_wav(path, rate, [[a * math.sin(2 * math.pi * 110 * (c + 2) * (i / rate))
                                  for i in frames] for c, a in enumerate(amplitudes)])


def settings(levels_db=(0, 0, 0), mutes=(0, 0, 0), master_db=0, busses=0):
    """The gains of the plugin's formula: one per pair, the master's, the busses'."""
    pairs = [0.0 if int(m) else 10 ** (float(d) / 20) for d, m in zip(levels_db, mutes)]
    return pairs, 10 ** (float(master_db) / 20), float(busses)


def parse_settings(text):
    values = text.split(",")
    if len(values) != 8:
        raise SystemExit("settings need eight values, not %r" % text)
    return settings(values[0:3], values[3:6], values[6], values[7])


def expected_outputs(ins, gains, first=0, last=None):
    """The plugin's six outputs for frames first to last of the six inputs."""
    pairs, master, busses = gains
    last = len(ins[0]) if last is None else last
    outs = [[master * ((ins[side][i] * pairs[0] + ins[2 + side][i] * pairs[1]) + ins[4 + side][i] * pairs[2])
             for i in range(first, last)] for side in (0, 1)]
    return outs + [[busses * v for v in ch[first:last]] for ch in ins[2:6]]


def compare(input_wav, output_wav, segments):
    """segments: [(first frame, settings text)], in order, the first at frame 0."""
    _, ins = read_wav(input_wav)
    _, outs = read_wav(output_wav)
    n, channels = len(ins[0]), len(ins)
    if channels not in (2, 6) or len(outs) != channels or len(outs[0]) != n:
        print("output has %d channels of %d frames, want %d of %d" % (len(outs), len(outs[0]), channels, n))
        return 1
    # A stereo host feeds inputs 1-2 only, the others silent, and keeps outputs 1-2.
    ins += [[0.0] * n for _ in range(6 - channels)]
    worst, where = 0.0, ""
    bounds = [f for f, _ in segments[1:]] + [n]
    for (first, text), last in zip(segments, bounds):
        want = expected_outputs(ins, parse_settings(text), first, last)
        for c in range(channels):
            for i, v in enumerate(want[c]):
                if abs(outs[c][first + i] - v) > worst:
                    worst, where = abs(outs[c][first + i] - v), " at output %d frame %d" % (c + 1, first + i)
    print("max difference %.3g%s" % (worst, where))
    return 0 if worst <= TOLERANCE else 1


def main(argv):
    cmd, args = argv[1], argv[2:]
    if cmd == "tone":
        write_tone(args[0], *(float(a) for a in args[1:2]), *(int(a) for a in args[2:3]))
        return 0
    if cmd == "compare" and len(args) % 2 == 1 and len(args) >= 3:
        segments = [(0, args[2])] + [(int(f), s) for f, s in zip(args[3::2], args[4::2])]
        return compare(args[0], args[1], segments)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
