# Sourced by the tests that run the Windows programs under Wine. Finds Wine
# (skipping, 77, where it or the Windows build is missing) and gives the
# test a Wine prefix and a home of its own in a temporary folder, never the
# user's; on exit the prefix's wineserver is stopped and the folder removed.
#   wine_env.sh  (sourced, with $exe_dir set to the Windows build's folder)
wine=$(command -v wine || command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
if [ -z "$wine" ]; then
    echo "SKIP: Wine is not installed (wine64; scripts/install-deps.sh installs it)"
    exit 77
fi
if [ ! -f "$exe_dir/cli/kestrel-list.exe" ] || [ ! -f "$exe_dir/lsp/kestrel-lsp.exe" ]; then
    echo "SKIP: no Windows build in $exe_dir (the windows_cross_build test makes it)"
    exit 77
fi
wine_home=$(mktemp -d)
export HOME=$wine_home WINEPREFIX=$wine_home/prefix WINEDEBUG=-all
# No Mono or Gecko to install, no menu entries to make.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
stop_wine() {
    timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
    timeout 30 "$wineserver" -w >/dev/null 2>&1 || true
    rm -rf "$wine_home"
}
trap stop_wine EXIT
# Runs a Windows program under Wine, with a limit.
run_wine() {
    timeout 120 "$wine" "$@"
}
# Makes the prefix: Wine's own start-up, done once here so that no check
# counts it.
run_wine "$exe_dir/cli/kestrel-list.exe" --version >/dev/null 2>&1 || true
