#!/usr/bin/env bash
# kestrel-list.exe under Wine: the golden files byte for byte, as on Linux;
# the same output as the Linux build for a tree with names outside any code
# page and a path over 260 characters; the Linux exit codes and messages;
# and the names Windows reads as something else (devices, alternate data
# streams, a drive that is not there, a file another program locked).
#   check_lister.sh WINDOWS-BUILD-DIR LINUX-KESTREL-LIST GOLDEN-DIR SAMPLE-UNIT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe_dir=$1 linux_list=$2 golden=$3 sample=$4
fail() { echo "FAIL: $*"; exit 1; }
source "$here/wine_env.sh"
list=$exe_dir/cli/kestrel-list.exe
work=$wine_home/work
mkdir -p "$work"


version=$(run_wine "$list" --version) || fail "--version failed"
[[ $version == "kestrel-list "[0-9]* ]] || fail "--version said: $version"

# The golden files, byte for byte (a '\r' before each '\n' would show here).
cd "$golden"
cp "$sample" "$work/Unit1.pas"
check_golden() {
    local expected=$1
    shift
    run_wine "$list" "$@" >"$work/out" 2>"$work/err" || fail "kestrel-list $* failed: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "kestrel-list $* said: $(cat "$work/err")"
    cmp "$work/out" "$golden/$expected" || fail "kestrel-list $* differs from $expected"
}
(cd "$work" && check_golden Unit1.table Unit1.pas && check_golden Unit1.jsonl --json Unit1.pas)
for unit in Geometry.pas Plugin.dpr Legacy.pas; do
    check_golden "${unit%.*}.table" "$unit"
    check_golden "${unit%.*}.jsonl" --json "$unit"
done
check_golden several.table Geometry.pas Plugin.dpr Legacy.pas
check_golden several-PB.jsonl --json --show=PB Geometry.pas Legacy.pas
echo "golden files: the same bytes"

# Names outside the code page, and a path longer than 260 characters: the
# Windows build lists the tree as the Linux build does.
cd "$work"
mkdir -p tree
cp "$sample" "tree/Ünïcödé_日本語_😀.pas"
long=tree
while [ ${#long} -lt 300 ]; do long=$long/a-folder-name-of-forty-characters-long__; done
mkdir -p "$long"
cp "$sample" "$long/Deep.pas"
[ ${#PWD} -gt 0 ] && [ $((${#PWD} + ${#long})) -gt 260 ] || fail "the long path is not long"
"$linux_list" -R --json tree >"$work/linux.jsonl"
run_wine "$list" -R --json tree >"$work/windows.jsonl" 2>"$work/err" || fail "kestrel-list -R failed under Wine: $(cat "$work/err")"
cmp "$work/linux.jsonl" "$work/windows.jsonl" || fail "the tree lists differently: $(diff "$work/linux.jsonl" "$work/windows.jsonl" | head -5)"
grep -q 'Ünïcödé_日本語_😀.pas' "$work/windows.jsonl" || fail "the UTF-8 name is not in the output"
grep -q 'Deep.pas' "$work/windows.jsonl" || fail "the file below 260 characters is not listed"
run_wine "$list" "$long/Deep.pas" >/dev/null 2>"$work/err" || fail "a path of ${#long} characters: $(cat "$work/err")"
echo "names outside the code page and a path of $((${#PWD} + ${#long})) characters: listed"

# Exit codes and messages as on Linux. Each case: the arguments, the exit
# code, and a text the message holds.
expect() {
    local want=$1 text=$2
    shift 2
    local code=0
    run_wine "$list" "$@" >/dev/null 2>"$work/err" || code=$?
    [ "$code" -eq "$want" ] || fail "kestrel-list $* exited with $code, not $want: $(cat "$work/err")"
    grep -qF -- "$text" "$work/err" || fail "kestrel-list $* said: $(cat "$work/err") (wanted: $text)"
}
expect 1 "nosuch.pas: No such file or directory" nosuch.pas
expect 1 "Is a directory (use -R" tree
expect 2 "kestrel-list: " --no-such-option
expect 1 "reserved device name" NUL.pas
expect 1 "reserved device name" CON
expect 1 "reserved device name" "tree\\com1.pas"
expect 1 "alternate data stream" Unit1.pas:zone
expect 1 "no such drive" 'Q:\Units\Unit1.pas'
# A good file beside a bad one is still listed, and the run still fails.
expect 1 "NUL.pas" Unit1.pas NUL.pas

# A file another program holds without sharing it.
x86_64-w64-mingw32-gcc-posix -O1 -municode -o "$work/hold_file.exe" "$here/hold_file.c" ||
    fail "cannot build the holding program"
cp "$sample" Locked.pas
run_wine "$work/hold_file.exe" Locked.pas 60 >"$work/held" 2>&1 &
holder=$!
for _ in $(seq 300); do
    grep -q held "$work/held" && break
    kill -0 "$holder" 2>/dev/null || fail "the holding program ended: $(cat "$work/held")"
    sleep 0.1
done
grep -q held "$work/held" || fail "the holding program did not take the file in 30 seconds"
expect 1 "sharing violation" Locked.pas
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
echo "wine lister test passed"
