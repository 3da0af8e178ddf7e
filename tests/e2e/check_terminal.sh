#!/usr/bin/env bash
# The behaviour that only shows at a real terminal, under a pseudo-terminal.
/usr/bin/python3 -c 'import pty' 2> /dev/null ||
    { echo "skipped: /usr/bin/python3 with its pty module is not installed (Debian: python3)"; exit 77; }
exec /usr/bin/python3 "$2/terminal_session.py" "$1"
