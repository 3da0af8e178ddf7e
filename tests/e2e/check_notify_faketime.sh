#!/usr/bin/env bash
# Option 2 on the real program with the clock faked to 14:29:51 and running
# ten times fast: a note at 14:30 raises the console box, Enter acknowledges
# it, and the menu comes back after the key-wait. faketime's preloaded
# library cannot run a sanitized program: that build leaves this check out.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
command -v faketime > /dev/null || { echo "skipped: faketime is not installed (Debian: faketime)"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf '1\nCita\n14:30\nLlevar "papeles" al dentista\n\n2\n\n\n' > "$tmp/in"
(cd "$tmp" && timeout 20 env -i TZ=UTC PATH=/usr/bin:/bin HOME="$tmp" \
    faketime -f '@2026-12-05 14:29:51 x10' "$bin" < in > out 2> err)
status=$?

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
{
    printf ' Bienvenido!      %s' "$menu"
    printf 'Defina el nombre de la nota\nDefina el horario de la nota\n'
    printf 'Defina la descripcion de la nota\n%s\n%s' "$pause" "$menu"
    printf 'Presione Enter para volver al menu\nla hora es: 14:29\nla hora es: 14:30\n'
    printf '+------------------------------+\n'
    printf '|             Cita             |\n'
    printf '+------------------------------+\n'
    printf '| Llevar "papeles" al dentista |\n'
    printf '|                              |\n'
    printf '|         [ Aceptar ]          |\n'
    printf '+------------------------------+\n'
    printf '%s\n%s\n' "$pause" "$menu"
} > "$tmp/want"

fail=0
[ "$status" = 0 ] || { echo "exit status $status"; fail=1; }
[ -s "$tmp/err" ] && { echo "standard error:"; head -c 2000 "$tmp/err"; fail=1; }
# One cycle every 6 s from 14:29:51 looks at the clock once or twice before
# 14:30, however loaded the machine; a shorter wait would look more often.
early=$(grep -c '^la hora es: 14:29$' "$tmp/out")
[ "$early" -ge 1 ] && [ "$early" -le 2 ] || { echo "$early cycles before 14:30"; fail=1; }
if ! uniq "$tmp/out" | cmp -s - "$tmp/want"; then
    echo "output differs:"; diff <(uniq "$tmp/out" | cat -A) <(cat -A "$tmp/want") | head -40; fail=1
fi
exit $fail
