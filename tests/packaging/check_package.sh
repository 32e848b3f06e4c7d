#!/usr/bin/env bash
# The Debian package of a build, made and checked without installing it on the system: its
# control fields and files, lintian, the hardening of its programs and their debug package, its
# maintainer scripts, and the programs run from the package extracted into a temporary root:
# finding their language files there, and, as a normal user in a network namespace where the
# system gives no ICMP socket to unprivileged users (as on a minimal Debian), pinging, waking
# and starting the windowed program.
# Usage: check_package.sh <build folder> <windowed program built: 0|1> <relay built: 0|1>
#                         <built with Debian's hardening flags: 0|1>
# A build without those flags (the sanitizer build) makes no package that ships: its hardening
# is not checked.
set -u
build=$(readlink -f -- "$1")
gui=${2:-0}
relay=${3:-0}
durci=${4:-1}

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
debug=("$tmp"/cpack/velmora-dbgsym_*.ddeb)

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
# The ping tool: a normal user's ping where no ICMP socket is given to unprivileged users.
depends=(python3 libcurl4 libc6 iputils-ping)
((gui)) && depends+=(libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins)
((relay)) && depends+=(libmicrohttpd12 libsodium23)
contient Depends "${depends[@]}"
contient Recommends samba-common-bin python3-impacket qt6-translations-l10n ieee-data
contient Suggests freerdp2-x11
# No placeholder address that leads nowhere.
[[ -z $(champ Homepage) ]] || echec "Homepage $(champ Homepage) does not exist"

# Files.
dpkg-deb --contents "$deb" | awk '{ sub(/^\.\//, "/", $6); print $6 }' >"$tmp/contenu"
attendus=(
    /usr/bin/VelmoraBatch /usr/libexec/velmora/velmora-wmi /usr/share/velmora/English.lng
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
# The WMI helper is not a user command.
! grep -qx '/usr/bin/velmora-wmi' "$tmp/contenu" || echec "velmora-wmi is on PATH (/usr/bin)"
# The licence, in the machine-readable form Debian reads.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/velmora/copyright >"$tmp/copyright"
grep -qx 'License: GPL-3+' "$tmp/copyright" && ! grep -qi 'proprietary' "$tmp/copyright" ||
    echec "copyright does not give the GPL-3+ licence"
if ((gui)); then
    dpkg-deb --fsys-tarfile "$deb" |
        tar -xO ./usr/share/metainfo/example.velmora.Velmora.metainfo.xml >"$tmp/metainfo"
    grep -q '<project_license>GPL-3.0-or-later</project_license>' "$tmp/metainfo" ||
        echec "AppStream project_license: $(grep project_license "$tmp/metainfo")"
fi

# lintian, pedantic: no error, no warning, and none of its hardening tags (information tags
# and pedantic ones are shown).
if command -v lintian >/dev/null; then
    lintian -I --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" >"$tmp/lintian" 2>&1
    statut=$?
    grep -v 'running with root privileges' "$tmp/lintian"
    ((statut == 0)) || echec "lintian reports errors or warnings"
    ((durci == 0)) || ! grep -q 'hardening' "$tmp/lintian" ||
        echec "lintian reports missing hardening"
else
    echec "lintian is not installed (scripts/install-deps.sh --test)"
fi

# The package extracted into a temporary root: the console program runs from there.
racine=$tmp/racine
dpkg -x "$deb" "$racine"

# The programs: ELF files built with Debian's hardening flags, stripped, each with a debug link
# to its symbols in the debug package.
programmes=()
while read -r f; do
    [[ -f $racine$f && $(head -c 4 "$racine$f" | od -An -c | tr -d ' ') == 177ELF ]] &&
        programmes+=("$f")
done < <(grep -E '^/usr/(s?bin|libexec)/.' "$tmp/contenu")
echo "programs: ${programmes[*]}"
((${#programmes[@]} >= 1 + gui + relay)) || echec "programs found: ${programmes[*]}"
# Control-flow protection is built in (-fcf-protection), but Debian 12's own start files (crti.o)
# carry no IBT/SHSTK note, so no program linked there gets it and hardening-check would report it
# missing for every program of the release: that one line is not checked.
if ((durci == 0)); then
    echo "hardening not checked: this build does not use Debian's flags"
elif command -v hardening-check >/dev/null; then
    for f in "${programmes[@]}"; do
        hardening-check --nocfprotection "$racine$f" >"$tmp/durci" 2>&1 || {
            cat "$tmp/durci"
            echec "hardening-check $f"
        }
    done
else
    echec "hardening-check is not installed (devscripts, scripts/install-deps.sh --test)"
fi
if [[ ${#debug[@]} -eq 1 && -f ${debug[0]} ]]; then
    dpkg -x "${debug[0]}" "$tmp/debug"
    [[ $(dpkg-deb -f "${debug[0]}" Package) == velmora-dbgsym ]] ||
        echec "debug package name $(dpkg-deb -f "${debug[0]}" Package)"
    for f in "${programmes[@]}"; do
        id=$(LC_ALL=C readelf -n "$racine$f" 2>/dev/null | sed -n 's/^ *Build ID: //p')
        symboles=$tmp/debug/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
        [[ -n $id && -f $symboles ]] || echec "$f: no debug symbols for build id '$id'"
        LC_ALL=C readelf -S "$racine$f" | grep -q '\.gnu_debuglink' || echec "$f: no debug link"
        ! LC_ALL=C readelf -S "$racine$f" | grep -q '\.debug_info' || echec "$f is not stripped"
        [[ -f $symboles ]] && ! LC_ALL=C readelf -S "$symboles" 2>/dev/null | grep -q '\.debug_info' &&
            echec "$f: the debug file holds no debug data"
    done
else
    echec "no single velmora-dbgsym_*.ddeb beside the package"
fi

# The maintainer scripts of the relay's unit. On purge, the link that `systemctl enable` made is
# removed: run in a private mount namespace over empty systemd folders, so the system is left
# alone.
if ((relay)); then
    mkdir -p "$tmp/controle"
    dpkg-deb -e "$deb" "$tmp/controle"
    for script in postinst prerm postrm; do
        [[ -x $tmp/controle/$script ]] || echec "no maintainer script $script"
    done
    if [[ -x $tmp/controle/postrm ]] &&
        unshare --mount --propagation private true 2>/dev/null; then
        lien=/etc/systemd/system/multi-user.target.wants/velmora-relay.service
        reste=$(unshare --mount --propagation private -- sh -c '
            for d in /etc/systemd/system /var/lib/systemd /run/systemd; do
                mkdir -p "$d" 2>/dev/null
                mount -t tmpfs tmpfs "$d" || exit 1
            done
            mkdir -p "$(dirname "$1")"
            ln -s /usr/lib/systemd/system/velmora-relay.service "$1"
            "$2" remove >/dev/null 2>&1
            [ -L "$1" ] || echo "removed on remove"
            "$2" purge >/dev/null 2>&1 || echo "postrm purge failed"
            [ -L "$1" ] && echo "left after purge"
            exit 0' sh "$lien" "$tmp/controle/postrm")
        [[ -z $reste ]] || echec "postrm and the enable link: $reste"
    fi
fi
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
# The namespace is chosen once: a command that ends with a non-zero status is not run twice.
if unshare --mount --propagation private true 2>/dev/null; then
    espace=(unshare --mount --propagation private)
else
    espace=(unshare -r --mount --propagation private)
fi
dans_opt() {
    "${espace[@]}" -- sh -c 'mount --bind "$0" /opt && exec "$@"' "$racine/usr" "$@" \
        2>"$tmp/erreurs"
}
if dans_opt true 2>/dev/null; then
    sortie=$(dans_opt env HOME="$tmp/maison" XDG_CONFIG_HOME= LANG=en_GB.UTF-8 LC_ALL= \
        LC_MESSAGES= /opt/bin/VelmoraBatch --help)
    [[ $sortie == "VelmoraBatch v"*$'\nUsage\n'* ]] ||
        echec "the installed program did not find its English language file: $sortie"
    sortie=$(dans_opt env HOME="$tmp/maison" XDG_CONFIG_HOME= LANG=en_GB.UTF-8 LC_ALL= \
        LC_MESSAGES= /opt/bin/VelmoraBatch)
    statut=$?
    # Nothing was done: a script must be able to tell.
    ((statut == 2)) || echec "VelmoraBatch without a Configuration file: exit status $statut"
    [[ $sortie == "The configuration file given was not found..." ]] ||
        echec "missing Configuration file, standard output: $sortie"
    grep -qF "$tmp/maison/.config/Quirlane/Velmora/Velmora.ini" "$tmp/erreurs" ||
        echec "missing Configuration file, standard error: $(cat "$tmp/erreurs")"
    echo "installed layout: English texts found in the package, default file named"
else
    echo "SKIP: no private mount namespace here, the installed layout is not checked"
fi

# As a normal user (nobody), in a network namespace "A" whose ping_group_range is "1 0" (no ICMP
# socket for unprivileged users, the kernel's default): a live host 198.18.0.2 in namespace
# "B", a silent one 198.18.0.77. The programs are the extracted ones.
a=vpkA$$ b=vpkB$$
utilisateur_reseau() {
    local maison=$tmp/utilisateur
    if ((EUID != 0)) || ! command -v ip >/dev/null || ! command -v setpriv >/dev/null; then
        echo "SKIP: a normal user's run needs root, iproute2 and setpriv"
        [[ -z ${CI:-} || ${CI:-} == false || ${CI:-} == 0 ]] || echec "normal user's run skipped"
        return
    fi
    nettoyer_reseau() {
        ip netns del "$a" 2>/dev/null
        ip netns del "$b" 2>/dev/null
    }
    trap 'nettoyer_reseau; rm -rf "$tmp"' EXIT
    if ! {
        ip netns add "$a" && ip netns add "$b" &&
            ip -n "$a" link set lo up && ip -n "$b" link set lo up &&
            ip -n "$a" link add va type veth peer name vb netns "$b" &&
            ip -n "$a" addr add 198.18.0.1/24 brd + dev va && ip -n "$a" link set va up &&
            ip -n "$b" addr add 198.18.0.2/24 brd + dev vb && ip -n "$b" link set vb up &&
            ip netns exec "$a" sysctl -qw net.ipv4.ping_group_range="1 0"
    } >"$tmp/ns.log" 2>&1; then
        cat "$tmp/ns.log"
        echec "network namespaces could not be set up"
        nettoyer_reseau
        return
    fi
    [[ $(ip netns exec "$a" cat /proc/sys/net/ipv4/ping_group_range) == 1*0 ]] ||
        echec "ping_group_range of the namespace"
    chmod 755 "$tmp"
    mkdir -p "$maison/run"
    printf '%s\n' '[Config]' 'Langue=Français' 'TempoPing=300' 'DélaiEntreDeuxRéveilsWOL=0' \
        'AstucesAfficherAuDémarrage=0' 'ActualiserEtatMachines=1' \
        '[salle]' 'NbMachines=2' \
        'Machine1=serveur|198.18.0.2|255.255.255.0||02-00-00-00-0B-02|||' \
        'Machine2=muet|198.18.0.77|255.255.255.0||02-00-00-00-0B-77|||' >"$maison/maison.ini"
    chown -R nobody:nogroup "$maison"
    chmod 700 "$maison/run"
    comme_utilisateur() {
        ip netns exec "$a" setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
            env -i HOME="$maison" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$maison/run" \
            sh -c 'cd "$HOME" && exec "$@"' sh "$@"
    }
    local sortie statut
    # Ping: a remote action first pings its machine. The silent one does not answer (code 3);
    # the live one does, and the WMI helper is then found in the package and run (it fails to
    # reach a WMI service there, which is not code 3).
    sortie=$(comme_utilisateur "$racine/usr/bin/VelmoraBatch" ./maison.ini '/s:salle!muet' 2>&1)
    statut=$?
    ((statut == 3)) && [[ $sortie == *"ne répond pas"* ]] ||
        echec "ping of a silent host as a normal user: code $statut: $sortie"
    sortie=$(comme_utilisateur "$racine/usr/bin/VelmoraBatch" ./maison.ini '/s:salle!serveur' 2>&1)
    statut=$?
    ((statut != 3)) && [[ $sortie != *"ne répond pas"* ]] ||
        echec "ping of a live host as a normal user: code $statut: $sortie"
    [[ $sortie != *"velmora-wmi est introuvable"* ]] || echec "the WMI helper was not found: $sortie"
    # A wake that waits for the machine to answer the ping.
    sortie=$(comme_utilisateur "$racine/usr/bin/VelmoraBatch" ./maison.ini '/w:salle!serveur' \
        /attendre:5 2>&1)
    statut=$?
    ((statut == 0)) && [[ $sortie == *"serveur : prête après"* ]] ||
        echec "wake with /attendre as a normal user: code $statut: $sortie"
    # The windowed program starts on the file (offscreen) and its list pings the folder's live
    # machine every second: B counts the echo requests it receives.
    if ((gui)); then
        local avant apres pid attente
        echos() { ip netns exec "$b" awk '/^Icmp:/ { if (n++) print $10 }' /proc/net/snmp; }
        avant=$(echos)
        comme_utilisateur env QT_QPA_PLATFORM=offscreen "$racine/usr/bin/Velmora" ./maison.ini \
            >"$tmp/velmora.log" 2>&1 &
        pid=$!
        apres=$avant
        for ((attente = 0; attente < 100 && apres == avant; attente++)); do
            sleep 0.1
            apres=$(echos)
        done
        kill -TERM "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        ((apres > avant)) ||
            echec "the windowed program did not start as a normal user: $(cat "$tmp/velmora.log")"
    fi
    nettoyer_reseau
    echo "normal user without ICMP sockets: ping, wake with /attendre$( ((gui)) && echo ", windowed start") checked"
}
utilisateur_reseau

((echecs == 0)) || exit 1
echo "package checks pass"
