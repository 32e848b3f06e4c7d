// The web page on libmicrohttpd: the server hands every request that Site::Serves to Answer,
// calls Pump after each turn of its loop, and Stop before it stops the daemon. The daemon must
// allow suspending connections: an event stream waits suspended until it has text to send.
#pragma once

#include <microhttpd.h>

#include <string>

#include "relay/web/Site.h"

namespace velmora::relay::web {

inline constexpr size_t kMaxBody = 16 * 1024;  // bytes of a request body

// What the server keeps for a page request between the calls of its access handler.
struct HttpState {
    bool started = false;
    bool tooLarge = false;
    std::string body;
};

// One call of the access handler for a page request (`client` as the server determined it).
MHD_Result Answer(Site& site, MHD_Connection* connection, const std::string& target,
                  const char* method, const char* uploadData, size_t* uploadSize, HttpState& state,
                  const std::string& client);
// Runs the page's timers and resumes the event streams that have text to send.
void Pump(Site& site);
// Ends every event stream and resumes them, so the daemon can stop (run it once more after).
void Stop(Site& site);

}  // namespace velmora::relay::web
