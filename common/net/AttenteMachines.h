// Waiting for machines to come up after a wake: each address is pinged, or tried with a TCP
// connection on a given port (a machine that pings may not run its services yet), every 250 ms
// until it answers or the time runs out. The pings of one round go out in one sweep.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velmora::net {

// Waits up to `delaiMs` after the call for each of `adresses` (dotted quads or host names):
// until it answers a ping when `port` is 0, else until it accepts a TCP connection on `port`.
// `surPrete`(index, ms since the call) is called on the calling thread as each comes up.
// Returns, for each address, the ms it took, or -1 when it did not come up (or `arret` became
// true first, or the program received SIGINT or SIGTERM: see platform::SignalArretRecu).
// Traffic goes only to the given addresses.
std::vector<long long> AttendreMachines(const std::vector<std::string>& adresses, long long delaiMs,
                                        int port,
                                        const std::function<void(std::size_t, long long)>& surPrete,
                                        const std::atomic<bool>* arret = nullptr);

}  // namespace velmora::net
