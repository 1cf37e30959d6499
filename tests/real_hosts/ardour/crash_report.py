# Sourced by gdb after `run` (gdb -batch -ex run -x crash_report.py --args PROGRAM ...),
# or on a core file (gdb -batch -x crash_report.py PROGRAM CORE): ends gdb with
# the status the program would have had, and for a crash first prints the
# crashing thread's frames, a line each: "frame N LIBRARY FUNCTION", so that
# the caller can tell a crash in a plugin from one in the host.
import gdb

try:
    frame = gdb.newest_frame()
except gdb.error:
    # No stack: the program exited, and $_exitcode holds its status.
    code = gdb.convenience_variable("_exitcode")
    gdb.execute("quit %d" % (int(code) if code is not None else 1))

signal = int(gdb.parse_and_eval("$_siginfo.si_signo"))
number = 0
while frame is not None and number < 40:
    library = gdb.solib_name(frame.pc()) or gdb.current_progspace().filename
    print("frame %d %s %s" % (number, library, frame.name() or "??"))
    frame = frame.older()
    number += 1
if gdb.selected_inferior().connection.type != "core":
    gdb.execute("kill")
gdb.execute("quit %d" % (128 + signal))
