#include "gui/dialogs/ListesConfigVerification.h"

#include "common/text/Commun.h"

namespace velmora::gui {

bool PortValide(const std::string& texte) { return EstPort(texte); }

std::optional<RefusConfiguration> VerifierConfiguration(const ChampsConfiguration& c) {
    auto refus = [](int onglet, const char* champ, const char* cle) {
        return std::optional<RefusConfiguration>(RefusConfiguration{onglet, champ, cle});
    };
    if (!PortValide(c.portParDefautWOL))
        return refus(2, "txtPortParDéfautWOL", "MSG_ERREUR_PORT_DEFAUT");
    if (!EstAdresseIP(c.masqueParDefaut))
        return refus(2, "txtMasqueParDéfaut", "MSG_ERREUR_MASQUE_DEFAUT");
    if (c.repliMode == 1 && !EstAdresseIP(c.repliAdresse))
        return refus(2, "txtRepliAdresse", "MSG_ERREUR_ADRESSE_REPLI");
    if (!PortValide(c.portParDefautWOW))
        return refus(3, "txtPortParDéfautWOW", "MSG_ERREUR_PORT_DEFAUT");
    if (c.proxyType == 2 && c.proxyAdresse.empty())
        return refus(3, "txtProxyAdresse", "MSG_ERREUR_PROXY_ADRESSE");
    if (c.proxyType == 2 && !PortValide(c.proxyPort))
        return refus(3, "txtProxyPort", "MSG_ERREUR_PROXY_PORT");
    if (c.authentificationMode == 1 && c.authentificationLogin.empty())
        return refus(5, "txtAuthentificationLogin", "MSG_ERREUR_AUTHENTIFICATION_ABSENCE_LOGIN");
    return std::nullopt;
}

std::string FiltrerNombre(const std::string& texte) {
    size_t i = texte.find_first_not_of(' ');
    if (i == std::string::npos) return "0";
    bool negatif = false;
    if (texte[i] == '-' || texte[i] == '+') negatif = texte[i++] == '-';
    long long valeur = 0;
    bool chiffre = false;
    for (; i < texte.size() && texte[i] >= '0' && texte[i] <= '9'; ++i) {
        chiffre = true;
        if (valeur < 100000000000LL) valeur = valeur * 10 + (texte[i] - '0');
    }
    if (!chiffre || valeur == 0) return "0";
    return std::to_string(negatif ? -valeur : valeur);
}

bool EstSeparateur(const std::string& nom) {
    return nom == "-" || (nom.size() >= 2 && nom.compare(nom.size() - 2, 2, "\\-") == 0);
}

std::optional<RefusCommande> VerifierCommande(const std::string& nom, const std::string& ligne) {
    if (nom.empty()) return RefusCommande{"txtCommandeNom", "MSG_ERREUR_COMMANDE_NOM"};
    if (nom.find('|') != std::string::npos)
        return RefusCommande{"txtCommandeNom", "MSG_ERREUR_PIPE_INTERDIT"};
    if (!EstSeparateur(nom) && ligne.empty())
        return RefusCommande{"txtCommandeExec", "MSG_ERREUR_COMMANDE_EXEC"};
    return std::nullopt;
}

}  // namespace velmora::gui
