#!/usr/bin/env bash
# Installs the Debian packages of the given groups of tools/packages.txt that
# are not installed yet ("all" for every group). With nothing missing it
# does nothing; otherwise it runs apt-get as root, or through sudo, and if
# neither can be had it stops with the one command to run. Only what the
# list names and what that depends on: no recommended packages, which the
# list names itself where a check uses them.
#
#   bash tools/install-deps.sh run test
set -u
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- all

wanted=()
while read -r group package; do
    case $group in '' | '#'*) continue ;; esac
    for g in "$@"; do
        if [ "$g" = all ] || [ "$g" = "$group" ]; then wanted+=("$package"); break; fi
    done
done < tools/packages.txt

if ! command -v dpkg-query > /dev/null; then
    echo "install-deps: not a Debian system; Kelvra's checks need: ${wanted[*]}" >&2
    exit 1
fi
# One query for all; a package dpkg has never heard of prints nothing.
installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${wanted[@]}" 2> /dev/null |
    awk '$1 == "ii" { print $2 }')
missing=()
for p in "${wanted[@]}"; do
    grep -qx -- "$p" <<< "$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" = 0 ]; then
    as_root=()
elif command -v sudo > /dev/null && { sudo -n true 2> /dev/null || [ -t 0 ]; }; then
    as_root=(sudo)
else
    echo "install-deps: missing ${missing[*]}; as root, run:" >&2
    echo "    apt-get update && $line" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
count() { dpkg-query -W -f='${db:Status-Abbrev}\n' | grep -c '^ii'; }
before=$(count)
if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq ||
    ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    echo "install-deps: apt-get failed; as root, run:" >&2
    echo "    apt-get update && $line" >&2
    exit 1
fi
echo "install-deps: installed $(($(count) - before)) packages (${#missing[@]} asked for, the rest what they need)"
