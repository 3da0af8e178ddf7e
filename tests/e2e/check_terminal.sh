#!/usr/bin/env bash
# The behaviour that only shows at a real terminal, under a pseudo-terminal.
exec /usr/bin/python3 "$2/terminal_session.py" "$1"
