#!/bin/sh
# The waybar and polybar examples, called as their snippets call them, on status.json files in the
# states Tallyvane writes: every line they print is checked. Usage: statusbar_test.sh EXAMPLES_DIR
set -u
examples=$(cd "$1" && pwd)
command -v jq >/dev/null || { echo "jq is needed (apt-get install jq)"; exit 1; }
work=$(mktemp -d)
export HOME="$work/home" TZ=UTC LC_ALL=C.UTF-8 PATH="$examples:$PATH"
support="$HOME/Library/Application Support/Tallyvane"
mkdir -p "$support"
# Processes named tallyvane stand in for the program, one running and one exited; their output goes
# to /dev/null so that CTest does not wait for them.
cp "$(command -v sleep)" "$work/tallyvane"
"$work/tallyvane" 300 >/dev/null 2>&1 &
running=$!
trap 'kill $running; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
"$work/tallyvane" 0 >/dev/null 2>&1 &
exited=$!
wait $exited

waybar=$(jq -r 'select(."custom/tallyvane"."return-type" == "json") | ."custom/tallyvane".exec' "$examples/waybar-module.json")
polybar=$(sed -n 's/^exec = //p' "$examples/polybar-module.ini")
failed=0
expect() { # COMMAND EXPECTED
    actual=$(sh -c "$1" 2>&1)
    [ "$actual" = "$2" ] || { failed=1; printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$actual"; }
}
shows() { # STATUS_FILE (none when empty) TEXT TOOLTIP CLASS POLYBAR_LINE
    [ -n "$1" ] && printf '%s' "$1" >"$support/status.json" || rm -f "$support/status.json"
    expect "$waybar" "{\"text\":\"$2\",\"tooltip\":\"$3\",\"class\":\"$4\"}"
    expect "$polybar" "$5"
}
# The file of a fresh reading, changed by a jq filter.
with() { printf '{"running":true,"pollSeconds":30,"windowCount":2,"pid":%s,"quotaUpdatedAt":"2026-12-05T09:30:00Z","error":"","tokenError":"","lastTokenDay":"2026-12-05","usedPercent":62,"planType":"plus","creditsBalance":"","limitReached":false,"resetCreditsAvailable":0}' $running | jq "$@"; }
ok='Quota Codex consommé · Actualisation toutes les 30 secondes'
at='\nRelevé à 09:30:00'
waiting='\nEn attente de données'
relogin='Reconnecte ton compte ChatGPT dans Codex.'
stopped='%{F#8E8E93}GPT ?%{F-}'

shows "$(with .)" 'GPT 62 %' "$ok$at" normal 'GPT 62 %'
expect "TZ=CET-1 $waybar" "{\"text\":\"GPT 62 %\",\"tooltip\":\"$ok\\nRelevé à 10:30:00\",\"class\":\"normal\"}"
# Rounded to the nearest whole, the value meets the 75 and 90 thresholds; members come in any order.
shows "$(with -c 'to_entries | reverse | from_entries | .usedPercent = 74.4')" 'GPT 74 %' "$ok$at" normal 'GPT 74 %'
shows "$(with '.usedPercent = 74.5')" 'GPT 75 %' "$ok$at" warning '%{F#FF9500}GPT 75 %%{F-}'
shows "$(with '.usedPercent = 89.5')" 'GPT 90 %' "$ok$at" critical '%{F#FF3B30}GPT 90 %%{F-}'
# At the limit (Codex may say so below 100 %), red, with the credits left.
shows "$(with '.limitReached = true | .creditsBalance = "5.396"')" 'GPT 62 %' "$ok$at\\nLimite atteinte\\nCrédits : 5,4" critical '%{F#FF3B30}GPT 62 %%{F-}'
shows "$(with '.usedPercent = 0')" 'GPT 0 %' "$ok$at" normal 'GPT 0 %'
shows "$(with ".error = \"$relogin\" | .tokenError = .error | .usedPercent = 87.4")" \
    'GPT 87 % !' "Quota Codex consommé · $relogin$at\\nJetons : $relogin" warning '%{F#FF9500}GPT 87 % !%{F-}'
shows "$(with '.tokenError = "Données indisponibles."')" 'GPT 62 %' "$ok$at\\nJetons : Données indisponibles." normal 'GPT 62 %'
shows "$(with 'del(.quotaUpdatedAt, .usedPercent) | .windowCount = 0 | .error = "Codex est introuvable."')" \
    'GPT — !' "Quota Codex consommé · Codex est introuvable.$waiting" normal 'GPT — !'
shows "$(with 'del(.quotaUpdatedAt, .usedPercent) | .windowCount = 0')" 'GPT —' "$ok$waiting" normal 'GPT —'
# The file still says running after Tallyvane has gone, or its pid now names another program.
shows "$(with ".pid = $exited")" 'GPT ?' "Tallyvane ne tourne pas$at" stopped "$stopped"
shows "$(with "del(.quotaUpdatedAt) | .pid = $$")" 'GPT ?' "Tallyvane ne tourne pas$waiting" stopped "$stopped"
shows "$(with -n '{running: true, pid: "../self", usedPercent: 62}')" 'GPT ?' "Tallyvane ne tourne pas$waiting" stopped "$stopped"
for unreadable in "$(with . | head -c 70)" "$(with '.usedPercent = "beaucoup"')"; do
    shows "$unreadable" 'GPT ?' 'Aucun état lisible de Tallyvane' stopped "$stopped"
done
shows '' 'GPT ?' 'Aucun état lisible de Tallyvane' stopped "$stopped"
expect 'tallyvane-status --i3bar; echo "exit $?"' 'usage: tallyvane-status --waybar | --polybar
exit 2'
exit $failed
