#!/usr/bin/env bash
# Installs the Debian packages the project needs to build and test, when some are missing.
# Quick and silent when everything is already there.
set -euo pipefail

pkgs=(
    build-essential cmake pkg-config clang
    file  # the package build reads the type of every file it installs (make package)
    qt6-base-dev libgl1-mesa-dev qt6-translations-l10n
    libcurl4-openssl-dev libmicrohttpd-dev libsodium-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    samba-common-bin python3-impacket
    iproute2 iputils-ping
    scdoc
    ieee-data  # OUI list: the makers of network cards shown by the network discovery
)
if [ "${1:-}" = "--test" ]; then
    # Real peers started by the tests; the checks of the Debian package (hardening-check comes
    # with devscripts) and of the completion; nginx in front of the relay (tests and benchmark)
    # and wrk, the benchmark's load generator; the fuzzing runtime of clang (only recommended
    # by it).
    pkgs+=(samba tinyproxy xvfb xauth nftables util-linux lintian devscripts bash-completion
        nginx wrk libclang-rt-14-dev)
    # The start of the windowed program as users meet it: a window manager, a tray, key
    # presses and screenshots under the virtual display.
    pkgs+=(openbox trayer xdotool imagemagick x11-utils)
    # A real browser for the relay's web page (driven through Debian's own Python).
    pkgs+=(chromium chromium-driver python3-selenium)
fi

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run as root, or install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
stamp=/var/lib/apt/periodic/update-success-stamp
if [ ! -d /var/lib/apt/lists ] || [ -z "$(ls -A /var/lib/apt/lists 2>/dev/null | grep -v -e lock -e partial)" ] \
    || ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# The peers are started by the tests themselves, never at boot.
for svc in smbd nmbd samba-ad-dc tinyproxy nftables nginx; do
    if command -v systemctl >/dev/null 2>&1; then systemctl disable --now "$svc" >/dev/null 2>&1 || true; fi
done
exit 0
