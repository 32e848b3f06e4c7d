// Error texts of the remote tools in the Windows form "<reason> (err=<number>)".
#pragma once

#include <string>
#include <string_view>

#include "common/net/Outil.h"

namespace velmora::net {

// The Windows error number and reason of a Samba status name ("WERR_ACCESS_DENIED" gives 5,
// "Accès refusé." or its translation); false for a name not in the table.
bool ErreurWindows(std::string_view statut, int& numero, std::string& message);

// The reason of a Windows error number in the interface language (ERR_WINDOWS_<n>), and that
// reason followed by " (err=<n>)".
std::string TexteWindows(int numero);
std::string TexteErreurWindows(int numero);

// The error text of a failed tool run: a line already in the "(err=" form (the WMI helper
// writes one) is kept; else the last Samba status named in the output, by its Windows number
// and message; else the last line printed with the exit status as the number. A run that could
// not start or ran out of time says so.
std::string TexteEchecOutil(const ResultatOutil& resultat);

}  // namespace velmora::net
