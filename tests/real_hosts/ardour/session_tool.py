#!/usr/bin/env python3
"""Edits the session files the Ardour test makes and checks what Ardour exported.

  session_tool.py add-audio SESSION.ardour TRACK WAV   put WAV (copied into the session) on TRACK at 0
  session_tool.py state-only SESSION.ardour           drop the plugin's parameter values, keep its state
  session_tool.py compare INPUT.wav EXPORT.wav DB1 DB2 DB3 MASTER_DB MUTES
"""
import os
import shutil
import sys
import xml.etree.ElementTree as ET

# The mix expectation shared by the host tests; no bytecode cache in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from expected_mix import expected_outputs, read_wav, settings  # noqa: E402

SUPERCLOCK_RATE = 282240000  # Ardour 7 positions are in these ticks per second


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
    n = len(ins[0])
    if len(outs) < 2 or len(outs[0]) < n:
        print("export has %d channels of %d frames, want 2+ of %d" % (len(outs), len(outs[0]), n))
        return 1
    want = expected_outputs(ins, settings((db1, db2, db3), mutes, master_db))
    worst = max(abs(outs[side][i] - want[side][i]) for side in (0, 1) for i in range(n))
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
