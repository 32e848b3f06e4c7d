// Samba status names mapped to the Windows error numbers and texts the callers expect.
#include "common/net/ErreursWindows.h"

#include <cctype>
#include <vector>

#include "common/i18n/Traduction.h"
#include "common/net/Sondes.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

struct Correspondance {
    const char* statut;
    int numero;
};

// Samba status names and the Windows error numbers they stand for; the reason of each number is
// the translated text ERR_WINDOWS_<number>.
constexpr Correspondance kTable[] = {
    {"WERR_ACCESS_DENIED", 5},
    {"NT_STATUS_ACCESS_DENIED", 5},
    {"WERR_NOT_SUPPORTED", 50},
    {"NT_STATUS_NOT_SUPPORTED", 50},
    {"WERR_BAD_NETPATH", 53},
    {"NT_STATUS_BAD_NETWORK_PATH", 53},
    {"NT_STATUS_BAD_NETWORK_NAME", 67},
    {"WERR_INVALID_PARAMETER", 87},
    {"NT_STATUS_INVALID_PARAMETER", 87},
    {"NT_STATUS_IO_TIMEOUT", 121},
    {"WERR_SHUTDOWN_IN_PROGRESS", 1115},
    {"WERR_NO_SHUTDOWN_IN_PROGRESS", 1116},
    {"NT_STATUS_CONNECTION_REFUSED", 1225},
    {"NT_STATUS_NETWORK_UNREACHABLE", 1231},
    {"NT_STATUS_HOST_UNREACHABLE", 1232},
    {"NT_STATUS_LOGON_FAILURE", 1326},
    {"NT_STATUS_WRONG_PASSWORD", 1326},
    {"NT_STATUS_NO_SUCH_USER", 1326},
    {"NT_STATUS_PASSWORD_EXPIRED", 1330},
    {"NT_STATUS_ACCOUNT_DISABLED", 1331},
    {"NT_STATUS_ACCOUNT_LOCKED_OUT", 1909},
    {"NT_STATUS_UNSUCCESSFUL", 31},
};

// Numbers the WMI helper writes with a fixed English reason (HRESULTs as signed numbers), and
// the key of their translated reason.
struct RaisonAssistant {
    long long numero;
    const char* cle;
};
constexpr RaisonAssistant kRaisonsAssistant[] = {
    {-2147023174, "ERR_WINDOWS_RPC_INDISPONIBLE"},  // 0x800706BA RPC_S_SERVER_UNAVAILABLE
    {-2147024891, "ERR_WINDOWS_5"},                 // 0x80070005 E_ACCESSDENIED
    {-2147217405, "ERR_WINDOWS_5"},                 // 0x80041003 WBEM_E_ACCESS_DENIED
    {1728, "ERR_WINDOWS_1728"},                     // an answer that cannot be read
    {1191, "ERR_WINDOWS_1191"},  // Win32Shutdown refused: other users are logged on
};

// A helper's "<reason> (err=<n>)" line with the reason in the interface language when the
// number is one of kRaisonsAssistant; else the line as written.
std::string TraduireLigneAssistant(const std::string& ligne) {
    const size_t p = ligne.rfind(" (err=");
    if (p == std::string::npos) return ligne;
    const std::string nombre = ligne.substr(p + 6, ligne.size() - p - 7);
    long long numero = 0;
    try {
        size_t lu = 0;
        numero = std::stoll(nombre, &lu);
        if (lu != nombre.size()) return ligne;
    } catch (const std::exception&) {
        return ligne;
    }
    for (const auto& r : kRaisonsAssistant)
        if (r.numero == numero) return i18n::TexteReseau(r.cle) + ligne.substr(p);
    return ligne;
}

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
            message = TexteWindows(c.numero);
            return true;
        }
    }
    return false;
}

std::string TexteWindows(int numero) {
    return i18n::TexteReseau("ERR_WINDOWS_" + std::to_string(numero));
}

std::string TexteErreurWindows(int numero) {
    return TexteWindows(numero) + " (err=" + std::to_string(numero) + ")";
}

std::string TexteEchecOutil(const ResultatOutil& resultat) {
    if (!resultat.lance) return resultat.sortie + " (err=2)";
    if (resultat.arrete) return TexteErreurWindows(1223);
    if (resultat.expire) return TexteErreurWindows(kErreurDelai);
    const auto lignes = LignesNonVides(resultat.sortie);
    for (auto it = lignes.rbegin(); it != lignes.rend(); ++it)
        if (it->find(" (err=") != std::string::npos && it->back() == ')')
            return TraduireLigneAssistant(*it);
    const std::string statut = DernierStatut(resultat.sortie);
    int numero = 0;
    std::string message;
    if (!statut.empty() && ErreurWindows(statut, numero, message))
        return message + " (err=" + std::to_string(numero) + ")";
    const std::string raison =
        !statut.empty() ? statut
                        : (lignes.empty() ? i18n::TexteReseau("ERR_OUTIL_ECHEC") : lignes.back());
    return raison + " (err=" + std::to_string(resultat.statut) + ")";
}

}  // namespace velmora::net
