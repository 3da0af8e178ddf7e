#!/usr/bin/env bash
# Runs one scripted session of the real program and compares everything it
# leaves behind with the case's expectations, byte for byte.
#
# A case is a folder; every file in it is optional:
#   stdin    what is typed (piped to the program)
#   stdout   the whole expected output (without it, `check` judges it)
#   stderr   the whole expected standard error (default: nothing)
#   status   the expected exit status (default 0)
#   env      lines NAME=VALUE added to the clean environment (USERNAME=ana,
#            HOME, PATH, LANG=C, TZ=UTC), and before them --unset=NAME to
#            take one away; @HOME@ stands for the user's folder
#   before/  files put in the working directory first
#   home/    files put in the user's folder (HOME) first
#   after/   every regular file the working directory must hold at the end
#            (without it, what before/ holds)
#   stub/    stand-in programs (lp, zenity...) put first on PATH, run in the
#            working directory
#   wrap     one line: the command the program runs under, with $case_dir,
#            $home (the user's folder) and $e2e (this folder, with the wraps
#            with_*.sh) expanded; arguments for the program itself come
#            through sh -c 'exec "$@" ARGUMENTS' sh
#   terminal the steps of a session in a pseudo-terminal, run under the wrap
#            terminal.py (which says what the steps are)
#   setup    a few lines of bash run in the working directory first, for what
#            files cannot hold; $IN, when it writes it, replaces stdin
#   check    a few lines of bash run in the working directory afterwards
#            ($OUT is the output, $HOME_DIR the user's folder); a failing
#            line fails the case
#   no-sanitizers  one line saying why a build with the sanitizers cannot
#            run the case; such builds leave it out
#   linux-only  one line saying why the case has no Windows counterpart;
#            the Windows build leaves it out
#   windows/ expectations (stdout, after/...) that replace the case's own
#            under Wine, where the system's Notepad is a stand-in that
#            writes where it was started from to printed.txt
# Timestamps (DD/MM/YY HH:MM:SS) read as such, the user's folder as @HOME@
# and the working directory as @WORK@, in the output and in the files.
# The session may take 60 s and write files of up to 8 MiB (ulimit -f: a
# program that writes without end gets SIGXFSZ and fails its case). A
# failed case lists what differs, then the first lines of the differences.
# KELVRA_WINE=PREFIX runs the program under Wine in that prefix (whose user
# folder becomes the case's home/, when it has one), and wants CR LF line
# ends in the output and in every file the program wrote. KELVRA_BLESS=1
# writes what the program did as the expectations instead.
#
#   bash run_case.sh PROGRAM CASE_FOLDER
set -u
e2e=$(realpath "$(dirname "$0")") bin=$(realpath "$1") case_dir=$(realpath "$2")
. "$e2e/lib.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
work=$tmp/work home=$tmp/home want=$tmp/want got=$tmp/got
mkdir -p "$work" "$home" "$want/after" "$got/after"
[ -d "$case_dir/before" ] && cp -R "$case_dir/before/." "$work/"
[ -d "$case_dir/home" ] && cp -R "$case_dir/home/." "$home/" && [ -n "${KELVRA_WINE:-}" ] &&
    ln -s "$home" "$tmp/ana" && mv -T "$tmp/ana" "$KELVRA_WINE/drive_c/users/ana"
cp "$case_dir/stdin" "$tmp/stdin" 2> /dev/null || : > "$tmp/stdin"

env_args=(USERNAME=ana HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin LANG=C TZ=UTC)
for v in ASAN_OPTIONS UBSAN_OPTIONS; do [ -n "${!v:-}" ] && env_args+=("$v=${!v}"); done
[ -d "$case_dir/stub" ] && env_args+=(PATH="$case_dir/stub:/usr/local/bin:/usr/bin:/bin")
mapfile -t extra < <(cat "$case_dir/env" 2> /dev/null)
eval "wrap=($(cat "$case_dir/wrap" 2> /dev/null))"
[ -f "$case_dir/terminal" ] && wrap=(python3 "$e2e/terminal.py" "$case_dir/terminal")
[ ${#wrap[@]} -gt 0 ] && need "${wrap[0]}" "${wrap[0]##*/}"
runner=(${KELVRA_WINE:+env WINEPREFIX=$KELVRA_WINE WINEDEBUG=-all WINEDLLOVERRIDES=notepad.exe=n USER=ana /usr/lib/wine/wine64})
[ -f "$case_dir/setup" ] && { (cd "$work" && IN=$tmp/stdin HOME_DIR=$home BIN=$bin . "$case_dir/setup") || exit 1; }
touch "$tmp/start"
(cd "$work" && ulimit -f 8192 && timeout 60 env -i "${env_args[@]}" env "${extra[@]//@HOME@/$home}" "${wrap[@]}" \
    "${runner[@]}" "$bin" < "$tmp/stdin" > "$tmp/out" 2> "$tmp/err")
status=$?

# What the session did, as the case would hold it.
cp "$tmp/out" "$got/stdout"
[ -s "$tmp/err" ] && cp "$tmp/err" "$got/stderr"
[ $status = 0 ] || echo $status > "$got/status"
(cd "$work" && find . -type f -exec cp --parents -t "$got/after" {} +)
find "$got" -type f -exec sed -i -E -e "s#$home#@HOME@#g" -e "s#$work#@WORK@#g" \
    -e 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' {} +
[ "${KELVRA_BLESS:-0}" = 1 ] && rm -rf "$case_dir/after" "$case_dir/stderr" "$case_dir/status" &&
    cp -R "$got/." "$case_dir/" && exit 0
[ -f "$case_dir/stdout" ] || rm "$got/stdout"

# What the case wants; under Wine with CR LF in the output and in what the
# program wrote (what it left as it was compares as it is).
for d in after before; do [ -d "$case_dir/$d" ] && cp -R "$case_dir/$d/." "$want/after/" && break; done
for f in stdout stderr status; do [ -f "$case_dir/$f" ] && cp "$case_dir/$f" "$want/"; done
if [ -n "${KELVRA_WINE:-}" ]; then
    [ -d "$case_dir/windows/after" ] && rm -r "$want/after"
    [ -d "$case_dir/windows" ] && cp -R "$case_dir/windows/." "$want/"
    for f in stdout stderr $(cd "$work" && find . -type f -newer "$tmp/start" | sed 's#^\.#after#'); do
        [ -f "$want/$f" ] && sed -i 's/$/\r/' "$want/$f"
    done
fi

[ -f "$case_dir/check" ] && ! (cd "$work" && OUT=$tmp/out HOME_DIR=$home bash -e "$case_dir/check") &&
    echo "check failed" && touch "$got/check failed"
cd "$tmp" && diff -r -q want got && exit 0
diff -r -a want got | cat -A | head -60
exit 1
