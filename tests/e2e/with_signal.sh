#!/usr/bin/env bash
# A case's wrap: runs the program and sends it SIGNAL once FILE is there (or
# after 10 seconds), and ends as the program did.
#
#   bash with_signal.sh SIGNAL FILE PROGRAM...
set -u
signal=$1 file=$2
shift 2
"$@" <&0 &
for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
kill -s "$signal" $!
wait $!
