#!/usr/bin/env bash
# The README's way to the package, tried on a fresh minimal Debian 12: a system made by
# debootstrap (variant minbase) in a chroot, where the README's commands run as written
# (`apt-get install -y git make`, then in a clone `make package` and `apt install
# ./velmora_*.deb`); then the installed programs are used as a normal user, in a network
# namespace whose net.ipv4.ping_group_range is "1 0" (no ICMP socket for unprivileged users, as
# on most minimal systems): a ping of a live and of a silent host, a wake that waits for the
# machine, the windowed program's start (offscreen). Last, the relay is enabled and the package
# purged: no enable link may be left behind.
#
# It downloads a whole system and builds everything in it (about half an hour on two cores),
# so it is not part of `make test`; run it before a change to the packaging or to the
# dependencies is merged.
#
# Usage, as root, in the repository: scripts/check-fresh-debian.sh [commit]
#   commit   what to clone (default HEAD: commit your changes first)
#   VELMORA_MIRROR=...   Debian mirror (default http://deb.debian.org/debian)
#   VELMORA_KEEP=1       keep the chroot afterwards (its folder is printed)
set -euo pipefail

depot=$(git -C "$(dirname -- "$0")" rev-parse --show-toplevel)
commit=$(git -C "$depot" rev-parse "${1:-HEAD}")
miroir=${VELMORA_MIRROR:-http://deb.debian.org/debian}
if ((EUID != 0)); then
    echo "Run as root: debootstrap, chroot and network namespaces need it." >&2
    exit 1
fi
for outil in debootstrap ip; do
    if ! command -v "$outil" >/dev/null; then
        echo "Installing $outil"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            "$([[ $outil == ip ]] && echo iproute2 || echo "$outil")" >/dev/null
    fi
done

racine=$(mktemp -d /var/tmp/velmora-debian.XXXXXX)
chmod 755 "$racine" # the root folder of the system: every user walks through it
a=vfdA$$ b=vfdB$$
debut=$SECONDS
montages=()
nettoyer() {
    local i
    ip netns del "$a" 2>/dev/null || true
    ip netns del "$b" 2>/dev/null || true
    for ((i = ${#montages[@]} - 1; i >= 0; i--)); do
        umount -l "${montages[i]}" 2>/dev/null || true
    done
    if [[ ${VELMORA_KEEP:-0} == 1 ]]; then
        echo "chroot kept in $racine"
    else
        rm -rf --one-file-system "$racine"
    fi
}
trap nettoyer EXIT
etape() { printf '\n== %s (%d s)\n' "$*" $((SECONDS - debut)); }
echecs=0
echec() {
    echo "FAIL: $*"
    echecs=$((echecs + 1))
}
dans() { chroot "$racine" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

etape "debootstrap --variant=minbase bookworm in $racine"
debootstrap --variant=minbase bookworm "$racine" "$miroir" >"$racine.debootstrap.log" 2>&1 || {
    tail -20 "$racine.debootstrap.log"
    exit 1
}
rm -f "$racine.debootstrap.log"
for m in proc sys dev dev/pts; do
    case $m in
        proc) mount -t proc proc "$racine/proc" ;;
        sys) mount -t sysfs sysfs "$racine/sys" ;;
        dev) mount --bind /dev "$racine/dev" ;;
        dev/pts) mount -t devpts -o newinstance devpts "$racine/dev/pts" ;;
    esac
    montages+=("$racine/$m")
done
cp /etc/resolv.conf "$racine/etc/resolv.conf"

etape "README: apt-get install -y git make"
dans apt-get install -y -q git make >/dev/null

etape "clone of $commit"
git clone -q --no-local "$depot" "$racine/root/velmora"
git -C "$racine/root/velmora" checkout -q "$commit"

etape "README: make package"
if ! dans sh -c 'cd /root/velmora && make package' >"$racine/root/package.log" 2>&1; then
    tail -30 "$racine/root/package.log"
    echo "FAIL: make package"
    exit 1
fi
tail -3 "$racine/root/package.log"

etape "README: apt install ./velmora_*.deb"
dans sh -c 'cd /root/velmora && apt install -y -q ./velmora_*.deb' >"$racine/root/install.log" 2>&1 || {
    tail -30 "$racine/root/install.log"
    echo "FAIL: apt install"
    exit 1
}
dans dpkg -s iputils-ping >/dev/null 2>&1 || echec "iputils-ping did not come with the package"

etape "the installed programs as a normal user"
dans useradd -m marie
ip netns add "$a"
ip netns add "$b"
ip -n "$a" link set lo up
ip -n "$b" link set lo up
ip -n "$a" link add va type veth peer name vb netns "$b"
ip -n "$a" addr add 198.18.0.1/24 brd + dev va
ip -n "$a" link set va up
ip -n "$b" addr add 198.18.0.2/24 brd + dev vb
ip -n "$b" link set vb up
ip netns exec "$a" sysctl -qw net.ipv4.ping_group_range="1 0"
printf '%s\n' '[Config]' 'Langue=Français' 'TempoPing=300' 'DélaiEntreDeuxRéveilsWOL=0' \
    'AstucesAfficherAuDémarrage=0' 'ActualiserEtatMachines=1' \
    '[salle]' 'NbMachines=2' \
    'Machine1=serveur|198.18.0.2|255.255.255.0||02-00-00-00-0B-02|||' \
    'Machine2=muet|198.18.0.77|255.255.255.0||02-00-00-00-0B-77|||' >"$racine/home/marie/maison.ini"
dans chown marie:marie /home/marie/maison.ini
marie() {
    ip netns exec "$a" chroot --userspec=marie:marie "$racine" /usr/bin/env -i HOME=/home/marie \
        PATH=/usr/bin:/bin LANG=C.UTF-8 sh -c 'cd && exec "$@"' sh "$@"
}
set +e
sortie=$(marie VelmoraBatch --version 2>&1)
echo "$sortie"
[[ $sortie == "VelmoraBatch v"* ]] || echec "VelmoraBatch --version: $sortie"
sortie=$(marie VelmoraBatch ./maison.ini '/s:salle!muet' 2>&1)
statut=$?
echo "$sortie"
((statut == 3)) || echec "ping of a silent host: code $statut"
sortie=$(marie VelmoraBatch ./maison.ini '/w:salle!serveur' /attendre:5 2>&1)
statut=$?
echo "$sortie"
((statut == 0)) && [[ $sortie == *"serveur : prête après"* ]] || echec "wake and wait: code $statut"
echos() { ip netns exec "$b" awk '/^Icmp:/ { if (n++) print $10 }' /proc/net/snmp; }
avant=$(echos)
marie env QT_QPA_PLATFORM=offscreen Velmora ./maison.ini >"$racine/root/velmora.log" 2>&1 &
pid=$!
apres=$avant
for ((i = 0; i < 150 && apres == avant; i++)); do
    sleep 0.1
    apres=$(echos)
done
kill -TERM "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if ((apres > avant)); then
    echo "Velmora started and pinged its folder's machine"
else
    cat "$racine/root/velmora.log"
    echec "the windowed program did not start as a normal user"
fi
set -e

etape "relay enabled, then the package purged"
dans apt-get install -y -q --no-install-recommends systemd >/dev/null
dans systemctl enable velmora-relay >/dev/null 2>&1 || echec "systemctl enable velmora-relay"
lien=/etc/systemd/system/multi-user.target.wants/velmora-relay.service
[[ -L $racine$lien ]] || echec "no enable link after systemctl enable"
dans apt-get purge -y -q velmora >/dev/null
[[ ! -e $racine$lien && ! -L $racine$lien ]] || echec "$lien left after purge"

etape "done"
((echecs == 0)) || exit 1
echo "fresh Debian 12: package built, installed and used as a normal user in $((SECONDS - debut)) s"
