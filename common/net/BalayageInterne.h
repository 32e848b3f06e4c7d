// Pieces of the network sweep exposed so that tests can feed them bytes and addresses directly.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/net/Balayage.h"

namespace velmora::net {

// One address of a sweep: its position in the caller's list and its IPv4 address (network
// order).
struct CibleBalayage {
    std::size_t index = 0;
    std::uint32_t adresse = 0;
};

// What an ICMP datagram says about one of our requests.
struct ReponseIcmp {
    int sequence = -1;        // the sequence of our request it is about; -1: not ours
    bool erreur = false;      // an error report rather than an echo reply
    std::uint32_t cible = 0;  // for an error report: the destination of the quoted request
};

// A datagram read from an ICMP datagram socket (ICMP header first; the kernel already kept
// only replies to this socket's identifier).
ReponseIcmp AnalyserReponseDatagramme(const std::uint8_t* donnees, std::size_t taille);
// A datagram read from a raw ICMP socket (IP header first): an echo reply with identifier
// `id`, or an error report quoting an echo request with identifier `id`.
ReponseIcmp AnalyserReponseBrute(const std::uint8_t* donnees, std::size_t taille, std::uint16_t id);

// True when the route of `adresse` (network order) in a /proc/net/route text is a link of this
// machine (no gateway, not a reject route, not loopback): a request to it costs an ARP
// broadcast when the neighbour is unknown.
bool DestinationSurLien(std::string_view tableRoutes, std::uint32_t adresse);

// The sweep of addresses already resolved, with `tempoMs` already settled.
bool BalayerAdresses(const std::vector<CibleBalayage>& cibles, long long tempoMs,
                     const SurReponseBalayage& surReponse, const std::atomic<bool>* arret,
                     const OptionsBalayage& options);

// Runs `travail` on each (index, input) pair on up to `fils` threads and hands each result to
// `rendre`(index, input, result) on the calling thread as it comes. Returns false when `arret`
// became true first: the threads still busy finish on their own and their results are dropped.
bool ExecuterEnParallele(
    std::vector<std::pair<std::size_t, std::string>> entrees, int fils,
    std::function<std::string(const std::string&)> travail,
    const std::function<void(std::size_t, const std::string&, const std::string&)>& rendre,
    const std::atomic<bool>* arret);

}  // namespace velmora::net
