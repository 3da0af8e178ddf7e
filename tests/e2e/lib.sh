# Shared by the end-to-end scripts: the clean environment a session runs in,
# a tally, and the rule that a missing tool fails the check, naming its
# package.

# clean_env HOME: the environment every session starts from, in env_args.
clean_env() {
    env_args=(USERNAME=ana HOME="$1" PATH=/usr/local/bin:/usr/bin:/bin LANG=C TZ=UTC)
    [ -n "${ASAN_OPTIONS:-}" ] && env_args+=("ASAN_OPTIONS=$ASAN_OPTIONS")
    [ -n "${UBSAN_OPTIONS:-}" ] && env_args+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")
}

# need TOOL PACKAGE: fails the whole check when TOOL is not installed.
need() {
    command -v "$1" > /dev/null || { echo "missing: $1 is not installed (Debian: $2)"; exit 1; }
}

passed=0
failed=0
ok() { passed=$((passed + 1)); echo "ok    $*"; }
fail() { failed=$((failed + 1)); echo "FAIL  $*"; }
# The closing line, and the status of the whole check.
tally() { echo "$passed passed, $failed failed"; [ "$failed" = 0 ]; }
