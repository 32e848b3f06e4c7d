// The relay's HTTP side: libmicrohttpd driven from one thread that also watches the signals.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "relay/Relay.h"

namespace velmora::relay::web {
class Site;
}

namespace velmora::relay {

// Limits against abuse.
inline constexpr unsigned kMaxConnectionsPerAddress = 32;  // except the proxy on this machine
inline constexpr size_t kConnectionMemory = 8 * 1024;      // bytes: request line, headers, answer
inline constexpr unsigned kIdleTimeout = 3;  // seconds without a byte while an answer is sent
// A connection must send a complete request within this time of its opening or of its
// previous answer.
inline constexpr std::chrono::seconds kRequestTime{2};
// Host names are resolved within this time, by at most this many look-ups at once.
inline constexpr std::chrono::seconds kLookupTime{2};
inline constexpr unsigned kMaxLookups = 4;
// Descriptors kept apart from the connections (standard streams, sockets, look-ups).
inline constexpr unsigned kReservedDescriptors = 64;
// The journal is written in one go at most this long after a line.
inline constexpr std::chrono::milliseconds kLogDelay{100};

// The most connections open at once: what the file-descriptor limit allows.
unsigned ConnectionLimit();

// Serves `relay` on settings.listen until SIGTERM or SIGINT; SIGHUP calls `reload`, which
// returns the new settings or "" with an error message (the old settings then stay). Logs one
// line per request on standard error. Returns the process exit code: 0 after a signal, 1 when
// the listening socket cannot be opened (among others when the address is in use). `site`,
// when given, serves the web page beside the wake requests.
int Serve(Relay& relay, const std::function<bool(Settings&, std::string&)>& reload,
          web::Site* site = nullptr);

}  // namespace velmora::relay
