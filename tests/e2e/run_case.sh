#!/usr/bin/env bash
# Runs one scripted session of the real program and compares everything it
# leaves behind with the case's expectations.
#
# A case is a folder; every file in it is optional but stdout:
#   stdin    what is typed (piped to the program)
#   stdout   the whole expected output (without it, `check` judges it)
#   stderr   the whole expected standard error (default: nothing)
#   status   the expected exit status (default 0)
#   args     command-line arguments, one a line
#   env      lines NAME=VALUE added to the clean environment (USERNAME=ana,
#            HOME, PATH, LANG=C, TZ=UTC), or -NAME to remove one; @HOME@
#            stands for the user's folder
#   before/  files put in the working directory first
#   home/    files put in the user's folder (HOME) first
#   after/   the files the working directory must hold at the end, byte for
#            byte; without it the directory must stay as before/ left it
#   stub/    stand-in programs (lp, zenity...) put first on PATH, run in the
#            working directory
#   wrap     one line: a command the program runs under (faketime ...), with
#            $case_dir, $home (the user's folder) and $e2e (this folder, which
#            holds the wraps with_*.sh) expanded; what a wrap or a stub
#            writes in the working directory is compared too
#   terminal the steps of a session in a pseudo-terminal (terminal.py says
#            what they are), run under the wrap terminal.py
#   no-sanitizers  one line saying why the case cannot run a build with the
#            sanitizers; such builds leave it out
#   setup    a few lines of bash run in the working directory first, for what
#            files cannot hold; $IN, when it writes it, replaces stdin; what
#            it makes there is not compared unless the program changes it
#   check    a few lines of bash run in the working directory afterwards
#            ($OUT is the output, $HOME_DIR the user's folder); a failing
#            line fails the case
#   timeout  seconds the session may take (default 60)
#   linux-only  one line saying why the case has no Windows counterpart;
#            make test-windows leaves the case out and prints the line
# Timestamps (DD/MM/YY HH:MM:SS) are masked in the output and in the files.
# KELVRA_RUNNER (e.g. wine) runs the program; KELVRA_CRLF=1 reads CR LF in
# its output and files as LF, and wants CR LF in its output and in every
# file it changed; KELVRA_PROFILE_LINK names a link to make to the user's
# folder (Wine's own profile folder); KELVRA_BLESS=1 writes the expectations
# instead.
#
#   bash run_case.sh PROGRAM CASE_FOLDER
set -u
# absolute NAME PATH: sets NAME to PATH made absolute, without a process
# (every case pays for its forks).
absolute() { case $2 in /*) printf -v "$1" %s "$2" ;; *) printf -v "$1" %s "$PWD/$2" ;; esac; }
case $0 in */*) absolute e2e "${0%/*}" ;; *) e2e=$PWD ;; esac
. "$e2e/lib.sh"
absolute bin "$1"
absolute case_dir "${2%/}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
work=$tmp/work
home=$tmp/home
mkdir -p "$work" "$home" "$tmp/stub"
[ -d "$case_dir/before" ] && cp -R "$case_dir/before/." "$work/"
[ -d "$case_dir/home" ] && cp -R "$case_dir/home/." "$home/"
[ -n "${KELVRA_PROFILE_LINK:-}" ] && ln -sfn "$home" "$KELVRA_PROFILE_LINK"

clean_env "$home"
if [ -d "$case_dir/stub" ]; then
    cp "$case_dir/stub/"* "$tmp/stub/" && chmod +x "$tmp/stub/"*
    env_args+=(PATH="$tmp/stub:/usr/local/bin:/usr/bin:/bin")
fi
if [ -f "$case_dir/env" ]; then
    while IFS= read -r line || [ -n "$line" ]; do
        case $line in
            "") ;;
            -*) for k in "${!env_args[@]}"; do
                    [ "${env_args[k]%%=*}" = "${line#-}" ] && unset 'env_args[k]'
                done ;;
            *) env_args+=("${line//@HOME@/$home}") ;;
        esac
    done < "$case_dir/env"
fi
args=()
[ -f "$case_dir/args" ] && mapfile -t args < "$case_dir/args"
wrap=()
[ -f "$case_dir/wrap" ] && eval "wrap=($(cat "$case_dir/wrap"))"
[ -f "$case_dir/terminal" ] && wrap=(python3 "$e2e/terminal.py" "$case_dir/terminal")
[ ${#wrap[@]} -gt 0 ] && need "${wrap[0]}" "${wrap[0]##*/}"
runner=()
[ -n "${KELVRA_RUNNER:-}" ] && read -r -a runner <<< "$KELVRA_RUNNER"

input=$case_dir/stdin
[ -f "$input" ] || input=/dev/null
# Every entry of the working directory with what it holds (a regular file's
# checksum, "-" for the others), so what the setup made can be told apart.
snap() {
    (cd "$work" 2> /dev/null && find . ! -type d \( -type f -exec md5sum {} + -o -printf '%p -\n' \)) |
        sed -E 's/^([0-9a-f]{32})  (.*)/\2 \1/' | sort
}
before=$(snap)
ready=$before made=''
if [ -f "$case_dir/setup" ]; then
    (cd "$work" && IN=$tmp/stdin HOME_DIR=$home BIN=$bin . "$case_dir/setup") || exit 1
    [ -f "$tmp/stdin" ] && input=$tmp/stdin
    ready=$(snap)
    made=$(comm -13 <(echo "$before") <(echo "$ready"))
fi
limit=60
[ -f "$case_dir/timeout" ] && read -r limit < "$case_dir/timeout"

(cd "$work" && timeout "$limit" env -i "${env_args[@]}" "${wrap[@]}" "${runner[@]}" "$bin" "${args[@]}" \
    < "$input" > "$tmp/out" 2> "$tmp/err")
status=$?
# What the working directory holds now, but what the setup made unchanged;
# and what was written there.
now=$(snap)
have=$(comm -23 <(echo "$now") <(echo "$made") | cut -d' ' -f1)
wrote=$(comm -13 <(echo "$ready") <(echo "$now") | cut -d' ' -f1)

# What is compared: timestamps masked, and CR LF read as LF when asked.
# The user's folder reads as @HOME@, the working directory as @WORK@.
seen() {
    local crlf='' ; [ "${KELVRA_CRLF:-0}" = 1 ] && crlf='s/\r$//'
    sed -E -e 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' \
        -e "s#$home#@HOME@#g" -e "s#$work#@WORK@#g" -e "$crlf" "$1"
}

# KELVRA_BLESS=1 writes what this run did as the case's expectations, to be
# read and checked by eye before they are committed.
if [ "${KELVRA_BLESS:-0}" = 1 ]; then
    seen "$tmp/out" > "$case_dir/stdout"
    [ -s "$tmp/err" ] && seen "$tmp/err" > "$case_dir/stderr"
    [ "$status" = 0 ] || echo "$status" > "$case_dir/status"
    rm -rf "$case_dir/after"
    mkdir -p "$case_dir/after"
    for f in $have; do
        [ -f "$work/$f" ] && mkdir -p "$case_dir/after/$(dirname "$f")" && seen "$work/$f" > "$case_dir/after/$f"
    done
    [ -d "$case_dir/before" ] && diff -r -q "$case_dir/before" "$case_dir/after" > /dev/null && rm -rf "$case_dir/after"
    [ -n "$(ls -A "$case_dir/after" 2> /dev/null)" ] || rm -rf "$case_dir/after"
    exit 0
fi

# differs WHAT GOT WANT: says how GOT, as seen, differs from WANT.
differs() {
    cmp -s <(seen "$2") "$3" && return 1
    echo "$1 differs from $3:"; diff <(seen "$2" | cat -A) <(cat -A "$3") | head -40
}
# no_cr FILE: under KELVRA_CRLF, a line of FILE ends without CR.
no_cr() { [ "${KELVRA_CRLF:-0}" = 1 ] && grep -q $'[^\r]$\|^$' "$1"; }

fail=0
want_status=0
[ -f "$case_dir/status" ] && read -r want_status < "$case_dir/status"
[ "$status" = "$want_status" ] || { echo "exit status $status, expected $want_status"; fail=1; }
want_err=/dev/null
[ -f "$case_dir/stderr" ] && want_err=$case_dir/stderr
differs "standard error" "$tmp/err" "$want_err" && fail=1
no_cr "$tmp/out" && { echo "output has line ends without CR"; fail=1; }
if [ -f "$case_dir/check" ] && ! (cd "$work" && OUT=$tmp/out HOME_DIR=$home bash -e "$case_dir/check"); then
    echo "check failed"; fail=1
fi
[ -f "$case_dir/stdout" ] && differs output "$tmp/out" "$case_dir/stdout" && fail=1

expected_files=$case_dir/after
[ -d "$expected_files" ] || expected_files=$case_dir/before
want=""
[ -d "$expected_files" ] && want=$(cd "$expected_files" && find . -type f | sort)
if [ "$want" != "$have" ]; then
    echo "files in the working directory differ:"; diff <(echo "$want") <(echo "$have"); fail=1
fi
for f in $want; do
    # A file left as it was compares as it is; one written reads as seen.
    [ -f "$work/$f" ] && ! cmp -s "$work/$f" "$expected_files/$f" || continue
    differs "file $f" "$work/$f" "$expected_files/$f" && fail=1
done
for f in $wrote; do
    [ -f "$work/$f" ] && no_cr "$work/$f" && { echo "file $f has line ends without CR"; fail=1; }
done
exit $fail
