#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Only missing packages are installed, so a prepared machine pays nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libssl-dev openssl libcpp-httplib-dev
    libpcsclite1 libpcsclite-dev pcscd vsmartcard-vpcd util-linux procps
    clang-format clang-tidy
    clang-14 libclang-rt-14-dev
    chromium fonts-noto-cjk
    qt6-base-dev libxcb1-dev xvfb
    qt6-wayland mutter dbus-daemon dbus-bin at-spi2-core python3-gi
    firefox-esr
    qt6-base-dev
)
# Node.js may come from elsewhere on a prepared machine; Debian's serves otherwise.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}" >&2
    if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; else SUDO=; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# The browser tests drive Chromium with playwright-core and Firefox ESR with
# puppeteer-core (both pinned by the lock file).
if [[ ! -d extension/test/node_modules/playwright-core ]] ||
    [[ ! -d extension/test/node_modules/puppeteer-core ]] ||
    [[ extension/test/package-lock.json -nt extension/test/node_modules/.package-lock.json ]]; then
    (cd extension/test && npm ci --no-audit --no-fund --loglevel=error >&2)
fi
