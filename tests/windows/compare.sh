#!/usr/bin/env bash
# The Windows command line under wine against the Linux one: standard
# output, standard error and exit status equal, case by case.
#   tests/windows/compare.sh WINDOWS.exe LINUX-BINARY
set -uo pipefail
exe=$1
linux=$2
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$exe")" && pwd)/wineprefix} WINEDEBUG=-all LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wine "$exe" --version >/dev/null 2>&1  # the prefix is made on the first run

# A batch with CR LF line ends, as a Windows editor writes it.
printf '{"rf_out": "1234.5678", "ref": "13", "min_fc": "10", "max_fc": "200"}\r\n{"rf_out": "10368.025", "mult": 4, "chip": "adf4106"}\r\n\r\n{"rf_out": "x"}\r\n' >"$work/batch.jsonl"

cases=(
  "--rf-out 1000"
  "--rf-out 1234.5678 --ref 13 --min-fc 10 --max-fc 200"
  "--rf-out 1234.5678 --ref 13 --min-fc 10 --max-fc 200 --json --alternatives 5"
  "--rf-out 10368.025 --mult 4 --ref 10 --min-fc 1 --max-fc 1000"
  "--rf-out 0"
  "--rf-out 1e300 --ref 1e-300"
  "--sweep 10000:10100:0.01 --mult 4"
  "--sweep 10000:10100:0.01 --mult 4 --fom -220 --flicker -260"
  "--rf-out 10368.025 --mult 4 --fom -221.5 --flicker -263 --offset 1000 --json"
  "--sweep 10368:10370:0.025 --mult 4 --min-fc 1 --common-r"
  "--sweep 10368:10370:0.025 --mult 4 --chip adf4106 --json"
  "--rf-out 10368.025 --mult 4 --chip adf4106 --prescaler 16"
  "--sweep 10368:10369:0.025 --mult 4 --chip max2870 --min-fc 1000 --max-fc 50000 --registers --spur-clear 100"
  "--rf-out 2500 --chip adf4351-int --ref 25 --min-fc 100 --max-fc 40000 --registers --feedback divided"
  "--decode adf4351-int --ref 25 0x00400005 0x008C803C 0x006004B3 0x18004FC2 0x00008011 0x00300000"
  "--list-chips"
  "--rf-out 1000 --r-range 5:1"
  "--rf-out 1392 --ref 38.4 --min-fc 60 --max-fc 60 --loop-bandwidth 2 --phase-margin 47.1 --gamma 1.136 --cp-current 4 --kvco 30 --fom -220 --flicker -260 --vco-noise 1000:-80,10000:-105,100000:-128 --ref-noise 10:-120,1000:-150 --lock-jump 10 --json"
  "--sweep 2400:2410:0.5 --chip adf4351 --ref 25 --min-fc 1000 --max-fc 25000 --filter 6.8n,82n,2.7k,470p,33k --kvco 40 --fom -220 --vco-noise 1000:-75,100000:-122 --lock-jump 1"
  "--rf-out 2400 --loop-bandwidth 200 --cp-current 1 --kvco 10"
  "--batch"
)
failed=0
for case in "${cases[@]}"; do
  # shellcheck disable=SC2086
  if [ "$case" = "--batch" ]; then
    wine "$exe" --batch <"$work/batch.jsonl" >"$work/w.out" 2>"$work/w.err"; w=$?
    "$linux" --batch <"$work/batch.jsonl" >"$work/l.out" 2>"$work/l.err"; l=$?
  else
    wine "$exe" $case >"$work/w.out" 2>"$work/w.err"; w=$?
    "$linux" $case >"$work/l.out" 2>"$work/l.err"; l=$?
  fi
  if [ "$w" != "$l" ] || ! cmp -s "$work/w.out" "$work/l.out" || ! cmp -s "$work/w.err" "$work/l.err"; then
    echo "differs: $case (exit $w against $l)"
    diff <(head -c 2000 "$work/l.out") <(head -c 2000 "$work/w.out") | head -5
    diff "$work/l.err" "$work/w.err" | head -5
    failed=1
  fi
done
# Paths with letters beyond any ANSI code page, given on the command line,
# in a batch line and in a design (wine maps Z: to /; the locale is UTF-8 so
# that wine reads the arguments' bytes as UTF-8). Where a path is echoed,
# the Windows one stands for the Linux one.
mkdir -p "$work/Тест" "$work/Prüfung"
cp "$(dirname "$0")/../../data/chips/adf4351.json" "$work/Тест/日本.json"
cp "$(dirname "$0")/../../data/chips/adf4351.json" "$work/Prüfung/café.json"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
chip_l="$work/Тест/日本.json" chip_w=$(windows_path "$work/Тест/日本.json")
cafe_l="$work/Prüfung/café.json" cafe_w=$(windows_path "$work/Prüfung/café.json")
missing_l="$work/Prüfung/missing.json" missing_w=$(windows_path "$work/Prüfung/missing.json")
json_escaped() { printf '%s' "${1//\\/\\\\}"; }
printf '{"rf_out": "2400", "ref": "25", "min_fc": "1000", "max_fc": "25000", "chip": "%s"}\n' "$cafe_l" >"$work/l.jsonl"
printf '{"rf_out": "2400", "ref": "25", "min_fc": "1000", "max_fc": "25000", "chip": "%s"}\n' "$(json_escaped "$cafe_w")" >"$work/w.jsonl"
printf '{"sweep": "2400:2401:0.5", "ref": "25", "min_fc": "1000", "max_fc": "25000", "chip": "%s"}\n' "$chip_l" >"$work/l-design.json"
printf '{"sweep": "2400:2401:0.5", "ref": "25", "min_fc": "1000", "max_fc": "25000", "chip": "%s"}\n' "$(json_escaped "$chip_w")" >"$work/w-design.json"
same() {  # same NAME: the last runs' output, error and status agree
  if [ "$w" != "$l" ] || ! cmp -s "$work/w.out" "$work/l.out" || ! cmp -s "$work/w.err" "$work/l.err"; then
    echo "differs: $1 (exit $w against $l)"
    diff "$work/l.out" "$work/w.out" | head -5
    diff "$work/l.err" "$work/w.err" | head -5
    failed=1
  fi
}
unwindows() {  # the Windows runs' texts with the Linux paths
  local file pair
  for file in "$work/w.out" "$work/w.err"; do
    for pair in "$chip_w|$chip_l" "$cafe_w|$cafe_l" "$missing_w|$missing_l" \
                "$(json_escaped "$chip_w")|$chip_l" "$(json_escaped "$cafe_w")|$cafe_l"; do
      python3 -c 'import sys; p = sys.argv[1]; a, b = sys.argv[2].split("|"); t = open(p, encoding="utf-8", errors="surrogateescape").read(); open(p, "w", encoding="utf-8", errors="surrogateescape").write(t.replace(a, b))' "$file" "$pair"
    done
  done
}
chip_args=(--rf-out 2400 --ref 25 --min-fc 1000 --max-fc 25000)
LC_ALL=C.UTF-8 wine "$exe" "${chip_args[@]}" --chip "$chip_w" --json >"$work/w.out" 2>"$work/w.err"; w=$?
LC_ALL=C.UTF-8 "$linux" "${chip_args[@]}" --chip "$chip_l" --json >"$work/l.out" 2>"$work/l.err"; l=$?
unwindows; same "a chip file in Тест/日本.json"
LC_ALL=C.UTF-8 wine "$exe" "${chip_args[@]}" --chip "$missing_w" >"$work/w.out" 2>"$work/w.err"; w=$?
LC_ALL=C.UTF-8 "$linux" "${chip_args[@]}" --chip "$missing_l" >"$work/l.out" 2>"$work/l.err"; l=$?
unwindows; same "a missing file in Prüfung"
LC_ALL=C.UTF-8 wine "$exe" --batch <"$work/w.jsonl" >"$work/w.out" 2>"$work/w.err"; w=$?
LC_ALL=C.UTF-8 "$linux" --batch <"$work/l.jsonl" >"$work/l.out" 2>"$work/l.err"; l=$?
unwindows; same "a batch line naming Prüfung/café.json"
LC_ALL=C.UTF-8 wine "$exe" --plan "$(windows_path "$work/w-design.json")" >"$work/w.out" 2>"$work/w.err"; w=$?
LC_ALL=C.UTF-8 "$linux" --plan "$work/l-design.json" >"$work/l.out" 2>"$work/l.err"; l=$?
unwindows; same "a design naming Тест/日本.json"
# Windows-style options are words, as on Linux; "/?" points to --help.
for word in /help /version /rf-out:1000 "/?"; do
  wine "$exe" "$word" >"$work/w.out" 2>"$work/w.err"; w=$?
  "$linux" "$word" >"$work/l.out" 2>"$work/l.err"; l=$?
  same "$word"
done
# A pipe closed early (SIGPIPE ignored on Linux, which Windows has none
# of), and standard input closed.
(trap '' PIPE; wine "$exe" --sweep 10000:10100:0.01 --mult 4 2>"$work/w.err" | head -c 10 >"$work/w.out"; exit "${PIPESTATUS[0]}"); w=$?
(trap '' PIPE; "$linux" --sweep 10000:10100:0.01 --mult 4 2>"$work/l.err" | head -c 10 >"$work/l.out"; exit "${PIPESTATUS[0]}"); l=$?
same "a closed pipe"
wine "$exe" --batch <&- >"$work/w.out" 2>"$work/w.err"; w=$?
"$linux" --batch <&- >"$work/l.out" 2>"$work/l.err"; l=$?
same "standard input closed"

# The decimal symbol follows the user's regional settings (wine takes them
# from the locale) as it follows the locale on Linux.
if locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$'; then
  args=(--rf-out 1234.5678 --ref 13 --fom -220 --flicker -260)
  if ! cmp -s <(LC_ALL=de_DE.UTF-8 wine "$exe" "${args[@]}") <(LC_ALL=de_DE.UTF-8 "$linux" "${args[@]}"); then
    echo "differs under a German locale: ${args[*]}"
    failed=1
  fi
fi
[ "$failed" = 0 ] && echo "windows: ${#cases[@]} cases and 11 of paths, options and failures, the same bytes as on Linux"
exit "$failed"
