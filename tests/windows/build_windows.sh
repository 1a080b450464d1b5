#!/usr/bin/env bash
# Cross-builds kestrel-list.exe and kestrel-lsp.exe with the windows preset
# into BUILD-DIR, and checks that they need no DLL but the system's.
#   build_windows.sh SOURCE-DIR BUILD-DIR
# Skips (77) where the MinGW-w64 cross compiler is not installed.
set -euo pipefail
source_dir=$1 build_dir=$2
fail() { echo "FAIL: $*"; exit 1; }

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "SKIP: no MinGW-w64 cross compiler (g++-mingw-w64-x86-64-posix; scripts/install-deps.sh installs it)"
    exit 77
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake -S "$source_dir" -B "$build_dir" --preset windows &&
       cmake --build "$build_dir" -j2 --target kestrel-list kestrel-lsp; } >"$log" 2>&1; then
    cat "$log"
    fail "the Windows build failed"
fi

# Only DLLs that every Windows has: the kernel, the C runtime and the
# system's API sets.
for program in cli/kestrel-list.exe lsp/kestrel-lsp.exe; do
    [ -f "$build_dir/$program" ] || fail "no $program was built"
    dlls=$(x86_64-w64-mingw32-objdump -p "$build_dir/$program" | sed -n 's/^\s*DLL Name: //p')
    [ -n "$dlls" ] || fail "$program imports nothing: not a Windows program?"
    while read -r dll; do
        case ${dll,,} in
        kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | advapi32.dll | user32.dll | ws2_32.dll | ntdll.dll) ;;
        *) fail "$program needs $dll, which Windows does not ship" ;;
        esac
    done <<<"$dlls"
    echo "$program: $(stat -c %s "$build_dir/$program") bytes, imports $(echo $dlls)"
done
echo "windows build passed"
