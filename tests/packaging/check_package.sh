#!/usr/bin/env bash
# The Debian package of a build, made and checked without installing it on the system: its
# control fields and files, lintian, and VelmoraBatch run from the package extracted into a
# temporary root, finding its language files there.
# Usage: check_package.sh <build folder> <windowed program built: 0|1> <relay built: 0|1>
set -u
build=$(readlink -f -- "$1")
gui=${2:-0}
relay=${3:-0}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echecs=0
echec() {
    echo "FAIL: $*"
    echecs=$((echecs + 1))
}

# The package, made in a folder of its own so that a `make package` at the same time is left
# alone.
if ! (cd "$build" && cpack -G DEB -B "$tmp/cpack" >"$tmp/cpack.log" 2>&1); then
    cat "$tmp/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
paquets=("$tmp"/cpack/velmora_*.deb)
if [[ ${#paquets[@]} -ne 1 || ! -f ${paquets[0]} ]]; then
    echo "FAIL: no single velmora_*.deb in $tmp/cpack"
    exit 1
fi
deb=${paquets[0]}
echo "package: ${deb##*/} ($(stat -c %s "$deb") bytes)"

# Control fields. The version is the one the programs show: "v1.2" is 1.2, "v1.2 beta 3" is
# 1.2~beta3; the file name carries it and the architecture.
champ() { dpkg-deb -f "$deb" "$1"; }
version_programme=$("$build/batch/VelmoraBatch" --version | sed -n '1s/^VelmoraBatch v//p')
version_attendue=${version_programme/ beta /\~beta}
[[ -n $version_programme && $(champ Version) == "$version_attendue" ]] ||
    echec "Version '$(champ Version)' is not the programs' version '$version_programme'"
architecture=$(dpkg --print-architecture)
[[ $(champ Architecture) == "$architecture" ]] || echec "Architecture $(champ Architecture)"
[[ ${deb##*/} == "velmora_$(champ Version)_$architecture.deb" ]] || echec "file name ${deb##*/}"
[[ $(champ Package) == velmora ]] || echec "Package $(champ Package)"
contient() { # field, then the package names it must hold
    local nom=$1 valeur p
    valeur=", $(champ "$nom"), "
    shift
    for p in "$@"; do
        [[ $valeur == *", $p"[\ ,]* ]] || echec "$nom lacks $p: $(champ "$nom")"
    done
}
depends=(python3 libcurl4 libc6)
((gui)) && depends+=(libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins)
((relay)) && depends+=(libmicrohttpd12 libsodium23)
contient Depends "${depends[@]}"
contient Recommends samba-common-bin python3-impacket qt6-translations-l10n ieee-data
contient Suggests freerdp2-x11

# Files.
dpkg-deb --contents "$deb" | awk '{ sub(/^\.\//, "/", $6); print $6 }' >"$tmp/contenu"
attendus=(
    /usr/bin/VelmoraBatch /usr/bin/velmora-wmi /usr/share/velmora/English.lng
    /usr/share/man/man1/VelmoraBatch.1.gz
    /usr/share/bash-completion/completions/VelmoraBatch
    /usr/share/doc/velmora/copyright /usr/share/doc/velmora/changelog.gz
    /usr/share/doc/velmora/examples/velmora-wake-office.timer
    /usr/share/doc/velmora/examples/velmora-wake-office.service
    /usr/share/doc/velmora/examples/crontab
)
if ((gui)); then
    attendus+=(/usr/bin/Velmora /usr/share/man/man1/Velmora.1.gz
        /usr/share/applications/velmora.desktop
        /usr/share/metainfo/example.velmora.Velmora.metainfo.xml
        /usr/share/icons/hicolor/scalable/apps/velmora.svg)
    for taille in 16 22 24 32 48 64 128 256; do
        attendus+=("/usr/share/icons/hicolor/${taille}x$taille/apps/velmora.png")
    done
fi
if ((relay)); then
    attendus+=(/usr/sbin/velmora-relay /usr/share/man/man8/velmora-relay.8.gz
        /usr/lib/systemd/system/velmora-relay.service /etc/velmora/relay.conf)
fi
for f in "${attendus[@]}"; do
    grep -qxF -- "$f" "$tmp/contenu" || echec "missing $f"
done
# Every file under /etc is a configuration file that dpkg keeps.
while read -r f; do
    dpkg-deb --info "$deb" conffiles 2>/dev/null | grep -qxF -- "$f" || echec "$f not in conffiles"
done < <(grep '^/etc/.' "$tmp/contenu" | grep -v '/$')
echo "files: ${#attendus[@]} expected ones present"

# lintian: no error (warnings and notes are shown).
if command -v lintian >/dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" >"$tmp/lintian" 2>&1
    statut=$?
    grep -v 'running with root privileges' "$tmp/lintian"
    ((statut == 0)) || echec "lintian reports errors"
else
    echec "lintian is not installed (scripts/install-deps.sh --test)"
fi

# The package extracted into a temporary root: the console program runs from there.
racine=$tmp/racine
dpkg -x "$deb" "$racine"
mkdir -p "$tmp/maison"
sortie=$(HOME=$tmp/maison XDG_CONFIG_HOME= LANG=C.UTF-8 LC_ALL= LC_MESSAGES= \
    "$racine/usr/bin/VelmoraBatch" --help)
statut=$?
((statut == 0)) || echec "VelmoraBatch --help from the extracted package: exit status $statut"
[[ $sortie == "VelmoraBatch v"*Utilisation* ]] || echec "usage text: $sortie"
bash -n "$racine/usr/share/bash-completion/completions/VelmoraBatch" || echec "completion script"
# The relay's unit starts the program where the package puts it.
if ((relay)); then
    grep -q '^ExecStart=/usr/sbin/velmora-relay ' "$racine/usr/lib/systemd/system/velmora-relay.service" ||
        echec "velmora-relay.service: $(grep ExecStart "$racine/usr/lib/systemd/system/velmora-relay.service")"
fi

# Where an installed program lives (under /opt here, in a private mount namespace that only
# this check sees), it finds its language files in the package's share/velmora/: English
# texts with an English system language, and its default file in the home folder.
dans_opt() {
    local commande=("$@")
    unshare --mount --propagation private -- sh -c \
        'mount --bind "$0" /opt && exec "$@"' "$racine/usr" "${commande[@]}" 2>"$tmp/erreurs" ||
        unshare -r --mount --propagation private -- sh -c \
            'mount --bind "$0" /opt && exec "$@"' "$racine/usr" "${commande[@]}" 2>"$tmp/erreurs"
}
if dans_opt true 2>/dev/null; then
    sortie=$(dans_opt env HOME="$tmp/maison" XDG_CONFIG_HOME= LANG=en_GB.UTF-8 LC_ALL= \
        LC_MESSAGES= /opt/bin/VelmoraBatch --help)
    [[ $sortie == "VelmoraBatch v"*$'\nUsage\n'* ]] ||
        echec "the installed program did not find its English language file: $sortie"
    sortie=$(dans_opt env HOME="$tmp/maison" XDG_CONFIG_HOME= LANG=en_GB.UTF-8 LC_ALL= \
        LC_MESSAGES= /opt/bin/VelmoraBatch)
    statut=$?
    ((statut == 0)) || echec "VelmoraBatch without a Configuration file: exit status $statut"
    [[ $sortie == "The configuration file given was not found..." ]] ||
        echec "missing Configuration file, standard output: $sortie"
    grep -qF "$tmp/maison/.config/Quirlane/Velmora/Velmora.ini" "$tmp/erreurs" ||
        echec "missing Configuration file, standard error: $(cat "$tmp/erreurs")"
    echo "installed layout: English texts found in the package, default file named"
else
    echo "SKIP: no private mount namespace here, the installed layout is not checked"
fi

((echecs == 0)) || exit 1
echo "package checks pass"
