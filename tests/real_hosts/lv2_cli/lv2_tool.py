#!/usr/bin/python3
"""Writes the LV2 states the jalv and lv2file tests load, and plays a file through jalv.

  lv2_tool.py state OUT.ttl URI PORTS CHUNK [LABEL]
                                                a state or preset file: PORTS the port values,
                                                CHUNK the values in the plugin's saved chunk, each
                                                "V0,V1,...,V7" in port order or "-" for none
  lv2_tool.py play-record CLIENT IN.wav OUT.wav [CYCLES]
                                                IN.wav into JACK client CLIENT, its outputs to OUT.wav
  lv2_tool.py shows LOG VALUES                  jalv's last listing of the controls in its console
                                                log LOG shows VALUES ("V0,...,V7" in port order)

play-record waits until CLIENT has its ports, connects them, lets CYCLES (default 2) process cycles
pass first (so that a control change sent to the client just before is applied in one of
them), then plays the file in freewheel mode and writes what came back as a 32-bit float
WAV of the same length. Two clients of our own, a player before CLIENT and a recorder after
it, so that JACK runs the three in this order in every cycle and the recording is sample
exact: no feedback loop, and freewheel mode does not drop cycles under load.
Runs with Debian's python3, for its python3-jack-client.
"""
import base64
import os
import queue
import struct
import sys
import time

import jack

# The mix expectation shared by the host tests; no bytecode cache in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from expected_mix import PORT_SYMBOLS, read_wav, saved_chunk, write_float_wav  # noqa: E402

PORT_WAIT_SECONDS = 30  # a guard against a client that never comes up, not a measure


def write_state(out, uri, ports, chunk, label=None):
    """A state as lilv writes it (a folder's state.ttl, or a preset), with the chunk as
    base64 the way lilv keeps an atom:Chunk."""
    props = ['rdfs:label "%s"' % label] if label else []
    if ports != "-":
        props += ['lv2:port [ lv2:symbol "%s" ; pset:value %s ]' % (sym, float(v))
                  for sym, v in zip(PORT_SYMBOLS, ports.split(","))]
    if chunk != "-":
        blob = saved_chunk([float(v) for v in chunk.split(",")])
        props.append('state:state [ <%s#chunk> "%s"^^xsd:base64Binary ]'
                     % (uri, base64.b64encode(blob).decode()))
    with open(out, "w") as f:
        f.write("@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n"
                "<> a pset:Preset ;\n  lv2:appliesTo <%s> ;\n  %s .\n" % (uri, " ;\n  ".join(props)))


def client_ports(probe, name, direction):
    """The client's audio ports, "input" or "output" DIRECTION, once it has them."""
    deadline = time.monotonic() + PORT_WAIT_SECONDS
    while time.monotonic() < deadline:
        ports = probe.get_ports("^%s:" % name, is_audio=True, **{"is_" + direction: True})
        if ports:
            return ports
        time.sleep(0.05)
    raise SystemExit("no %s ports of JACK client %s" % (direction, name))


def shows(log, values):
    shown = {}
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            # Each listing follows the console's prompt, "> ", on the line of its first control.
            symbol, _, value = line.lstrip("> ").partition(" = ")
            if symbol in PORT_SYMBOLS:
                shown[symbol] = float(value)
    seen = [shown.get(symbol) for symbol in PORT_SYMBOLS]
    if seen != [float(v) for v in values.split(",")]:
        raise SystemExit("jalv shows %s, expected %s" % (seen, values))


def play_record(name, in_wav, out_wav, cycles="2"):
    rate, chans = read_wav(in_wav)
    frames = len(chans[0])
    player, recorder = jack.Client(name + "-play"), jack.Client(name + "-record")
    if player.samplerate != rate:
        raise SystemExit("JACK runs at %d Hz, the file is %d Hz" % (player.samplerate, rate))
    outs = [player.outports.register("out_%d" % (c + 1)) for c in range(len(chans))]
    ins = [recorder.inports.register("in_%d" % (c + 1)) for c in range(len(chans))]
    # Cycles still to wait, counted from the first one in freewheel mode, and where the
    # file is; the frame time a block was played at, so that the recorder takes what comes
    # back in the same cycle (the same frame time) as the output for that block.
    state = {"wait": int(cycles), "freewheel": False, "pos": 0}
    played = {}
    done = queue.Queue()
    recorded = [[] for _ in chans]

    @player.set_freewheel_callback
    def freewheel(starting):
        state["freewheel"] = starting

    @player.set_process_callback
    def play(n):
        pos = state["pos"]
        if not state["freewheel"] or state["wait"] > 0 or pos >= frames:
            state["wait"] -= state["freewheel"]
            for port in outs:
                port.get_buffer()[:] = bytes(4 * n)
            return
        block = [ch[pos:pos + n] for ch in chans]
        for port, samples in zip(outs, block):
            port.get_buffer()[:] = struct.pack("<%df" % n, *(samples + [0.0] * (n - len(samples))))
        played[player.last_frame_time] = len(block[0])
        state["pos"] = pos + n

    @recorder.set_process_callback
    def record(n):
        length = played.get(recorder.last_frame_time)
        if length is None:
            return
        for port, kept in zip(ins, recorded):
            kept.extend(struct.unpack("<%df" % n, port.get_buffer())[:length])
        if len(recorded[0]) >= frames:
            done.put(True)

    with player, recorder:
        targets_in = client_ports(player, name, "input")
        targets_out = client_ports(player, name, "output")
        # The client runs (it has answered its console), so all its ports are there.
        if len(targets_in) != len(chans) or len(targets_out) != len(chans):
            raise SystemExit("JACK client %s has %d audio inputs and %d outputs, not %d each"
                             % (name, len(targets_in), len(targets_out), len(chans)))
        for src, dst in zip(outs, targets_in):
            player.connect(src, dst)
        for src, dst in zip(targets_out, ins):
            recorder.connect(src, dst)
        player.set_freewheel(True)
        try:
            done.get(timeout=PORT_WAIT_SECONDS)
        except queue.Empty:
            raise SystemExit("recorded %d of %d frames" % (len(recorded[0]), frames))
        finally:
            player.set_freewheel(False)
    write_float_wav(out_wav, rate, recorded)


if __name__ == "__main__":
    commands = {"state": write_state, "play-record": play_record, "shows": shows}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        raise SystemExit(__doc__)
    commands[sys.argv[1]](*sys.argv[2:])
