// Network probes: ping, MAC address lookup, name resolution, local address and mask, directed
// broadcast address. All calls block the calling thread; none throws except AdresseDiffusion
// (documented below). The probes read the tables of the calling thread's network namespace.
#pragma once

#include <string>
#include <string_view>

namespace velmora::net {

// How one echo request is sent.
enum class MethodePing {
    Automatique,     // the first usable of the three below, in this order
    DatagrammeICMP,  // unprivileged ICMP datagram socket (net.ipv4.ping_group_range)
    SocketBrut,      // raw ICMP socket (root or CAP_NET_RAW)
    OutilPing,       // the system's ping tool run through the tool runner
    Aucune           // none usable
};

// True when at least one ping method is usable by this process (start-up check).
bool MethodePingDisponible();
// The method that Automatique resolves to for this process, or Aucune.
MethodePing MethodePingChoisie();

// One ICMP echo request to `adresse` (dotted quad or host name, resolved first), waiting at
// most Prog().reglages.tempoPing milliseconds. True only when an echo reply came from the
// target itself; `adresseReponse` then holds that address as a dotted quad. An error report
// from another host (a router saying the target is unreachable), a time-out, a name that does
// not resolve or no usable method all give false.
bool Pinger(const std::string& adresse, std::string& adresseReponse);
// The same with an explicit wait and method.
bool Pinger(const std::string& adresse, std::string& adresseReponse, long long tempoMs,
            MethodePing methode = MethodePing::Automatique);

// The MAC address of `adresse`: the complete entry of the neighbour table, else the unit id of
// a NetBIOS node-status answer (UDP 137). Six upper-case pairs joined by "-", or "" when
// unknown (an all-zero NetBIOS unit id counts as unknown).
std::string ChercherAdresseMAC(const std::string& adresse);

// Resolves a host name to its first IPv4 address (dotted quad) with the system resolver,
// retrying up to 5 attempts while the resolver answers "try again". False when it does not
// resolve.
bool ResoudreNom(const std::string& nom, std::string& adresse);

// The IPv4 address of the interface of the default route with the lowest metric, or "".
std::string AdresseLocale();
// The netmask (dotted quad) of the local interface that holds `adresse`, or "".
std::string MasqueDeAdresse(const std::string& adresse);

// The directed broadcast address of `adresse` (dotted quad, or a host name resolved by
// ResoudreNom) with `masque`: each of the four parts is address OR (255 - mask), so the mask
// need not be contiguous. A name that does not resolve falls back by `repliMode`: 1 returns
// `repliAdresse` unchanged, any other value uses AdresseLocale() with its own mask.
// Throws std::invalid_argument when the address or the mask is not four numbers 0-255 (or no
// local address exists for the fall-back).
std::string AdresseDiffusion(const std::string& adresse, const std::string& masque,
                             long long repliMode, const std::string& repliAdresse);
// The same with RepliMode and RepliAdresse of Prog().reglages.
std::string AdresseDiffusion(const std::string& adresse, const std::string& masque);

// The words of `texte` (split at spaces) joined by single spaces.
std::string CompacterEspaces(std::string_view texte);

}  // namespace velmora::net
