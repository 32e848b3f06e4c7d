#!/usr/bin/env bash
# Two `make package` runs of one commit must give byte-identical packages: each run builds a
# fresh clone of the commit from nothing (the second clone replaces the first, in the same
# folder, so that a compiler cache set in the environment can serve the second build), some
# time apart (so that no clock can leak into the files), then the .deb files and the debug
# packages are compared byte for byte. On a difference, diffoscope (when installed) or the
# lists of members say where.
#
# Two whole builds: not part of `make test`.
# Usage: scripts/check-reproducible.sh [commit]   (default HEAD; as root, or with the build
# dependencies installed)
set -euo pipefail

depot=$(git -C "$(dirname -- "$0")" rev-parse --show-toplevel)
commit=$(git -C "$depot" rev-parse "${1:-HEAD}")
tmp=$(mktemp -d /var/tmp/velmora-repro.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
debut=$SECONDS

for essai in un deux; do
    echo "== build $essai of $commit in $tmp/velmora ($((SECONDS - debut)) s)"
    rm -rf "$tmp/velmora"
    git clone -q --no-local "$depot" "$tmp/velmora"
    git -C "$tmp/velmora" checkout -q "$commit"
    if ! make -C "$tmp/velmora" package >"$tmp/$essai.log" 2>&1; then
        tail -30 "$tmp/$essai.log"
        echo "FAIL: make package ($essai)"
        exit 1
    fi
    mkdir -p "$tmp/$essai"
    cp "$tmp"/velmora/velmora_*.deb "$tmp"/velmora/velmora-dbgsym_*.deb "$tmp/$essai/"
    sleep 2
done

echecs=0
for f in "$tmp"/un/velmora_*.deb "$tmp"/un/velmora-dbgsym_*.deb; do
    [[ -f $f ]] || continue
    nom=${f##*/}
    if cmp -s "$f" "$tmp/deux/$nom"; then
        echo "identical: $nom ($(stat -c %s "$f") bytes, sha256 $(sha256sum <"$f" | cut -c1-16)...)"
    else
        echo "FAIL: $nom differs between the two builds"
        echecs=$((echecs + 1))
        if command -v diffoscope >/dev/null; then
            diffoscope "$f" "$tmp/deux/$nom" | head -80 || true
        else
            diff <(dpkg-deb -c "$f") <(dpkg-deb -c "$tmp/deux/$nom") | head -40 || true
        fi
    fi
done
[[ -n $(ls "$tmp"/un/velmora_*.deb 2>/dev/null) ]] || {
    echo "FAIL: no package made"
    exit 1
}
((echecs == 0)) || exit 1
echo "reproducible: both builds of $commit gave the same bytes ($((SECONDS - debut)) s)"
