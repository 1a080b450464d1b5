#!/usr/bin/env bash
# A save must reach the disk whole: the temporary file is synced, renamed
# over the old one, and then the folder is synced, so a power cut right
# after a save cannot lose it. Traces the careful-save test's long-name row
# with strace and checks that order. Exit 77 (skipped) where strace cannot
# trace.
set -euo pipefail
test_binary=$1
if ! strace -o /dev/null true 2>/dev/null; then
    echo "strace cannot trace processes here: skipped"
    exit 77
fi
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
# LeakSanitizer cannot run under ptrace.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen strace -f -qq -e trace=openat,fsync,rename -o "$trace" \
    "$test_binary" longNamesSave >/dev/null
awk '
    /openat\(.*\.kestrel-.*O_CREAT/ { temp = $NF }
    temp != "" && $0 ~ "fsync\\(" temp "\\) += 0" { synced = 1 }
    synced && /rename\(".*\.kestrel-[^"]*", ".*\.pas"\) += 0/ { renamed = 1; next }
    renamed && /O_DIRECTORY/ && /= [0-9]+$/ { folder = $NF }
    renamed && folder != "" && $0 ~ "fsync\\(" folder "\\) += 0" { done = 1 }
    END {
        if (!done) { print "no sync of the file, rename and sync of the folder, in that order"; exit 1 }
        print "the save syncs the file, renames it and syncs the folder"
    }' "$trace"
