// Error texts of the network routines, in the form "<system message> (err=<code>)".
#pragma once

#include <string>

namespace velmora::net {

// strerror(code) followed by " (err=<code>)".
std::string TexteErreur(int code);

}  // namespace velmora::net
