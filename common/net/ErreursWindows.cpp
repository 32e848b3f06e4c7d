// Samba status names mapped to the Windows error numbers and texts the callers expect.
#include "common/net/ErreursWindows.h"

#include <cctype>
#include <vector>

#include "common/net/Sondes.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

struct Correspondance {
    const char* statut;
    int numero;
    const char* message;
};

constexpr Correspondance kTable[] = {
    {"WERR_ACCESS_DENIED", 5, "Access is denied."},
    {"NT_STATUS_ACCESS_DENIED", 5, "Access is denied."},
    {"WERR_NOT_SUPPORTED", 50, "The request is not supported."},
    {"NT_STATUS_NOT_SUPPORTED", 50, "The request is not supported."},
    {"WERR_BAD_NETPATH", 53, "The network path was not found."},
    {"NT_STATUS_BAD_NETWORK_PATH", 53, "The network path was not found."},
    {"NT_STATUS_BAD_NETWORK_NAME", 67, "The network name cannot be found."},
    {"WERR_INVALID_PARAMETER", 87, "The parameter is incorrect."},
    {"NT_STATUS_INVALID_PARAMETER", 87, "The parameter is incorrect."},
    {"NT_STATUS_IO_TIMEOUT", 121, "The semaphore timeout period has expired."},
    {"WERR_SHUTDOWN_IN_PROGRESS", 1115, "A system shutdown is in progress."},
    {"WERR_NO_SHUTDOWN_IN_PROGRESS", 1116,
     "Unable to abort the system shutdown because no shutdown was in progress."},
    {"NT_STATUS_CONNECTION_REFUSED", 1225, "The remote computer refused the network connection."},
    {"NT_STATUS_NETWORK_UNREACHABLE", 1231, "The network location cannot be reached."},
    {"NT_STATUS_HOST_UNREACHABLE", 1232, "The network location cannot be reached."},
    {"NT_STATUS_LOGON_FAILURE", 1326, "The user name or password is incorrect."},
    {"NT_STATUS_WRONG_PASSWORD", 1326, "The user name or password is incorrect."},
    {"NT_STATUS_NO_SUCH_USER", 1326, "The user name or password is incorrect."},
    {"NT_STATUS_PASSWORD_EXPIRED", 1330, "The password for this account has expired."},
    {"NT_STATUS_ACCOUNT_DISABLED", 1331,
     "This user can't sign in because this account is "
     "currently disabled."},
    {"NT_STATUS_ACCOUNT_LOCKED_OUT", 1909,
     "The referenced account is currently locked out and "
     "may not be logged on to."},
    {"NT_STATUS_UNSUCCESSFUL", 31, "A device attached to the system is not functioning."},
};

constexpr int kErreurDelai = 1460;  // ERROR_TIMEOUT

// The last Samba status named in the output other than a success: the cause the tool reported
// last (net tries a second pipe after the first fails, with the same cause).
std::string DernierStatut(const std::string& sortie) {
    std::string dernier;
    for (size_t p = 0; p < sortie.size(); ++p) {
        const std::string_view reste = std::string_view(sortie).substr(p);
        if (reste.rfind("WERR_", 0) != 0 && reste.rfind("NT_STATUS_", 0) != 0) continue;
        size_t fin = p;
        while (fin < sortie.size() &&
               (std::isupper(static_cast<unsigned char>(sortie[fin])) ||
                std::isdigit(static_cast<unsigned char>(sortie[fin])) || sortie[fin] == '_'))
            ++fin;
        const std::string statut = sortie.substr(p, fin - p);
        if (statut != "WERR_OK" && statut != "NT_STATUS_OK") dernier = statut;
        p = fin;
    }
    return dernier;
}

std::vector<std::string> LignesNonVides(const std::string& sortie) {
    std::vector<std::string> lignes;
    for (auto ligne : ExtraireChamp(Remplacer(sortie, "\r", ""), "\n")) {
        ligne = CompacterEspaces(ligne);
        if (!ligne.empty()) lignes.push_back(ligne);
    }
    return lignes;
}

}  // namespace

bool ErreurWindows(std::string_view statut, int& numero, std::string& message) {
    for (const auto& c : kTable) {
        if (statut == c.statut) {
            numero = c.numero;
            message = c.message;
            return true;
        }
    }
    return false;
}

std::string TexteEchecOutil(const ResultatOutil& resultat) {
    if (!resultat.lance) return resultat.sortie + " (err=2)";
    if (resultat.arrete) return "The operation was cancelled by the user (err=1223)";
    if (resultat.expire)
        return "The remote machine did not answer in time (err=" + std::to_string(kErreurDelai) +
               ")";
    const auto lignes = LignesNonVides(resultat.sortie);
    for (auto it = lignes.rbegin(); it != lignes.rend(); ++it)
        if (it->find(" (err=") != std::string::npos && it->back() == ')') return *it;
    const std::string statut = DernierStatut(resultat.sortie);
    int numero = 0;
    std::string message;
    if (!statut.empty() && ErreurWindows(statut, numero, message))
        return message + " (err=" + std::to_string(numero) + ")";
    const std::string raison =
        !statut.empty() ? statut : (lignes.empty() ? "The tool failed" : lignes.back());
    return raison + " (err=" + std::to_string(resultat.statut) + ")";
}

}  // namespace velmora::net
