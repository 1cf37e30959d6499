#!/usr/bin/env python3
"""The LV2 bundle through Debian's LV2 tools, reached through an LV2_PATH folder
that holds only a link to it, so that no installed copy can answer instead.

  debian_tools_test.py validate BUNDLE DESCRIPTION PRESETS
                                                        lv2_validate on manifest.ttl, DESCRIPTION, PRESETS
  debian_tools_test.py info BUNDLE EXPECTED             lv2info, ordered, against EXPECTED
  debian_tools_test.py render BUNDLE TRIMHOST PLUGIN    lv2apply against trimhost with the VST 2.x PLUGIN
"""
import array
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

URI = "https://kestrivane.com/plugins/trimixer"

# Test files trimhost writes: lilv's lv2apply runs the plugin at the file's rate.
INPUTS = {
    "48000": ["--seconds", "1"],
    "44100 odd": ["--rate", "44100", "--seconds", "0.25"],  # 11025 frames: a short last block
}
# Each row sets the same values twice: as LV2 control port values, and as
# trimhost sets the VST 2.x parameters, by the text the plugin displays where
# it has one, so that the LV2 shell's mapping of port values is what is tested.
RENDERS = [
    ("defaults", "48000", {}, []),
    ("levels, mute, master, pass-through", "48000",
     {"level_stereo_2": -6, "mute_stereo_3": 1, "master_level": -3, "busses_silent_after_mixer": 1},
     ["level stereo 2=-6", "mute stereo 3=mute", "master level=-3",
      "busses silent after mixer=pass through all busses"]),
    ("pass-through, pair 1 at the floor, pair 2 muted", "48000",
     {"busses_silent_after_mixer": 1, "level_stereo_1": -167, "mute_stereo_2": 1},
     ["busses silent after mixer=pass through all busses", "level stereo 1=-167",
      "mute stereo 2=mute"]),
    ("master at the top, pair 3 just below 0 dB", "48000",
     {"master_level": 9, "level_stereo_3": -0.1}, ["master level=9", "level stereo 3=-0.1"]),
    ("defaults", "44100 odd", {}, []),
    ("master at the floor, uneven levels, pair 1 muted", "44100 odd",
     {"master_level": -9, "level_stereo_1": -40.5, "level_stereo_2": -100, "level_stereo_3": -3.7,
      "mute_stereo_1": 1},
     ["master level=-9", "level stereo 1=-40.5", "level stereo 2=-100", "level stereo 3=-3.7",
      "mute stereo 1=mute"]),
    # Port values outside the declared ranges count as the nearest end.
    ("out of range: as at the ends of the ranges", "48000",
     {"level_stereo_1": 50, "level_stereo_2": -500, "mute_stereo_3": 7, "master_level": 20,
      "busses_silent_after_mixer": -1},
     ["level stereo 2=-167", "mute stereo 3=mute", "master level=9"]),
]


def fail(message, output=""):
    sys.exit(f"{sys.argv[1]}: {message}\n{output}".rstrip())


def run(command, env=None):
    """The command's exit status and all it printed."""
    result = subprocess.run(command, env=env, capture_output=True, text=True, check=False)
    return result.returncode, result.stdout + result.stderr


def must(command, env=None):
    status, output = run(command, env)
    if status != 0:
        fail(f"{' '.join(command)} exited {status}", output)
    return output


def wav(path):
    """The format chunk and the sample bytes of a WAV file."""
    with open(path, "rb") as f:
        data = f.read()
    chunks, pos = {}, 12
    while pos + 8 <= len(data):
        size = int.from_bytes(data[pos + 4:pos + 8], "little")
        chunks[data[pos:pos + 4]] = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    if data[:4] != b"RIFF" or b"fmt " not in chunks or b"data" not in chunks:
        fail(f"{path} is no WAV file with a format and data")
    return chunks[b"fmt "], chunks[b"data"]


def speaker_free(fmt):
    """The format chunk without an extensible format's channel mask: trimhost
    claims no speaker positions, lv2apply writes libsndfile's usual layout."""
    extensible = len(fmt) >= 24 and fmt[:2] == b"\xfe\xff"
    return fmt[:20] + fmt[24:] if extensible else fmt


def first_difference(a, b, channels):
    x, y = array.array("f", a), array.array("f", b)
    for i, (p, q) in enumerate(zip(x, y)):
        if p.hex() != q.hex():
            count = sum(1 for p2, q2 in zip(x, y) if p2.hex() != q2.hex())
            return (f"{count} samples differ, first at frame {i // channels} channel "
                    f"{i % channels + 1}: {p!r} against {q!r}")
    return f"{len(x)} samples against {len(y)}"


def render_row(lv2_env, work, trimhost, plugin, number, source, controls, settings):
    """What is wrong with one row's renders: nothing when they agree."""
    source_wav = os.path.join(work, f"{source}.wav")
    lv2_out, vst_out = (os.path.join(work, f"{number} {kind}.wav") for kind in ("lv2", "vst"))
    lv2_command = ["lv2apply", "-i", source_wav, "-o", lv2_out]
    for symbol, value in controls.items():
        lv2_command += ["-c", symbol, str(value)]
    vst_command = [trimhost, "render", plugin, source_wav, vst_out]
    for setting in settings:
        vst_command += ["--set", setting]
    problems = []
    for command, env in ((lv2_command + [URI], lv2_env), (vst_command, None)):
        status, output = run(command, env)
        if status != 0:
            said = "\n       ".join(output.strip().splitlines()[:6])
            problems.append(f"{command[0]} exited {status}:\n       {said}")
    if problems:
        return problems
    (lv2_fmt, lv2_data), (vst_fmt, vst_data) = wav(lv2_out), wav(vst_out)
    if speaker_free(lv2_fmt) != speaker_free(vst_fmt):
        problems.append(f"format {lv2_fmt.hex()} against {vst_fmt.hex()}")
    if lv2_data != vst_data:
        channels = int.from_bytes(vst_fmt[2:4], "little")
        problems.append("LV2 against VST 2.x: " + first_difference(lv2_data, vst_data, channels))
    if vst_data == wav(source_wav)[1]:
        problems.append("the render is its input: nothing was mixed")
    if controls and vst_data == wav(os.path.join(work, f"{source} vst defaults.wav"))[1]:
        problems.append("the render is that of the defaults: the settings changed nothing")
    return problems


def render(lv2_env, work, trimhost, plugin):
    for name, options in INPUTS.items():
        must([trimhost, "tone", os.path.join(work, f"{name}.wav")] + options)
        must([trimhost, "render", plugin, os.path.join(work, f"{name}.wav"),
              os.path.join(work, f"{name} vst defaults.wav")])
    failed = 0
    for number, (name, source, controls, settings) in enumerate(RENDERS):
        problems = render_row(lv2_env, work, trimhost, plugin, number, source, controls, settings)
        failed += bool(problems)
        print(f"{'FAIL' if problems else 'ok  '} {name} ({source})" +
              "".join(f"\n     {problem}" for problem in problems))
    print(f"renders: {len(RENDERS) - failed} passed, {failed} failed")
    return failed == 0


def validate(bundle, description, presets):
    files = ("manifest.ttl", description, presets)
    paths = [os.path.join(bundle, name) for name in files]
    for path in paths:
        if not os.path.isfile(path):
            fail(f"no {path}")
    # sord_validate exits 0 and counts no error for a file it cannot parse,
    # and exits 0 for some errors it counts: only its lines tell.
    _, output = run(["lv2_validate"] + paths)
    diagnostics = [line for line in output.splitlines() if re.match(r"(error|warning)", line)]
    if diagnostics or not re.search(r"^Found 0 errors among", output, re.M):
        fail("lv2_validate found errors", output)
    print(f"lv2_validate: {', '.join(files)}: no errors")


def lv2info_summary(text, lv2_path):
    """lv2info's report with the values of each field sorted (lilv lists types
    and scale points in no fixed order), a port to a line."""
    text = text.replace(f"file://{lv2_path}/", "").replace("http://lv2plug.in/ns/lv2core#", "lv2:")
    text = text.replace("http://lv2plug.in/ns/ext/", "")
    fields, key = {}, None
    records = [("", fields)]
    for line in text.splitlines()[1:]:
        port = re.fullmatch(r"\tPort (\d+):", line)
        field = re.fullmatch(r"\t+([A-Z][A-Za-z ]*):\s*(.*)", line)
        if port:
            fields = {}
            records.append((f"Port {port[1]}: ", fields))
        elif field:
            key = field[1]
            fields[key] = [field[2]] if field[2] else []
        elif line.strip():
            fields[key].append(line.strip())
    out = []
    for prefix, fields in records:
        parts = [f"{key}: {', '.join(sorted(values))}" for key, values in fields.items()]
        out += [prefix + "; ".join(parts)] if prefix else parts
    return [line.rstrip() for line in out]


def info(lv2_path, expected_file):
    result = subprocess.run(["lv2info", URI], env={**os.environ, "LV2_PATH": lv2_path},
                            capture_output=True, text=True, check=False)
    if result.returncode != 0 or result.stderr:
        fail(f"lv2info exited {result.returncode}, saying on its error output:", result.stderr)
    got = lv2info_summary(result.stdout, lv2_path)
    with open(expected_file, encoding="utf-8") as f:
        expected = [line for line in f.read().splitlines() if not line.startswith("#")]
    if got != expected:
        fail("lv2info differs from what the bundle should say:\n" +
             "\n".join(difflib.unified_diff(expected, got, "expected", "lv2info", lineterm="")))
    print(f"lv2info: {len(got)} lines as expected")


# What each mode takes after the bundle, and the tool it runs.
MODES = {"validate": (2, "lv2_validate"), "info": (1, "lv2info"), "render": (2, "lv2apply")}
SKIPPED = 77


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in MODES or len(sys.argv) != 3 + MODES[sys.argv[1]][0]:
        sys.exit(__doc__)
    mode, bundle = sys.argv[1], os.path.abspath(sys.argv[2])
    tool = MODES[mode][1]
    if shutil.which(tool) is None:
        print(f"{mode}: skipped, no {tool} (Debian lv2-dev, lilv-utils)")
        sys.exit(SKIPPED)
    with tempfile.TemporaryDirectory(prefix="lv2-tools-") as work:
        lv2_path = os.path.join(work, "lv2")
        linked = os.path.join(lv2_path, os.path.basename(bundle))
        os.mkdir(lv2_path)
        os.symlink(bundle, linked)
        ok = True
        if mode == "validate":
            validate(linked, *sys.argv[3:5])
        elif mode == "info":
            info(lv2_path, sys.argv[3])
        else:
            lv2_env = {**os.environ, "LV2_PATH": lv2_path}
            # A sanitized module needs the sanitizer runtime that lv2apply lacks;
            # trimhost, sanitized itself, must not be given a second one.
            if os.environ.get("LV2APPLY_PRELOAD"):
                lv2_env["LD_PRELOAD"] = os.environ["LV2APPLY_PRELOAD"]
            ok = render(lv2_env, work, *sys.argv[3:5])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
