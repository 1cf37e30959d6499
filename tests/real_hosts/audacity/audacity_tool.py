#!/usr/bin/env python3
"""Prepares Audacity 3.2's settings for the Audacity host test and talks to its script pipe.

  audacity_tool.py config DIR TEMP_DIR    audacity.cfg in DIR: the script module on, no splash
                                          screen, projects' temporary files in TEMP_DIR, WAV
                                          export as 32-bit float
  audacity_tool.py settings FILE VST_NAME LV2_NAME VENDOR NAME=V1,..,V8...
                                          pluginsettings.cfg with both editions' settings: NAME
                                          "current" is the saved setting the effect starts with,
                                          any other a user preset; the values are the eight
                                          parameters in their own units (dB, 0/1)
  audacity_tool.py session                sends the commands read from standard input, a line
                                          each; writes each answer, then "=OK" or "=" and why not

Every pipe wait is limited (PIPE_TIMEOUT seconds, default 20): a modal dialog stops the pipe.
"""
import base64
import datetime
import os
import select
import sys
import time

# The mix expectation's module holds what the host tests share; no bytecode cache in
# the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from expected_mix import PORT_SYMBOLS, saved_chunk  # noqa: E402

MODULE = "/usr/lib/audacity/modules/mod-script-pipe.so"
FLOAT_WAV = 0x10006  # libsndfile's WAV with 32-bit float samples
DONE = "BatchCommand finished: "


def write_config(folder, temp_dir):
    # Audacity loads a module only when its file's time is the one recorded here;
    # otherwise it asks (a dialog nobody answers) or skips it.
    stamp = datetime.datetime.fromtimestamp(os.path.getmtime(MODULE)).strftime("%Y-%m-%dT%H:%M:%S")
    with open(os.path.join(folder, "audacity.cfg"), "w") as f:
        f.write("PrefsVersion=1.1.1r1\n[Version]\nMajor=3\nMinor=2\nMicro=4\n"
                "[GUI]\nShowSplashScreen=0\n[Directories]\nTempDir=%s\n"
                "[Module]\nmod-script-pipe=1\n[ModulePath]\nmod-script-pipe=%s\n"
                "[ModuleDateTime]\nmod-script-pipe=%s\n"
                "[FileFormats/ExportFormat_SF1_Type]\nWAV_10000=%d\n"
                % (temp_dir, MODULE, stamp, FLOAT_WAV))


def section(family, vendor, name):
    # Audacity's settings group of an effect: its family, vendor and name in base64,
    # with "=" escaped as the configuration file requires.
    key = base64.b64encode(("Effect_%s_%s_%s" % (family, vendor, name)).encode()).decode()
    return "[pluginsettings/base64\\:%s/private" % key.replace("=", "\\=")


def vst_state(values):
    chunk = base64.b64encode(saved_chunk(values)).decode()
    return "UniqueID=0\nVersion=1\nElements=8\nChunk=%s\n" % chunk


def lv2_state(values):
    # Audacity keys LV2 values by the ports' names with spaces made underscores,
    # which are the ports' symbols.
    return "Parameters=%s\n" % " ".join('%s="%g"' % (p, v) for p, v in sorted(zip(PORT_SYMBOLS, values)))


def write_settings(path, vst_name, lv2_name, vendor, *named):
    groups = []
    for family, name, state in (("VST", vst_name, vst_state), ("LV2", lv2_name, lv2_state)):
        head = section(family, vendor, name)
        # Without its factory defaults marked as initialised, Audacity puts the
        # defaults into the current settings when it first loads the effect.
        groups.append("%s/FactoryDefaults]\n%sInitialized=1\n" % (head, state([0.0] * 8)))
        for item in named:
            label, values = item.split("=", 1)
            group = "CurrentSettings" if label == "current" else "UserPresets/" + label
            groups.append("%s/%s]\n%s" % (head, group, state([float(v) for v in values.split(",")])))
    with open(path, "w") as f:
        f.write("pluginsettingsversion=1.0\n[pluginsettings]\n" + "".join(groups))


class Pipe:
    """Audacity's two script pipes, open for the whole session: the script module
    reads commands until the writer closes and starts over then, so a pipe opened
    per command can lose a command or its answer."""

    def __init__(self, limit):
        self.limit = limit
        uid = os.getuid()
        deadline = time.monotonic() + limit
        # Opening the command pipe for writing fails until Audacity reads it.
        while True:
            try:
                self.commands = os.open("/tmp/audacity_script_pipe.to.%d" % uid, os.O_WRONLY | os.O_NONBLOCK)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise TimeoutError("Audacity's script pipe did not open within %d s" % limit)
                time.sleep(0.2)
        self.answers = os.open("/tmp/audacity_script_pipe.from.%d" % uid, os.O_RDONLY | os.O_NONBLOCK)
        self.pending = ""

    def ask(self, command):
        """Sends one command; returns Audacity's answer, its last line the outcome."""
        os.write(self.commands, (command + "\n").encode())
        deadline = time.monotonic() + self.limit
        while True:
            # The module opens its answer pipe with a blank line; answers end in one.
            self.pending = self.pending.lstrip("\n")
            end = self.pending.find("\n\n", self.pending.find(DONE))
            if DONE in self.pending and end >= 0:
                answer, self.pending = self.pending[:end], self.pending[end + 2:]
                return answer
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.answers], [], [], left)[0]:
                raise TimeoutError("no answer to '%s' within %d s (a dialog open?)" % (command, self.limit))
            data = os.read(self.answers, 65536)
            if not data:  # the module has not opened its end yet
                time.sleep(0.05)
            self.pending += data.decode(errors="replace")


def session():
    """Reads commands, a line each, from standard input; writes each answer's lines, then
    "=OK" or "=" and why not. After a command without an answer every later one fails."""
    limit = float(os.environ.get("PIPE_TIMEOUT", "20"))
    pipe, broken = None, None
    for line in sys.stdin:
        try:
            if broken:
                raise TimeoutError(broken)
            pipe = pipe or Pipe(limit)
            answer = pipe.ask(line.rstrip("\n"))
            print(answer)
            print("=OK" if answer.endswith(DONE + "OK") else "=" + " ".join(answer.split()[-6:]), flush=True)
        except (OSError, TimeoutError) as e:
            broken = broken or "earlier: %s" % e
            print("=%s" % e, flush=True)


def main(argv):
    cmd, args = argv[1], argv[2:]
    if cmd == "config":
        write_config(*args)
    elif cmd == "settings":
        write_settings(*args)
    elif cmd == "session":
        session()
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
