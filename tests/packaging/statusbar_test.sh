#!/bin/sh
# Runs the waybar and polybar examples, exactly as their snippets call them, on status.json files in the
# states Tallyvane writes, and checks every line they print.
# Usage: statusbar_test.sh EXAMPLES_DIR
set -u
examples=$(cd "$1" && pwd)
command -v jq >/dev/null || { echo "jq is needed (apt-get install jq)"; exit 1; }

work=$(mktemp -d)
running=
cleanup() {
    [ -n "$running" ] && kill "$running" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

export HOME="$work/home" TZ=UTC LC_ALL=C.UTF-8
export PATH="$examples:$PATH"
support="$HOME/Library/Application Support/Tallyvane"
mkdir -p "$support" "$work/bin"

# Processes named tallyvane stand in for the program: one that keeps running and one that has exited.
# Their output goes to /dev/null so that CTest does not wait for them.
cp "$(command -v sleep)" "$work/bin/tallyvane"
"$work/bin/tallyvane" 300 >/dev/null 2>&1 &
running=$!
"$work/bin/tallyvane" 0 >/dev/null 2>&1 &
exited=$!
wait "$exited"

waybar_exec=$(jq -r '."custom/tallyvane".exec' "$examples/waybar-module.json")
polybar_exec=$(sed -n 's/^exec = //p' "$examples/polybar-module.ini")
[ "$(jq -r '."custom/tallyvane"."return-type"' "$examples/waybar-module.json")" = json ] || {
    echo "FAIL: the waybar module must read JSON"
    exit 1
}

passed=0
failed=0
expect() { # NAME COMMAND EXPECTED
    actual=$(sh -c "$2" 2>&1)
    if [ "$actual" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: %s: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3" "$actual"
    fi
}
check() { # NAME EXPECTED_WAYBAR EXPECTED_POLYBAR
    expect "$1" "$waybar_exec" "$2"
    expect "$1" "$polybar_exec" "$3"
}
status() { cat >"$support/status.json"; }

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 2,
    "pid": $running,
    "quotaUpdatedAt": "2026-12-05T09:30:00Z",
    "tokensFetchedAt": "2026-12-05T09:30:01Z",
    "error": "",
    "tokenError": "",
    "lastTokenDay": "2026-12-05",
    "usedPercent": 62
}
EOF
check "fresh data below the thresholds" \
    '{"text":"GPT 62 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00","class":"normal"}' \
    'GPT 62 %'
expect "reading time in the user's time zone" "TZ=CET-1 $waybar_exec" \
    '{"text":"GPT 62 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 10:30:00","class":"normal"}'

# Member order and layout are not fixed: a compact file with members in another order reads the same.
printf '{"usedPercent":74.4,"pid":%s,"error":"","tokenError":"","lastTokenDay":"","windowCount":1,"pollSeconds":30,"running":true,"quotaUpdatedAt":"2026-12-05T09:30:00Z"}' "$running" | status
check "74.4 rounds to 74, still normal" \
    '{"text":"GPT 74 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00","class":"normal"}' \
    'GPT 74 %'

printf '{"running":true,"pollSeconds":30,"windowCount":2,"pid":%s,"quotaUpdatedAt":"2026-12-05T09:30:00Z","error":"","tokenError":"","lastTokenDay":"","usedPercent":74.5}' "$running" | status
check "74.5 rounds up to 75: warning" \
    '{"text":"GPT 75 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00","class":"warning"}' \
    '%{F#FF9500}GPT 75 %%{F-}'

printf '{"running":true,"pollSeconds":30,"windowCount":2,"pid":%s,"quotaUpdatedAt":"2026-12-05T09:30:00Z","error":"","tokenError":"","lastTokenDay":"","usedPercent":89.5}' "$running" | status
check "89.5 rounds up to 90: critical" \
    '{"text":"GPT 90 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00","class":"critical"}' \
    '%{F#FF3B30}GPT 90 %%{F-}'

printf '{"running":true,"pollSeconds":30,"windowCount":1,"pid":%s,"quotaUpdatedAt":"2026-12-05T09:30:00Z","error":"","tokenError":"","lastTokenDay":"","usedPercent":100}' "$running" | status
check "exhausted quota" \
    '{"text":"GPT 100 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00","class":"critical"}' \
    '%{F#FF3B30}GPT 100 %%{F-}'

printf '{"running":true,"pollSeconds":30,"windowCount":1,"pid":%s,"quotaUpdatedAt":"2026-12-05T09:30:00Z","error":"","tokenError":"","lastTokenDay":"","usedPercent":0}' "$running" | status
check "nothing used yet" \
    '{"text":"GPT 0 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00","class":"normal"}' \
    'GPT 0 %'

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 2,
    "pid": $running,
    "quotaUpdatedAt": "2026-12-05T09:30:00Z",
    "error": "Reconnecte ton compte ChatGPT dans Codex.",
    "tokenError": "Reconnecte ton compte ChatGPT dans Codex.",
    "lastTokenDay": "2026-12-04",
    "usedPercent": 87.4
}
EOF
check "quota error keeps the last percentage and adds the marker" \
    '{"text":"GPT 87 % !","tooltip":"Quota Codex consommé · Reconnecte ton compte ChatGPT dans Codex.\nRelevé à 09:30:00\nJetons : Reconnecte ton compte ChatGPT dans Codex.","class":"warning"}' \
    '%{F#FF9500}GPT 87 % !%{F-}'

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 1,
    "pid": $running,
    "quotaUpdatedAt": "2026-12-05T09:30:00Z",
    "tokensFetchedAt": "2026-12-05T09:00:00Z",
    "error": "",
    "tokenError": "Données temporairement indisponibles. Nouvel essai automatique.",
    "lastTokenDay": "2026-12-05",
    "usedPercent": 40
}
EOF
check "a token error alone adds no marker" \
    '{"text":"GPT 40 %","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nRelevé à 09:30:00\nJetons : Données temporairement indisponibles. Nouvel essai automatique.","class":"normal"}' \
    'GPT 40 %'

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 0,
    "pid": $running,
    "error": "Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.",
    "tokenError": "",
    "lastTokenDay": ""
}
EOF
check "no Codex, no data yet" \
    '{"text":"GPT — !","tooltip":"Quota Codex consommé · Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.\nEn attente de données","class":"normal"}' \
    'GPT — !'

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 0,
    "pid": $running,
    "error": "",
    "tokenError": "",
    "lastTokenDay": ""
}
EOF
check "just started" \
    '{"text":"GPT —","tooltip":"Quota Codex consommé · Actualisation toutes les 30 secondes\nEn attente de données","class":"normal"}' \
    'GPT —'

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 2,
    "pid": $exited,
    "quotaUpdatedAt": "2026-12-05T09:30:00Z",
    "error": "",
    "tokenError": "",
    "lastTokenDay": "2026-12-05",
    "usedPercent": 62
}
EOF
check "Tallyvane has exited: the file still says running" \
    '{"text":"GPT ?","tooltip":"Tallyvane ne tourne pas\nRelevé à 09:30:00","class":"stopped"}' \
    '%{F#8E8E93}GPT ?%{F-}'

status <<EOF
{
    "running": true,
    "pollSeconds": 30,
    "windowCount": 2,
    "pid": $$,
    "error": "",
    "tokenError": "",
    "lastTokenDay": "",
    "usedPercent": 62
}
EOF
check "the pid now belongs to another program" \
    '{"text":"GPT ?","tooltip":"Tallyvane ne tourne pas\nEn attente de données","class":"stopped"}' \
    '%{F#8E8E93}GPT ?%{F-}'

printf '{\n    "running": true,\n    "pollSeconds": 30,\n    "pid": %s,\n    "usedPer' "$running" | status
check "truncated file" \
    '{"text":"GPT ?","tooltip":"Aucun état lisible de Tallyvane","class":"stopped"}' \
    '%{F#8E8E93}GPT ?%{F-}'

printf '{"running":true,"pid":"../self","usedPercent":62}' | status
check "a pid that is not a number" \
    '{"text":"GPT ?","tooltip":"Tallyvane ne tourne pas\nEn attente de données","class":"stopped"}' \
    '%{F#8E8E93}GPT ?%{F-}'

printf '{"running":true,"pid":%s,"usedPercent":"beaucoup"}' "$running" | status
check "a percentage that is not a number" \
    '{"text":"GPT ?","tooltip":"Aucun état lisible de Tallyvane","class":"stopped"}' \
    '%{F#8E8E93}GPT ?%{F-}'

rm "$support/status.json"
check "no status file yet" \
    '{"text":"GPT ?","tooltip":"Aucun état lisible de Tallyvane","class":"stopped"}' \
    '%{F#8E8E93}GPT ?%{F-}'

expect "unknown switch" "tallyvane-status --i3bar; echo \"exit \$?\"" \
    "usage: tallyvane-status --waybar | --polybar
exit 2"

echo "statusbar examples: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
