#include "batch/LigneCommande.h"

#include <array>

#include "common/text/Commun.h"

namespace velmora::batch {

namespace {

constexpr std::array<std::string_view, 23> kJetonsAction = {
    "/w:", "/W:", "/n:", "/N:", "/R:", "/S:", "/l:", "/L:", "/c:", "/C:", "/h:", "/H:",
    "/r:", "/p:", "/P:", "/s:", "/a:", "/A:", "/u",  "/u:", "/U",  "/U:", "/?"};

constexpr int kDelaiMax = 32767;  // seconds: the delay is a 16-bit value

bool EstJetonAction(std::string_view jeton) {
    for (auto j : kJetonsAction) {
        if (j == jeton) return true;
    }
    return false;
}

// Digits only, at most 32767; std::nullopt otherwise (no overflow on long digit runs).
std::optional<int> LireDelai(std::string_view texte) {
    if (texte.empty()) return std::nullopt;
    long valeur = 0;
    for (char c : texte) {
        if (c < '0' || c > '9') return std::nullopt;
        valeur = valeur * 10 + (c - '0');
        if (valeur > kDelaiMax) return std::nullopt;
    }
    return static_cast<int>(valeur);
}

constexpr long long kAttenteMax = 86400;  // seconds: one day

// "S" or "S,PORT": S seconds (1 to one day), PORT a TCP port (1 to 65535). False when it is not.
bool LireAttente(const std::string& texte, Commande& commande) {
    const std::vector<std::string> champs = ExtraireChamp(texte, ",");
    if (champs.empty() || champs.size() > 2) return false;
    const std::string secondes = Rogner(champs[0]);
    if (secondes.empty() || secondes.size() > 5 ||
        secondes.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long long s = std::stoll(secondes);
    if (s < 1 || s > kAttenteMax) return false;
    int port = 0;
    if (champs.size() == 2) {
        const std::string p = Rogner(champs[1]);
        if (p.empty() || p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos)
            return false;
        port = std::stoi(p);
        if (port < 1 || port > 65535) return false;
    }
    commande.attente = s;
    commande.portAttente = port;
    return true;
}

// "/cadence:N": requests a second to addresses of the local network, 0 (no limit) to 1,000,000.
bool LireCadence(const std::string& texte, Commande& commande) {
    const std::string v = Rogner(texte);
    if (v.empty() || v.size() > 7 || v.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long long n = std::stoll(v);
    if (n > 1000000) return false;
    commande.cadence = n;
    return true;
}

}  // namespace

std::string RognerGauche(std::string_view texte) {
    size_t debut = texte.find_first_not_of(' ');
    return debut == std::string_view::npos ? std::string() : std::string(texte.substr(debut));
}

std::string Rogner(std::string_view texte) {
    size_t debut = texte.find_first_not_of(' ');
    if (debut == std::string_view::npos) return {};
    size_t fin = texte.find_last_not_of(' ');
    return std::string(texte.substr(debut, fin - debut + 1));
}

std::string ExtraireValeur(std::string& reste, size_t position) {
    if (position == 0 || position > reste.size()) {
        reste.clear();
        return {};
    }
    size_t debut = position - 1;
    std::string valeur;
    if (reste[debut] == '"') {
        size_t fin = reste.find('"', debut + 1);
        if (fin == std::string::npos) {
            reste.clear();
            return {};
        }
        valeur = reste.substr(debut + 1, fin - debut - 1);
        reste = RognerGauche(std::string_view(reste).substr(fin + 1));
        return valeur;
    }
    size_t barre = reste.find('/', debut);
    if (barre == std::string::npos) {
        valeur = Rogner(std::string_view(reste).substr(debut));
        reste.clear();
    } else {
        valeur = Rogner(std::string_view(reste).substr(debut, barre - debut));
        reste = RognerGauche(std::string_view(reste).substr(barre));
    }
    return valeur;
}

std::optional<ErreurCommande> AnalyserOptions(std::string_view options, Commande& commande) {
    std::string reste = Rogner(options);
    while (!reste.empty()) {
        size_t n = reste.find_first_of(" /:", 1);
        std::string jeton;
        size_t position;  // 1-based start of the value
        if (n == std::string::npos) {
            jeton = reste;
            position = reste.size() + 1;
        } else if (reste[n] == ':') {
            jeton = reste.substr(0, n + 1);
            position = n + 2;
        } else {
            jeton = reste.substr(0, n);
            position = n + 1;
        }

        if (EstJetonAction(jeton)) {
            if (commande.action != 0) return ErreurCommande{"MSG_ERREUR_PLUSIEURS_ACTIONS", {}};
            commande.etendue = ExtraireValeur(reste, position);
            commande.action = jeton[1];
        } else if (jeton == "/d" || jeton == "/i") {
            (jeton == "/d" ? commande.silencieux : commande.sansRecherche) = true;
            ExtraireValeur(reste, position);
        } else if (jeton == "/f:") {
            std::string v = Minuscules(ExtraireValeur(reste, position));
            if (v != "on" && v != "off") return ErreurCommande{"MSG_ERREUR_OPTION_FORCER", {}};
            commande.forcer = v == "on";
            commande.optionsDonnees = true;
        } else if (jeton == "/t:") {
            std::optional<int> delai = LireDelai(ExtraireValeur(reste, position));
            if (!delai) return ErreurCommande{"MSG_ERREUR_OPTION_DELAI", {}};
            commande.delai = *delai;
            commande.optionsDonnees = true;
        } else if (jeton == "/attendre:") {
            if (!LireAttente(ExtraireValeur(reste, position), commande))
                return ErreurCommande{"MSG_ERREUR_OPTION_ATTENDRE", {}};
        } else if (jeton == "/cadence:") {
            if (!LireCadence(ExtraireValeur(reste, position), commande))
                return ErreurCommande{"MSG_ERREUR_OPTION_CADENCE", {}};
        } else if (jeton == "/m:") {
            // The message travels to a Windows machine: its line breaks stay CR LF.
            std::string v = Remplacer(ExtraireValeur(reste, position), "§", "\r\n");
            if (v.empty()) return ErreurCommande{"MSG_ERREUR_OPTION_MESSAGE", {}};
            commande.message = v;
            commande.optionsDonnees = true;
        } else {
            return ErreurCommande{"MSG_ERREUR_ACTION_OU_OPTION_INCONNUE", {jeton}};
        }
    }
    return std::nullopt;
}

std::optional<ErreurCommande> VerifierCommande(const Commande& commande) {
    const char a = commande.action;
    if (a == 0) return ErreurCommande{"MSG_ERREUR_OMISSION_ACTION_BATCH", {}};
    if (commande.etendue.empty() && a != 'u' && a != '?') {
        return ErreurCommande{"MSG_ERREUR_OMISSION_MACHINE", {}};
    }
    if (commande.optionsDonnees && a != 'R' && a != 'S') {
        return ErreurCommande{"MSG_ERREUR_OPTION_NON_PERMISE1", {}};
    }
    if (commande.sansRecherche && (a == 'w' || a == 'u')) {
        return ErreurCommande{"MSG_ERREUR_OPTION_NON_PERMISE2", {}};
    }
    if (commande.attente > 0 && CodeAction(a) != 1 && CodeAction(a) != 2) {
        return ErreurCommande{"MSG_ERREUR_OPTION_NON_PERMISE_ATTENDRE", {}};
    }
    return std::nullopt;
}

int CodeAction(char lettre) {
    switch (lettre) {
        case 'w':
        case 'W':
            return 1;
        case 'n':
        case 'N':
            return 2;
        case 'R':
            return 3;
        case 'S':
            return 4;
        case 'l':
        case 'L':
            return 5;
        case 'c':
        case 'C':
            return 6;
        case 'h':
        case 'H':
            return 7;
        case 'r':
            return 8;
        case 'p':
        case 'P':
            return 9;
        case 's':
            return 10;
        case 'a':
        case 'A':
            return 11;
        default:
            return -1;
    }
}

size_t NombreChampsMax(int code) { return code == 1 ? 4 : code == 2 ? 3 : 1; }

}  // namespace velmora::batch
