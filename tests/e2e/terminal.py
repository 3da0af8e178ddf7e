#!/usr/bin/env python3
# Runs a program in a pseudo-terminal (TERM=xterm unless set) and follows a
# step file, one step a line; lines starting with # are comments. A step's
# argument is bytes written as inside a Python bytes literal (\n, \x1b, \x20
# for a space at the end). "New" output is what came since the last send (or
# the start). Prints one line for each step that fails, and then exits 1.
#   send B        type B; @PROG@ in it stands for the program's command line
#   expect B      wait up to 5 s for B in the new output
#   within S      the next expect must be met S seconds after the last send
#   lacks B       B is not in the new output; never B: nor in the whole
#                 output so far
#   startswith B  the whole output starts with B; endswith B: it ends so
#   sleep S       wait S seconds, reading the output
#   repeat N S B  type B N times more, S seconds apart, as part of the last
#                 send (a key held down)
#   mode raw      the terminal echoes nothing and hands over every key at once
#   mode cooked   the terminal echoes and hands over whole lines
#   kill SIG      send the program the signal SIG (e.g. SIGTERM)
#   status N      wait up to 5 s for the program's end, by exit status N or by
#                 a signal (status SIGTERM), then read what is left; every
#                 step file checks this once
#   shell ARGS    (first step) run ARGS with PS1='$ ' instead of the program
#
#   python3 terminal.py STEPS PROGRAM [ARGS...]
import codecs, os, pty, select, signal, sys, termios, time

steps = [l.rstrip("\n") for l in open(sys.argv[1], encoding="utf-8") if l.strip() and l[0] != "#"]
argv, env = sys.argv[2:], dict(os.environ, TERM=os.environ.get("TERM", "xterm"))
if steps[0].startswith("shell "):
    argv, env["PS1"] = steps.pop(0).split()[1:], "$ "
pid, fd = pty.fork()
if pid == 0:  # the program, on the terminal
    os.execve(argv[0], argv, env)
out, mark, sent, live, limit, status, failed = b"", 0, time.time(), True, None, None, 0


def read(until, deadline):  # takes in the output until until() holds or the time is up
    global out, live
    while not until() and (left := deadline - time.time()) > 0:
        if select.select([fd] if live else [], [], [], min(left, 0.05))[0]:
            try:
                out += os.read(fd, 4096)
            except OSError:  # the last process on the terminal has closed it
                live = False


def ended():
    global status
    if status is None and (child := os.waitpid(pid, os.WNOHANG))[0]:
        status = os.waitstatus_to_exitcode(child[1])
    return status is not None


modes = {"raw": 0, "cooked": termios.ICANON | termios.ECHO}
checks = {
    "expect": lambda b: b in out[mark:], "lacks": lambda b: b not in out[mark:], "never": lambda b: b not in out,
    "startswith": lambda b: out.startswith(b), "endswith": lambda b: out.endswith(b),
    "mode": lambda b: termios.tcgetattr(fd)[3] & modes["cooked"] == modes[b.decode()],
    "status": lambda b: status == (-signal.Signals[b.decode()] if b[:3] == b"SIG" else int(b)),
}
for step in steps:
    op, _, arg = step.partition(" ")
    b = codecs.escape_decode(arg.encode())[0]
    if op == "send":
        os.write(fd, b.replace(b"@PROG@", " ".join(sys.argv[2:]).encode()))
        mark, sent = len(out), time.time()
    elif op == "within":
        limit = float(arg)
    elif op == "repeat":
        n, s, rest = arg.split(" ", 2)
        for _ in range(int(n)):
            read(lambda: False, time.time() + float(s))
            os.write(fd, codecs.escape_decode(rest.encode())[0])
    elif op == "sleep":
        read(lambda: False, time.time() + float(arg))
    elif op == "kill":
        os.kill(pid, signal.Signals[arg])
    else:
        if op == "expect":
            read(lambda: b in out[mark:], sent + limit if limit else time.time() + 5)
            limit = None
        if op == "status":
            read(ended, time.time() + 5)
            ended() or os.kill(pid, signal.SIGKILL)
            read(lambda: ended() and not live, time.time() + 1)
        if not checks[op](b):
            failed = 1
            print("failed: %s (status %s, %.2f s after the send); output ends %r"
                  % (step, status, time.time() - sent, out[-160:]))
if status is None:
    os.kill(pid, signal.SIGKILL)
    failed = 1
    print("failed: no status step, the program's end went unchecked")
sys.exit(failed)
