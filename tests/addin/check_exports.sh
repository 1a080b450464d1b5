#!/bin/sh
# Checks that a library exports exactly one dynamic symbol: its entry point.
library=$1
expected=$2
exports=$(nm -D --defined-only "$library" | awk '{ print $3 }' | grep -v '^$')
if [ "$exports" != "$expected" ]; then
    echo "FAIL: $library exports:"
    echo "$exports"
    exit 1
fi
echo "PASS: $library exports only $expected"
