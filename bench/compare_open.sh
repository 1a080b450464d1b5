#!/usr/bin/env bash
# Times opening a large unit in two builds of the workbench side by side:
# bench_open of a build of an earlier commit against this one's, for each
# size in MB, one after the other in one run.
#   compare_open.sh OLD-BENCH-OPEN NEW-BENCH-OPEN [MB...]
set -euo pipefail
old=$1
new=$2
shift 2
sizes=("${@:-4 20 100}")
printf '%-6s %-4s %10s %10s\n' MB build seconds peak_MB
for mb in ${sizes[@]}; do
    for build in old new; do
        program=$old
        [ "$build" = new ] && program=$new
        line=$("$program" "$mb" --benchmark_format=csv 2>/dev/null | grep BM_OpenLargeUnit)
        # name,iterations,real_time,cpu_time,time_unit,...,file_MB,peak_MB
        seconds=$(echo "$line" | cut -d, -f3)
        peak=$(echo "$line" | awk -F, '{print $NF}')
        printf '%-6s %-4s %10.3f %10.0f\n' "$mb" "$build" "$seconds" "$peak"
    done
done
