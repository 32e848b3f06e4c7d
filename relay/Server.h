// The relay's HTTP side: libmicrohttpd driven from one thread that also watches the signals.
#pragma once

#include <functional>
#include <string>

#include "relay/Relay.h"

namespace velmora::relay::web {
class Site;
}

namespace velmora::relay {

// Limits against abuse.
inline constexpr unsigned kMaxConnections = 1024;
inline constexpr unsigned kMaxConnectionsPerAddress = 32;
inline constexpr size_t kConnectionMemory = 8 * 1024;  // bytes: request line, headers, answer
inline constexpr unsigned kIdleTimeout = 3;            // seconds without a byte
inline constexpr int kConnectionDeadline = 5;          // seconds from accept to close

// Serves `relay` on settings.listen until SIGTERM or SIGINT; SIGHUP calls `reload`, which
// returns the new settings or "" with an error message (the old settings then stay). Logs one
// line per request on standard error. Returns the process exit code: 0 after a signal, 1 when
// the listening socket cannot be opened. `site`, when given, serves the web page beside the
// wake requests.
int Serve(Relay& relay, const std::function<bool(Settings&, std::string&)>& reload,
          web::Site* site = nullptr);

}  // namespace velmora::relay
