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
printf '%-6s %-4s %10s %10s %10s\n' MB build seconds cpu_s peak_MB
for mb in ${sizes[@]}; do
    for build in old new; do
        program=$old
        [ "$build" = new ] && program=$new
        csv=$("$program" "$mb" --benchmark_filter=BM_OpenLargeUnit --benchmark_format=csv \
            2>/dev/null | sed -n '/^name,/,$p')
        # The columns by their names: real_time (seconds), cpu_time, "peak_MB".
        seconds=$(echo "$csv" | awk -F, 'NR==1{for(i=1;i<=NF;i++)if($i=="real_time")c=i} NR==2{print $c}')
        cpu=$(echo "$csv" | awk -F, 'NR==1{for(i=1;i<=NF;i++)if($i=="cpu_time")c=i} NR==2{print $c}')
        peak=$(echo "$csv" | awk -F, 'NR==1{for(i=1;i<=NF;i++)if($i=="\"peak_MB\"")c=i} NR==2{print $c}')
        printf '%-6s %-4s %10.3f %10.3f %10.0f\n' "$mb" "$build" "$seconds" "$cpu" "$peak"
    done
done
