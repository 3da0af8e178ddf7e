#!/usr/bin/env bash
# Option 2 at a real terminal (a pseudo-terminal): Enter during the wait
# leaves the mode once the wait is over, the console box rings the bell and
# takes Enter, and the process uses no processor time while it waits.
exec /usr/bin/python3 - "$1" <<'PY'
import os, pty, select, sys, time

BIN = sys.argv[1]
PAUSE = b"Presione una tecla para continuar . . . "
MENU_END = b"*****************************************\r\n "
failures = []

def launch():
    env = {"PATH": "/usr/bin:/bin", "TERM": "xterm", "HOME": "/tmp", "TZ": "UTC", "NO_COLOR": "1"}
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(BIN, [BIN], env)
    return {"pid": pid, "fd": fd, "out": b""}

def read_until(s, marker, count=1, timeout=15.0):
    end = time.time() + timeout
    while s["out"].count(marker) < count and time.time() < end:
        if select.select([s["fd"]], [], [], 0.05)[0]:
            try:
                chunk = os.read(s["fd"], 4096)
            except OSError:
                break
            if not chunk:
                break
            s["out"] += chunk
    return s["out"].count(marker) >= count

def check(name, ok, s=None):
    if not ok:
        failures.append(name)
        print("FAIL:", name, repr(s["out"][-300:]) if s else "")

def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])

def finish(s, name):
    menus = s["out"].count(MENU_END)
    os.write(s["fd"], b"x")
    check(name + ": menu after the key-wait", read_until(s, MENU_END, menus + 1), s)
    os.write(s["fd"], b"\x04")
    for _ in range(100):
        done, status = os.waitpid(s["pid"], os.WNOHANG)
        if done:
            break
        time.sleep(0.05)
    else:
        os.kill(s["pid"], 9)
        status = os.waitpid(s["pid"], 0)[1]
    check(name + ": exit status 0", os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0)

leave, box = launch(), launch()
read_until(leave, MENU_END)
read_until(box, MENU_END)
# Two notes, due this minute and the next: one box, whichever minute it is.
for n, when in enumerate((time.time(), time.time() + 60)):
    due = time.strftime("%H:%M", time.gmtime(when)).encode()
    os.write(box["fd"], b"1\rCita\r" + due + b"\rDentista\r")
    read_until(box, PAUSE, n + 1)
    os.write(box["fd"], b"x")
    read_until(box, MENU_END, n + 2)
os.write(box["fd"], b"2\r")
os.write(leave["fd"], b"2\r")

check("leave: hint", read_until(leave, b"Presione Enter para volver al menu\r\n"), leave)
check("leave: first cycle", read_until(leave, b"la hora es: "), leave)
started, ticks = time.time(), cpu_ticks(leave["pid"])
os.write(leave["fd"], b"\r")
check("box: bell and frame", read_until(box, b"[ Aceptar ]") and b"\a+---" in box["out"], box)
os.write(box["fd"], b"\r")

check("leave: key-wait after the wait", read_until(leave, PAUSE), leave)
waited, used = time.time() - started, cpu_ticks(leave["pid"]) - ticks
check("leave: the wait lasts its 6 s (%.1f s)" % waited, 5.5 < waited < 8)
check("leave: no processor time while waiting (%d ticks)" % used, used <= 2)
check("leave: one cycle only", leave["out"].count(b"la hora es: ") == 1, leave)
check("box: key-wait after OK and one more wait", read_until(box, PAUSE, 3), box)
check("box: one cycle, one box",
      box["out"].count(b"la hora es: ") == 1 and box["out"].count(b"Aceptar") == 1, box)
finish(leave, "leave")
finish(box, "box")
print("%d passed, %d failed" % (13 - len(failures), len(failures)))
sys.exit(1 if failures else 0)
PY
