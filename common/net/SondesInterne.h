// Pieces of the probes that read system tables and network answers, exposed so that tests can
// feed them text and bytes directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::net {

// Contents of a table of the calling thread's network namespace ("route", "arp"):
// /proc/thread-self/net/<nom>, else /proc/net/<nom>; "" when unreadable.
std::string LireTableNet(const std::string& nom);

// The interface of the default route with the lowest metric in a /proc/net/route text (the
// first one among equal metrics), or "". `passerelle` receives its gateway (network order).
std::string InterfaceRouteParDefaut(std::string_view tableRoutes, std::uint32_t* passerelle);

// The MAC of `adresse` in a /proc/net/arp text, complete entries only, as six upper-case pairs
// joined by "-"; "" when absent.
std::string MacDepuisTableVoisins(std::string_view tableVoisins, const std::string& adresse);

// The MAC of the local Ethernet interface that holds `adresse` (this machine's own address has
// no neighbour entry), as six upper-case pairs joined by "-"; "" when no such interface.
std::string MacInterfaceLocale(const std::string& adresse);

// The NetBIOS node-status request for the name "*" with transaction id `id` (50 bytes).
std::string RequeteNodeStatus(std::uint16_t id);
// The unit id of a node-status answer with transaction id `id`, as six upper-case pairs joined
// by "-"; "" when the answer is malformed, of another transaction, or the unit id is all zero.
std::string MacDepuisNodeStatus(std::string_view reponse, std::uint16_t id);
// The workstation name of a node-status answer (the first unique name of suffix 00, trailing
// spaces removed), or "" when none is printable or the answer is malformed.
std::string NomDepuisNodeStatus(std::string_view reponse, std::uint16_t id);
// Sends the node-status request to adresse:port and waits up to `delaiMs` per attempt
// (`essais` attempts); the MAC found, or "". `nom`, when given, receives the workstation name.
std::string InterrogerNetBIOS(const std::string& adresse, std::uint16_t port, int delaiMs,
                              int essais, std::string* nom = nullptr);

}  // namespace velmora::net
