#!/usr/bin/env bash
# A case's wrap: runs the program with a real print system, a private CUPS
# scheduler (its own configuration, spool, cache, state and log in a
# temporary folder, on its own socket) whose default queue prints to a file.
# Once the job is done, exactly one job must have printed the working
# directory's ListaNotas.txt byte for byte; what differs goes to standard
# error. The queue's one filter, gziptoany, passes the text through as it
# is, so no conversion stands in between.
#
#   bash with_cups.sh PROGRAM...
set -u
. "$(dirname "$0")/lib.sh"
for tool in /usr/sbin/cupsd:cups-daemon /usr/lib/cups/filter/gziptoany:cups-core-drivers \
    /usr/sbin/lpadmin:cups-client /usr/bin/lp:cups-client; do
    need "${tool%%:*}" "${tool#*:}"
done
tmp=$(mktemp -d)
# The filter runs as CUPS's own user when the scheduler runs as root.
chmod 755 "$tmp"
mkdir "$tmp/spool"
export CUPS_SERVER=$tmp/cups.sock
printf '%s\n' "Listen $CUPS_SERVER" "DefaultAuthType None" "<Policy default>" "<Limit All>" "</Limit>" "</Policy>" \
    > "$tmp/cupsd.conf"
printf '%s\n' "FileDevice Yes" "ServerRoot $tmp" "CacheDir $tmp" "StateDir $tmp" "RequestRoot $tmp/spool" \
    "TempDir $tmp/spool" "ErrorLog $tmp/log" "AccessLog $tmp/log" "PageLog $tmp/log" > "$tmp/cups-files.conf"
printf '%s\n' '*PPD-Adobe: "4.3"' '*cupsFilter: "text/plain 0 gziptoany"' > "$tmp/kelvra.ppd"
/usr/sbin/cupsd -f -c "$tmp/cupsd.conf" -s "$tmp/cups-files.conf" < /dev/null 2>> "$tmp/log" &
cupsd=$!
trap 'kill $cupsd; wait $cupsd; rm -rf "$tmp"' EXIT
# lpstat -r ends with 0 whether or not the scheduler runs: its words tell.
for _ in $(seq 100); do [ -S "$CUPS_SERVER" ] && lpstat -r 2> /dev/null | grep -q "is running" && break; sleep 0.1; done
/usr/sbin/lpadmin -p kelvra -E -v "file:$tmp/printed" -P "$tmp/kelvra.ppd" 2>> "$tmp/log" &&
    /usr/sbin/lpadmin -d kelvra 2>> "$tmp/log" || { echo "no print queue:" >&2; cat "$tmp/log" >&2; exit 1; }

"$@"
status=$?
for _ in $(seq 200); do [ -n "$(lpstat -W completed -o kelvra 2> /dev/null)" ] && break; sleep 0.1; done
jobs=$(lpstat -W all -o kelvra | wc -l)
[ "$jobs" = 1 ] || echo "$jobs print jobs, expected 1: $(lpstat -W all -o kelvra)" >&2
if ! cmp -s ListaNotas.txt "$tmp/printed"; then
    echo "the printer did not receive ListaNotas.txt as it is:" >&2
    diff <(cat -A ListaNotas.txt) <(cat -A "$tmp/printed" 2>&1) | head -20 >&2
    tail -20 "$tmp/log" >&2
fi
exit $status
