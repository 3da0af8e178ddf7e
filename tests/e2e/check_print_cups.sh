#!/usr/bin/env bash
# Option 4 through a real print system: a private CUPS scheduler (its own
# configuration, spool, cache, state and logs in a temporary folder, on its
# own socket) whose default queue prints to a file. What that file receives
# must be ListaNotas.txt byte for byte. The queue's one filter, gziptoany,
# passes the text through as it is, so no conversion stands in between.
# Without CUPS this check fails: it is what shows that printing works.
#
#   bash check_print_cups.sh <path to kelvra> <tests/e2e dir>
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)/cases/listing_print_without_lp
for tool in /usr/sbin/cupsd:cups-daemon /usr/lib/cups/filter/gziptoany:cups-core-drivers \
    /usr/sbin/lpadmin:cups-client /usr/bin/lp:cups-client; do
    [ -x "${tool%%:*}" ] || { echo "FAIL: ${tool%%:*} is not installed (Debian: ${tool#*:})"; exit 1; }
done
tmp=$(mktemp -d)
# The filter runs as CUPS's own user when the scheduler runs as root.
chmod 755 "$tmp"
cupsd_pid=
trap '[ -n "$cupsd_pid" ] && kill "$cupsd_pid" 2> /dev/null && wait "$cupsd_pid"; cat "$tmp/log/cupsd.err"; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/work" "$tmp/home" "$tmp/log" "$tmp/spool/tmp"
export CUPS_SERVER=$tmp/cups.sock

cat > "$tmp/cupsd.conf" <<CONF
Listen $CUPS_SERVER
Browsing No
WebInterface No
DefaultAuthType None
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF
cat > "$tmp/cups-files.conf" <<CONF
FileDevice Yes
ServerRoot $tmp
CacheDir $tmp/cache
StateDir $tmp/state
RequestRoot $tmp/spool
TempDir $tmp/spool/tmp
ErrorLog $tmp/log/error_log
AccessLog $tmp/log/access_log
PageLog $tmp/log/page_log
CONF
cat > "$tmp/kelvra.ppd" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "KELVRA.PPD"
*Manufacturer: "Kelvra"
*Product: "(Kelvra)"
*ModelName: "Kelvra text file"
*ShortNickName: "Kelvra text file"
*NickName: "Kelvra text file"
*PSVersion: "(3010.000) 0"
*cupsFilter: "text/plain 0 gziptoany"
PPD

/usr/sbin/cupsd -f -c "$tmp/cupsd.conf" -s "$tmp/cups-files.conf" 2> "$tmp/log/cupsd.err" &
cupsd_pid=$!
for ((k = 0; k < 100; k++)); do
    [ -S "$CUPS_SERVER" ] && lpstat -r > /dev/null 2>&1 && break
    sleep 0.1
done
if ! /usr/sbin/lpadmin -p kelvra -E -v "file:$tmp/printed" -P "$tmp/kelvra.ppd" 2> "$tmp/log/lpadmin.err" ||
    ! /usr/sbin/lpadmin -d kelvra 2>> "$tmp/log/lpadmin.err"; then
    echo "FAIL: no print queue:"; cat "$tmp/log/"*; exit 1
fi

env_args=(USERNAME=ana HOME="$tmp/home" PATH=/usr/bin:/bin LANG=C TZ=UTC CUPS_SERVER="$CUPS_SERVER")
[ -n "${ASAN_OPTIONS:-}" ] && env_args+=("ASAN_OPTIONS=$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && env_args+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")
(cd "$tmp/work" && timeout 20 env -i "${env_args[@]}" "$bin" < "$case_dir/stdin" > "$tmp/out" 2> "$tmp/err")
status=$?
for ((k = 0; k < 200; k++)); do
    [ -n "$(lpstat -W completed -o kelvra 2> /dev/null)" ] && break
    sleep 0.1
done

mask() { sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' "$1"; }
fail=0
[ "$status" = 0 ] || { echo "exit status $status"; fail=1; }
[ -s "$tmp/err" ] && { echo "standard error: $(head -c 500 "$tmp/err")"; fail=1; }
# The case's session, printed this time.
perl -0pe 's/No se pudo imprimir ListaNotas.txt\n//' "$case_dir/stdout" > "$tmp/want"
if ! cmp -s "$tmp/want" <(mask "$tmp/out"); then
    echo "output differs:"; diff <(cat -A "$tmp/want") <(mask "$tmp/out" | cat -A) | head -20
    fail=1
fi
jobs=$(lpstat -W all -o kelvra | wc -l)
[ "$jobs" = 1 ] || { echo "$jobs print jobs, expected 1: $(lpstat -W all -o kelvra)"; fail=1; }
if ! cmp -s "$tmp/work/ListaNotas.txt" "$tmp/printed"; then
    echo "the printer did not receive ListaNotas.txt as it is:"
    diff <(cat -A "$tmp/work/ListaNotas.txt") <(cat -A "$tmp/printed" 2>&1) | head -20
    tail -20 "$tmp/log/error_log"
    fail=1
fi
if ! cmp -s "$case_dir/after/ListaNotas.txt" <(mask "$tmp/work/ListaNotas.txt"); then
    echo "ListaNotas.txt differs:"; diff <(cat -A "$case_dir/after/ListaNotas.txt") <(mask "$tmp/work/ListaNotas.txt" | cat -A) | head -20
    fail=1
fi
exit $fail
