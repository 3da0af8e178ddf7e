#!/usr/bin/env bash
# A case's wrap: runs the program, and once a file matching GLOB shows in the
# working directory, runs the program itself (the last argument, without
# what it runs under) once more to its end, typing INPUT and writing what it
# says to second-stdout there; then waits for the first run and ends as it did.
#
#   bash with_second_run.sh INPUT GLOB PROGRAM...
set -u
input=$1 glob=$2
shift 2
"$@" <&0 &
for _ in $(seq 1000); do compgen -G "$glob" > /dev/null && break; sleep 0.01; done
"${@: -1}" < "$input" > second-stdout
wait $!
