# Shared by the end-to-end scripts: a tally, and the rule that a missing
# tool fails the check, naming its package.

# need TOOL PACKAGE: fails the whole check when TOOL is not installed.
need() {
    command -v "$1" > /dev/null || { echo "missing: $1 is not installed (Debian: $2)"; exit 1; }
}

passed=0 failed=0
ok() { passed=$((passed + 1)); echo "ok    $*"; }
fail() { failed=$((failed + 1)); echo "FAIL  $*"; }
# The closing line, and the status of the whole check.
tally() { echo "$passed passed, $failed failed"; [ "$failed" = 0 ]; }
