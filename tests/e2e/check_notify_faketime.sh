#!/usr/bin/env bash
# Option 2 on the real program with a faked clock; a note at 14:30 raises the
# console box, Enter acknowledges it, and the menu comes back after the
# key-wait. Two clocks:
#   running  from 14:29:51, ten times fast: the box comes up at 14:30;
#   stepped  frozen at 14:29:59, then put on 14:31:00 once the mode has
#            looked at it (as after a sleeping laptop): the box comes up
#            once, late, while the clock line shows 14:31.
# faketime's preloaded library cannot run a sanitized program: that build
# leaves this check out.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
command -v faketime > /dev/null || { echo "skipped: faketime is not installed (Debian: faketime)"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf '1\nCita\n14:30\nLlevar "papeles" al dentista\n\n2\n\n\n' > "$tmp/in"

menu='                  Kelvra    
 *****************************************
 * 1 Agregar una nota                    *
 * 2 Modo Notificacion de notas          *
 * 3 Ver lista de notas                  *
 * 4 Imprimir lista de notas             *
 * 5 Exportar lista de notas a un TXT    *
 * 6 Cargar Notas Guardadas              *
 * 7 Guardar Notas Actuales              *
 * 8 Importar Notas De Documentos        *
 *****************************************
 '
pause='Presione una tecla para continuar . . . 
'
want() {  # the minute before the box, the minute of the box
    printf ' Bienvenido!      %s' "$menu"
    printf 'Defina el nombre de la nota\nDefina el horario de la nota\n'
    printf 'Defina la descripcion de la nota\n%s\n%s' "$pause" "$menu"
    printf 'Presione Enter para volver al menu\nla hora es: %s\nla hora es: %s\n' "$1" "$2"
    printf '+------------------------------+\n'
    printf '|             Cita             |\n'
    printf '+------------------------------+\n'
    printf '| Llevar "papeles" al dentista |\n'
    printf '|                              |\n'
    printf '|         [ Aceptar ]          |\n'
    printf '+------------------------------+\n'
    printf '%s\n%s\n' "$pause" "$menu"
}

fail=0
check() {  # case, minute before the box, minute of the box
    local d=$tmp/$1
    [ "$(cat "$d/status")" = 0 ] || { echo "$1: exit status $(cat "$d/status")"; fail=1; }
    [ -s "$d/err" ] && { echo "$1: standard error:"; head -c 2000 "$d/err"; fail=1; }
    if ! uniq "$d/out" | cmp -s - <(want "$2" "$3"); then
        echo "$1: output differs:"; diff <(uniq "$d/out" | cat -A) <(want "$2" "$3" | cat -A) | head -40; fail=1
    fi
}
session() {  # case, then the faking environment
    local d=$tmp/$1
    shift
    mkdir -p "$d"
    (cd "$d" && timeout 30 env -i TZ=UTC PATH=/usr/bin:/bin HOME="$d" "$@" "$bin" < "$tmp/in" > out 2> err
        echo $? > status)
}

session running faketime -f '@2026-12-05 14:29:51 x10'
check running 14:29 14:30
# One cycle every 6 s from 14:29:51 looks at the clock once or twice before
# 14:30, however loaded the machine; a shorter wait would look more often.
early=$(grep -c '^la hora es: 14:29$' "$tmp/running/out")
[ "$early" -ge 1 ] && [ "$early" -le 2 ] || { echo "running: $early cycles before 14:30"; fail=1; }

echo '2026-12-05 14:29:59' > "$tmp/clock"
(
    for _ in $(seq 100); do
        grep -q '^la hora es: 14:29$' "$tmp/stepped/out" 2> /dev/null && break
        sleep 0.1
    done
    echo '2026-12-05 14:31:00' > "$tmp/clock"
) &
stepper=$!
session stepped FAKETIME_TIMESTAMP_FILE="$tmp/clock" FAKETIME_NO_CACHE=1 \
    FAKETIME_DONT_FAKE_MONOTONIC=1 LD_PRELOAD='/usr/$LIB/faketime/libfaketime.so.1'
wait $stepper
check stepped 14:29 14:31
[ "$(grep -c 'Aceptar' "$tmp/stepped/out")" = 1 ] || { echo "stepped: not exactly one box"; fail=1; }
exit $fail
