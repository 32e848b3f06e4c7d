// The error queue of an ICMP socket (IP_RECVERR), read the same way by the single ping and by
// the sweep: which ICMP error reports end a request, and sends that an error pending for
// another request made fail.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace velmora::net {

// An error report about one of our echo requests, read from the error queue.
struct ErreurIcmp {
    std::uint16_t id = 0;        // identifier of the quoted request
    std::uint16_t sequence = 0;  // its sequence number
    std::uint32_t cible = 0;     // its destination (network order)
};

// True for the ICMP errors that say the request will get no answer: destination unreachable
// and time exceeded. Redirect, source quench and parameter problem are advice that the reply
// may still follow.
bool ErreurIcmpFinale(std::uint8_t type);

// Reads every entry of the error queue of `fd` (which also clears the socket's pending error)
// and hands `surErreur` each one that quotes an echo request and says it will get no answer;
// other entries are dropped. Returns the number of entries read, of any kind.
int LireFileErreursIcmp(int fd, const std::function<void(const ErreurIcmp&)>& surErreur);

// Sends `paquet` to `destination` without blocking. The kernel fails a send with the error
// of a report queued for another request: after such a failure the error queue is read (its
// entries handed to `surErreur`) and the send tried again, until two failures in a row found
// the queue empty (the failure is this request's own: no route...) or `fin` passes. True when the
// request left; otherwise false with errno from the last send (ENOBUFS, EAGAIN...: no room now).
bool EnvoyerIcmp(int fd, const void* paquet, std::size_t taille, const sockaddr_in& destination,
                 std::chrono::steady_clock::time_point fin,
                 const std::function<void(const ErreurIcmp&)>& surErreur);

}  // namespace velmora::net
