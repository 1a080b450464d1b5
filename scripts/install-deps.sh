#!/usr/bin/env bash
# Installs the Debian packages that Kestrel needs to build, test, fuzz and
# benchmark, but only those that are missing.
set -euo pipefail

packages=(
    cmake g++ make clang libclang-rt-dev ccache
    qt6-base-dev qt6-base-dev-tools libgl-dev libqscintilla2-qt6-dev
    libbenchmark-dev libxxhash-dev rapidjson-dev
    universal-ctags binutils python3 fontconfig fonts-dejavu-core fonts-liberation2 strace
    neovim vim-nox emacs-nox elpa-eglot tmux
    xvfb xauth openbox x11-utils xdotool
    dpkg-dev file groff-base lintian debootstrap
    nodejs chromium libkrb5-dev ripgrep pkg-config libsecret-1-dev libx11-dev libxkbfile-dev
    g++-mingw-w64-x86-64-posix wine64
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
