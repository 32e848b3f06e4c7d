// The checks of the machine dialog.
#include <cctype>

#include "common/net/Sondes.h"
#include "common/net/Valeurs.h"
#include "common/text/Commun.h"
#include "gui/dialogs/frmMachine.h"

namespace velmora::gui {

namespace {

bool EstHexadecimal(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::optional<RefusMachine> VerificationMachine::Verifier(const Machine& s) {
    if (s.nom.empty()) return RefusMachine{"MSG_ERREUR_MACHINE", ChampMachine::Nom};
    if (ContientUnDe(s.nom, kCaracteresInterdits))
        return RefusMachine{"MSG_ERREUR_CARACTERES_INTERDITS", ChampMachine::Nom};
    if (s.adresse.empty())
        return RefusMachine{"MSG_ERREUR_OMISSION_ADRESSEIP", ChampMachine::AdresseIP};
    if (ContientUnDe(s.adresse, kCaracteresInterdits))
        return RefusMachine{"MSG_ERREUR_CARACTERES_INTERDITS", ChampMachine::AdresseIP};
    if (!net::AdresseSansOptionNiBlanc(s.adresse))
        return RefusMachine{"MSG_ERREUR_ADRESSE_INVALIDE", ChampMachine::AdresseIP};
    if (!s.masque.empty() && !EstAdresseIP(s.masque))
        return RefusMachine{"MSG_ERREUR_MASQUE", ChampMachine::Masque};
    if (!s.port.empty() && !EstPort(s.port))
        return RefusMachine{"MSG_ERREUR_PORT", ChampMachine::Port};
    if (!EstAdresseMAC(s.adresseMAC))
        return RefusMachine{"MSG_ERREUR_ADRESSEMAC", ChampMachine::AdresseMAC};
    if (s.login.empty() && !s.motDePasse.empty())
        return RefusMachine{"MSG_ERREUR_LOGIN", ChampMachine::Login};
    // A "|" in the login would shift the fields of the stored machine line.
    if (s.login.find('|') != std::string::npos)
        return RefusMachine{"MSG_ERREUR_CARACTERES_INTERDITS", ChampMachine::Login};
    if (!CoderMotDePasse(s.motDePasse))
        return RefusMachine{kMsgMotDePasseCaracteres, ChampMachine::MotDePasse};
    return std::nullopt;
}

std::string VerificationMachine::ReformaterMAC(const std::string& texte) {
    if (texte.size() != 12) return texte;
    for (char c : texte) {
        if (!EstHexadecimal(c)) return texte;
    }
    std::string resultat;
    for (size_t i = 0; i < 12; i += 2) {
        if (!resultat.empty()) resultat += '-';
        resultat += texte.substr(i, 2);
    }
    return resultat;
}

std::string VerificationMachine::TexteNumerique(const std::string& texte) {
    if (texte.empty()) return texte;
    size_t i = texte.find_first_not_of(" \t");
    if (i == std::string::npos) return "0";
    bool negatif = false;
    if (texte[i] == '-' || texte[i] == '+') {
        negatif = texte[i] == '-';
        ++i;
    }
    long long valeur = 0;
    for (; i < texte.size() && std::isdigit(static_cast<unsigned char>(texte[i])); ++i) {
        if (valeur < 100000000000000LL) valeur = valeur * 10 + (texte[i] - '0');
    }
    // A decimal fraction stays, so that the checks can refuse it.
    std::string fraction;
    if (i < texte.size() && texte[i] == '.') {
        for (++i; i < texte.size() && std::isdigit(static_cast<unsigned char>(texte[i])); ++i)
            fraction += texte[i];
        fraction.erase(fraction.find_last_not_of('0') + 1);
    }
    if (valeur == 0 && fraction.empty()) return "0";
    return (negatif ? "-" : "") + std::to_string(valeur) + (fraction.empty() ? "" : "." + fraction);
}

}  // namespace velmora::gui
