// Wake via Internet: an HTTP GET of an address template that a remote web script turns into
// a magic packet on its own network.
#pragma once

#include <string>
#include <string_view>

#include "common/config/Config.h"

namespace velmora::net {

// Requests the template (ScriptWOWUrl; the built-in one when ScriptWOWParDéfaut is true) with
// "%ip%", "%mac%" and "%port%" replaced, ignoring case, by `adresse`, `mac` (as typed) and
// `port` in decimal; nothing is URL-encoded. Access by ProxyType: 0 the system's settings
// (http_proxy / no_proxy), 1 direct, 2 through ProxyAdresse:ProxyPort with ProxyLogin /
// ProxyPassword. With ProxySiErreurTesterAussiAccèsDirect and a type other than 1, a failed
// attempt is followed by a direct one. 10 seconds per attempt. True when an attempt ended with
// the status text exactly "200 OK". Only http and https are spoken (a template of another
// scheme is refused with ERR_REVEIL_PROTOCOLE naming it); at most 64 KB of an answer is read.
// `reponse` receives what the last response received says: its body (as far as it was read)
// when that is plain text whose first line holds something, else its status line
// ("404 Not Found"); it is left unchanged when no response came; when no template is usable it
// receives the translated message that says to set up velmora-relay and which ScriptWOWUrl line to
// write (MSG_ERREUR_REVEIL_SANS_SCRIPT, MSG_ERREUR_SCRIPT_WOW_URL_VIDE). Settings come from
// `reglages` (Prog().reglages in the short form).
bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                          std::string& reponse, const ReglagesDemarrage& reglages);
bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                          std::string& reponse);

// What a program shows of a response body next to a failed wake: its first non-empty line,
// without control characters, cut to 300 bytes (then followed by "...").
std::string ResumeReponse(std::string_view corps);

// The text after the first space of the status line (the headers up to the first control
// character), e.g. "200 OK"; "" when there is none. With several responses (a proxy's
// "100 Continue", an authentication round), the last status line counts.
std::string StatutReponse(std::string_view entetes);

}  // namespace velmora::net
