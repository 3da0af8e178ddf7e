#!/usr/bin/env bash
# Runs ctest in the given build folder. ctest counts a skipped check as not
# failed; here a skip fails the run, and each skipped check's own line says
# which package would have run it.
#
#   bash tools/ctest.sh BUILD_FOLDER
set -u
build=$1
ctest --test-dir "$build" --output-on-failure -j "${JOBS:-2}" | tee "$build/ctest.log"
status=${PIPESTATUS[0]}
skipped=$(grep -c '\*\*\*Skipped' "$build/ctest.log")
if [ "$skipped" -gt 0 ]; then
    echo "$skipped checks skipped, and a skipped check has not passed:"
    grep -h '^skipped: ' "$build/Testing/Temporary/LastTest.log" | sed 's/^/    /'
    echo "bash tools/install-deps.sh run test installs them."
    status=1
fi
exit "$status"
