"""Drives the real program in a pseudo-terminal: colours, clearing, the
single-key wait, the terminal put back on every way out and on Ctrl-Z, and
notes shown but never obeyed."""
import os
import pty
import select
import signal
import shutil
import sys
import tempfile
import termios
import time

BIN = os.path.abspath(sys.argv[1])
WORK = tempfile.mkdtemp(prefix="kelvra-tty-")  # option 5 writes its report here
RED = b"\x1b[0;31;40m"
YELLOW = b"\x1b[0;33;40m"
RESET = b"\x1b[0m"
CLEAR = b"\x1b[2J\x1b[H"
PAUSE = b"Presione una tecla para continuar . . . "
MENU_END = b" *****************************************\r\n "
failures = []


def launch(extra_env=None, argv=(BIN,)):
    env = {"PATH": "/usr/bin:/bin", "TERM": "xterm", "USERNAME": "ana", "HOME": "/tmp", "PS1": "$ "}
    env.update(extra_env or {})
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(WORK)
        os.execve(argv[0], list(argv), env)
    return pid, fd


def read_until(fd, marker, seen, start=0, timeout=5.0):
    """Reads until `marker` shows in the output after offset `start`; with no
    marker, until the output ends or the time is up."""
    end = time.time() + timeout
    while (marker is None or marker not in seen[0][start:]) and time.time() < end:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen[0] += chunk
    return marker is not None and marker in seen[0][start:]


def drain(fd, seen, timeout=2.0):
    read_until(fd, None, seen, timeout=timeout)


def check(name, condition, seen=None):
    if not condition:
        failures.append(name)
        print("FAIL:", name)
        if seen is not None:
            print("  output:", repr(seen[0][-400:]))


def lflags(fd):
    return termios.tcgetattr(fd)[3]


def wait_status(pid):
    for _ in range(100):
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return status
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    return os.waitpid(pid, 0)[1]


def session_single_key_and_clearing():
    pid, fd = launch()
    seen = [b""]
    check("starts red, then greets", read_until(fd, MENU_END, seen) and seen[0].startswith(RED + b" Bienvenido!"), seen)
    for cycle in range(3):
        start = len(seen[0])
        os.write(fd, (b"5\n", b"5\n", b"9\n")[cycle])
        check("key-wait %d shown" % cycle, read_until(fd, PAUSE, seen, start), seen)
        time.sleep(0.2)
        check("raw mode during the key-wait", not (lflags(fd) & (termios.ICANON | termios.ECHO)))
        start = len(seen[0])
        key = (b"\x1b", b"\x1b[A", b"\x1bOP")[cycle]  # one key, no Enter: Esc, up arrow, F1
        os.write(fd, key)
        check("one key ends the wait", read_until(fd, MENU_END, seen, start), seen)
        check("key not echoed", key not in seen[0][start:], seen)
        check("terminal mode back after the key", lflags(fd) & termios.ICANON and lflags(fd) & termios.ECHO)
        check("cleared only before the fourth menu", (CLEAR in seen[0]) == (cycle == 2), seen)
    check("the fourth menu follows the clearing", CLEAR + b"                  Kelvra    \r\n" in seen[0], seen)
    check("option 9 turns the text yellow for good", YELLOW in seen[0] and RED not in seen[0].split(YELLOW)[-1], seen)
    os.write(fd, b"\x04")  # end of input at the menu
    drain(fd, seen, 1.0)
    status = wait_status(pid)
    check("end of input exits 0", os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0)
    check("colours reset at the end", seen[0].endswith(b"\r\n" + RESET), seen)
    os.close(fd)


def session_signal_during_key_wait(sig):
    pid, fd = launch()
    seen = [b""]
    read_until(fd, MENU_END, seen)
    os.write(fd, b"5\n")
    read_until(fd, PAUSE, seen)
    time.sleep(0.2)
    os.kill(pid, sig)
    drain(fd, seen, 1.0)
    status = wait_status(pid)
    name = signal.Signals(sig).name
    check(name + " ends the process by that signal", os.WIFSIGNALED(status) and os.WTERMSIG(status) == sig)
    check(name + " resets the colours", seen[0].endswith(RESET), seen)
    try:
        flags = lflags(fd)
        check(name + " restores the terminal mode", flags & termios.ICANON and flags & termios.ECHO)
    except termios.error:
        pass
    os.close(fd)


def session_no_color():
    pid, fd = launch({"NO_COLOR": "1"})
    seen = [b""]
    read_until(fd, MENU_END, seen)
    os.write(fd, b"\x04")
    drain(fd, seen, 1.0)
    wait_status(pid)
    check("NO_COLOR leaves out every colour code", b"\x1b[" not in seen[0], seen)
    os.close(fd)


def session_enter_leaves_notification_mode():
    pid, fd = launch()
    seen = [b""]
    read_until(fd, MENU_END, seen)
    os.write(fd, b"2\n")
    check("option 2 shows the clock", read_until(fd, b"la hora es: ", seen), seen)
    time.sleep(0.3)
    start, began = len(seen[0]), time.time()
    os.write(fd, b"\n")
    left = read_until(fd, PAUSE, seen, start, timeout=2.0)
    check("Enter in option 2 leaves it within 0.3 s", left and time.time() - began < 0.3, seen)
    os.write(fd, b"x")
    check("the key after it brings the menu", read_until(fd, MENU_END, seen, len(seen[0])), seen)
    os.write(fd, b"\x04")
    drain(fd, seen, 1.0)


def session_note_with_control_characters():
    """A loaded note that would retitle the window and hide what follows."""
    note = b"\x1b]2;Titulo\x07-\n14:30-\n\x1b[8mOculto\xc2\x9b\x7f-\n"
    with open(os.path.join(WORK, "NotasGuardadas.txt"), "wb") as f:
        f.write(note)
    pid, fd = launch()
    seen = [b""]
    read_until(fd, MENU_END, seen)
    for typed in (b"6\n", b"#", b"3\n", b"#", b"5\n"):
        os.write(fd, typed)
        read_until(fd, PAUSE if typed.endswith(b"\n") else MENU_END, seen, len(seen[0]))
    check("control characters shown as stand-ins",
          b" ?]2;Titulo? | 14:30 | ?[8mOculto?? \r\n" in seen[0], seen)
    check("no control character of the note sent", b"\x07" not in seen[0] and b"\x1b]" not in seen[0]
          and b"\x1b[8m" not in seen[0] and b"\x9b" not in seen[0], seen)
    with open(os.path.join(WORK, "MiListaNotas.txt"), "rb") as f:
        check("the report keeps the bytes", b" \x1b]2;Titulo\x07 | 14:30 | \x1b[8mOculto\xc2\x9b\x7f \n" in f.read())
    os.kill(pid, signal.SIGTERM)
    wait_status(pid)
    os.close(fd)


def session_ctrl_z_under_a_shell():
    """A shell that does not put the terminal back itself, then a key of
    two bytes at the resumed key-wait."""
    pid, fd = launch(argv=("/bin/dash", "-i"))
    seen = [b""]
    read_until(fd, b"$ ", seen)
    os.write(fd, BIN.encode() + b"\n")
    read_until(fd, MENU_END, seen)
    os.write(fd, b"5\n")
    read_until(fd, PAUSE, seen)
    time.sleep(0.2)
    start = len(seen[0])
    os.write(fd, b"\x1a")
    check("Ctrl-Z gives the shell its prompt", read_until(fd, b"$ ", seen, start), seen)
    time.sleep(0.2)
    check("Ctrl-Z resets the colours", RESET in seen[0][start:], seen)
    check("Ctrl-Z restores the terminal mode", lflags(fd) & termios.ICANON and lflags(fd) & termios.ECHO)
    start = len(seen[0])
    os.write(fd, b"fg\n")
    read_until(fd, RED, seen, start)
    time.sleep(0.2)
    check("fg sets the colour again", RED in seen[0][start:], seen)
    check("fg sets the key-wait's mode again", not (lflags(fd) & (termios.ICANON | termios.ECHO)))
    start = len(seen[0])
    for key in ("ñ", "😀"):  # two bytes, four bytes
        start = len(seen[0])
        os.write(fd, key.encode())
        check("one key of %d bytes ends the wait" % len(key.encode()), read_until(fd, MENU_END, seen, start), seen)
        os.write(fd, b"3\n")
        check("the next choice is taken", read_until(fd, PAUSE, seen, start), seen)
        check("nothing of the key left over", b"No oprimio" not in seen[0][start:], seen)
    os.write(fd, b"#\x04")
    read_until(fd, b"$ ", seen, len(seen[0]))
    os.write(fd, b"exit\n")
    wait_status(pid)
    os.close(fd)


session_single_key_and_clearing()
session_enter_leaves_notification_mode()
session_note_with_control_characters()
session_ctrl_z_under_a_shell()
for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
    session_signal_during_key_wait(s)
session_no_color()
shutil.rmtree(WORK, ignore_errors=True)
print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
