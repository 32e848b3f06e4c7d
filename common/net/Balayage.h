// Network sweep: one echo request to each of many addresses through a single ICMP socket, every
// answer matched to its request by identifier, sequence and source, so a whole list is tested
// in about one TempoPing whatever its length. No thread per address.
//
// Host names are resolved first, in parallel, each with the resolver's own time-out. Requests
// leave in paced bursts; a send the kernel refuses for lack of room (ENOBUFS, EAGAIN: a full
// neighbour table or socket buffer) is tried again a little later and never counts as silence.
// Each address waits TempoPing from the moment its own request left. An ICMP error report
// (a router's "unreachable") ends only the address whose request it quotes.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/net/Sondes.h"

namespace velmora::net {

// The verdict on one address of a sweep.
struct ReponseBalayage {
    std::size_t index = 0;  // position in the list given to Balayer
    bool repondu = false;   // an echo reply came from the target itself
    std::string adresse;    // the dotted quad pinged; "" when a name did not resolve
    long long delaiMs = 0;  // round trip when it answered, else the time waited
};

struct OptionsBalayage {
    long long tempoMs = 0;  // wait per address (ms); 0 takes Prog().reglages.tempoPing
    MethodePing methode = MethodePing::Automatique;
    int rafale = 64;          // requests sent back to back before the socket is read again
    int pauseRafaleUs = 500;  // at least this long between two bursts (us)
    int enVolMax = 0;         // at most this many requests awaiting an answer; 0: no limit
    int resolveurs = 16;      // names resolved at once
    // Requests a second to addresses on a link of this machine (0: no limit; negative: the
    // setting CadenceBalayageLien, 2,000 by default). Each one to an unknown neighbour is an ARP
    // broadcast seen by every host of the link and a neighbour entry (1,024 by default): 2,000 a
    // second is under 1 Mbit/s of broadcasts and sweeps a /24 in 0.13 s. Addresses behind a
    // router go out unpaced.
    int cadenceSurLien = -1;
};

// Called for each address as soon as it is decided, in any order, on the thread that called
// Balayer, never twice for one index.
using SurReponseBalayage = std::function<void(const ReponseBalayage&)>;

// Pings every address of `cibles` (dotted quads or host names; duplicates are pinged each).
// Returns true when every address was decided; false when `arret` became true first: nothing
// more is sent then, the verdicts already given stay, and the undecided addresses get none.
// A name that does not resolve, an address the kernel cannot send to, or no usable ping method
// is "no answer" for that address only.
bool Balayer(const std::vector<std::string>& cibles, const SurReponseBalayage& surReponse,
             const std::atomic<bool>* arret = nullptr, const OptionsBalayage& options = {});

}  // namespace velmora::net
