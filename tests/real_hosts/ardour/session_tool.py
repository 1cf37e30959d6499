#!/usr/bin/env python3
"""Edits the session files the Ardour test makes and checks what Ardour exported.

  session_tool.py add-audio SESSION.ardour TRACK WAV   put WAV (copied into the session) on TRACK at 0
  session_tool.py state-only SESSION.ardour           drop the plugin's parameter values, keep its state
  session_tool.py compare INPUT.wav EXPORT.wav DB1 DB2 DB3 MASTER_DB MUTES
"""
import math
import os
import shutil
import struct
import sys
import wave
import xml.etree.ElementTree as ET

SUPERCLOCK_RATE = 282240000  # Ardour 7 positions are in these ticks per second


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


def add_audio(session_file, track, wav):
    rate, chans = read_wav(wav)
    session_dir = os.path.dirname(os.path.abspath(session_file))
    # Ardour refuses a session with more than one folder here, whatever it is named.
    (folder,) = os.listdir(os.path.join(session_dir, "interchange"))
    audio_dir = os.path.join(session_dir, "interchange", folder, "audiofiles")
    name = os.path.basename(wav)
    shutil.copy(wav, os.path.join(audio_dir, name))

    tree = ET.parse(session_file)
    root = tree.getroot()
    next_id = [int(root.get("id-counter", "100000")) + 1000]

    def new_id():
        next_id[0] += 1
        return str(next_id[0])

    length = "a%d" % (len(chans[0]) * SUPERCLOCK_RATE // rate)
    sources = root.find("Sources")
    ids = []
    for c in range(len(chans)):
        sid = new_id()
        ids.append(sid)
        ET.SubElement(sources, "Source", {"name": name, "type": "audio", "flags": "", "id": sid,
                                          "captured-for": "", "channel": str(c), "origin": ""})

    def region_attrs():
        attrs = {"name": "tone", "id": new_id(), "type": "audio", "start": "a0",
                 "length": length + "@a0", "position": "a0", "channels": str(len(chans)),
                 "whole-file": "1", "muted": "0", "opaque": "1", "scale-amplitude": "1",
                 "fade-in-active": "0", "fade-out-active": "0"}
        for c, sid in enumerate(ids):
            attrs["source-%d" % c] = sid
            attrs["master-source-%d" % c] = sid
        return attrs

    ET.SubElement(root.find("Regions"), "Region", region_attrs())
    route = next(r for r in root.iter("Route") if r.get("name") == track)
    playlist = next(p for p in root.iter("Playlist") if p.get("id") == route.get("audio-playlist"))
    attrs = region_attrs()
    attrs["whole-file"] = "0"
    ET.SubElement(playlist, "Region", attrs)
    locations = root.find("Locations")
    ET.SubElement(locations, "Location", {"id": new_id(), "name": "session", "start": "a0",
                                          "end": length, "flags": "IsSessionRange", "locked": "0",
                                          "timestamp": "0", "cue": "0"})
    root.set("id-counter", str(next_id[0] + 1))
    tree.write(session_file, encoding="UTF-8", xml_declaration=True)


def state_only(session_file):
    """Drops the plugin's parameter values so that only its own saved state can restore it:
    a VST's chunk (kept inline), an LV2 plugin's state (a state.ttl under plugins/)."""
    tree = ET.parse(session_file)
    session_dir = os.path.dirname(os.path.abspath(session_file))
    removed = 0
    found = False
    for proc in tree.getroot().iter("Processor"):
        kind = proc.get("type")
        if kind not in ("lxvst", "lv2"):
            continue
        found = True
        state = proc.find(kind)
        if state is None:
            raise SystemExit("no %s state in the saved plugin" % kind)
        if kind == "lxvst":
            if state.find("chunk") is None:
                raise SystemExit("no chunk in the saved plugin state")
            keep = ("chunk",)
        else:
            ttl = os.path.join(session_dir, "plugins", proc.get("id"), state.get("state-dir", ""),
                               "state.ttl")
            if not state.get("state-dir") or not os.path.isfile(ttl):
                raise SystemExit("no saved LV2 state for the plugin (%s)" % ttl)
            with open(ttl, encoding="utf-8") as f:
                if "#chunk>" not in f.read():
                    raise SystemExit("no chunk property in " + ttl)
            keep = ()  # its children are the <Port> values; state-dir, an attribute, stays
        for element in list(proc):
            if element.tag in ("Controllable", "Automation"):
                proc.remove(element)
                removed += 1
        for element in list(state):
            if element.tag not in keep:
                state.remove(element)
                removed += 1
    if not found:
        raise SystemExit("no plugin in the session")
    if removed == 0:
        raise SystemExit("no parameter values found to remove")
    tree.write(session_file, encoding="UTF-8", xml_declaration=True)


def compare(input_wav, export_wav, db1, db2, db3, master_db, mutes):
    _, ins = read_wav(input_wav)
    _, outs = read_wav(export_wav)
    gains = [0.0 if m == "1" else 10 ** (float(d) / 20) for d, m in zip((db1, db2, db3), mutes)]
    master = 10 ** (float(master_db) / 20)
    n = len(ins[0])
    if len(outs) < 2 or len(outs[0]) < n:
        print("export has %d channels of %d frames, want 2+ of %d" % (len(outs), len(outs[0]), n))
        return 1
    worst = 0.0
    for side in (0, 1):
        for i in range(n):
            want = master * sum(g * ins[2 * p + side][i] for p, g in enumerate(gains))
            worst = max(worst, abs(outs[side][i] - want))
    silent = max((abs(v) for ch in outs[2:] for v in ch[:n]), default=0.0)
    level = max(abs(v) for v in outs[0][:n])
    print("max error %.3g, peak out1 %.3g, peak outs 3-%d %.3g" % (worst, level, len(outs), silent))
    return 0 if worst < 1e-4 and silent < 1e-6 and level > 1e-3 else 1


if __name__ == "__main__":
    cmd, rest = sys.argv[1], sys.argv[2:]
    if cmd == "add-audio":
        add_audio(*rest)
    elif cmd == "state-only":
        state_only(*rest)
    elif cmd == "compare":
        sys.exit(compare(*rest))
    else:
        raise SystemExit("unknown command " + cmd)
