#include "batch/Execution.h"

#include "common/platform/Process.h"

#include "batch/ListeTravail.h"
#include "common/config/IniFile.h"
#include "common/net/ReveilInternet.h"
#include "common/text/Commun.h"

namespace velmora::batch {

namespace {

constexpr const char* kPrefixeResultat = "   -> ";

std::vector<std::string> ChampsEtendue(const std::string& etendue) {
    std::vector<std::string> champs = ExtraireChamp(etendue, ",");
    for (std::string& champ : champs) champ = Rogner(champ);
    return champs;
}

[[noreturn]] void Erreur(Console& console, int code, std::string_view cle,
                         const std::vector<std::string>& valeurs = {}) {
    console.TerminerBatch(code, Texte(cle, valeurs), false);
    throw FinBatch{code};  // not reached: TerminerBatch ends the run
}

// A direct designation: address, MAC, then optional port and mask.
EntreeTravail DesignationDirecte(const std::vector<std::string>& champs, int code,
                                 Console& console) {
    if (champs.size() > NombreChampsMax(code)) {
        Erreur(console, 1, "MSG_ERREUR_NOMBRE_PARAMETRES_INCORRECT");
    }
    EntreeTravail entree;
    entree.adresse = champs[0];
    entree.adresseMAC = champs[1];
    entree.port = champs.size() > 2 ? champs[2] : "";
    entree.masque = champs.size() > 3 ? champs[3] : "";
    if (entree.adresseMAC.empty() || !EstAdresseMAC(entree.adresseMAC)) {
        Erreur(console, 1, "MSG_ERREUR_MAUVAISE_MAC", {entree.adresseMAC});
    }
    if (!entree.port.empty() && !EstPort(entree.port)) {
        Erreur(console, 1, "MSG_ERREUR_MAUVAIS_PORT", {entree.port});
    }
    if (!entree.masque.empty() && !EstAdresseIP(entree.masque)) {
        Erreur(console, 1, "MSG_ERREUR_MAUVAIS_MASQUE", {entree.masque});
    }
    return entree;
}

ListeTravail ConstruireListe(const Commande& commande, int code,
                             const std::vector<std::string>& champs, ContexteBatch& contexte) {
    Console& console = contexte.console;
    if (champs.size() >= 2) return {DesignationDirecte(champs, code, console)};
    const std::string& designation = champs[0];
    if (EstAdresseIP(designation) || commande.sansRecherche) {
        // A wake needs a MAC address, which a lone address does not give.
        if (code == 1 || code == 2) Erreur(console, 1, "MSG_ERREUR_NOMBRE_PARAMETRES_INCORRECT");
        EntreeTravail entree;
        entree.adresse = designation;
        return {entree};
    }
    ListeTravail liste;
    int trouves = ChercherMachines(LireDocumentIni(contexte.fichierConfig), designation, liste);
    size_t point = designation.find('!');
    if (trouves < 0) {
        Erreur(console, 2, "MSG_ERREUR_DOSSIER_NON_TROUVE", {designation.substr(0, point)});
    }
    if (trouves == 0) {
        std::string machine =
            point == std::string::npos ? designation : designation.substr(point + 1);
        Erreur(console, 2, "MSG_ERREUR_MACHINE_NON_TROUVEE", {machine});
    }
    return liste;
}

// The body of a relay's answer on one console line block, without its trailing line ends.
std::string SansFinDeLigne(std::string texte) {
    texte = Remplacer(texte, "\r\n", "\n");
    while (!texte.empty() && (texte.back() == '\n' || texte.back() == '\r')) texte.pop_back();
    return texte;
}

// A machine's port that is not plain decimal 0-65535 ("0x9", "9&key=x") is refused as typed,
// never sent as some other number.
bool PortRefuse(const EntreeTravail& entree, ContexteBatch& contexte) {
    if (entree.port.empty() || EstPort(entree.port)) return false;
    contexte.console.EcrireConsole(kPrefixeResultat +
                                   Texte("MSG_ERREUR_MAUVAIS_PORT", {entree.port}) + kFinLigne);
    return true;
}

void Reveiller(const EntreeTravail& entree, ContexteBatch& contexte) {
    if (PortRefuse(entree, contexte)) return;
    const ReglagesDemarrage& r = contexte.reglages;
    std::string masque = entree.masque.empty() ? r.masqueParDefaut : entree.masque;
    long long port = entree.port.empty() ? r.portParDefautWOL : Val(entree.port);
    std::string adresseEnvoi, erreur;
    if (contexte.operations.EnvoyerPaquetMagique(entree.adresse, masque, port, entree.adresseMAC,
                                                 adresseEnvoi, erreur)) {
        contexte.console.EcrireConsole(
            kPrefixeResultat + Texte("TXT_PAQUET_ENVOYE", {adresseEnvoi, std::to_string(port)}) +
            kFinLigne);
    } else {
        contexte.console.EcrireConsole(kPrefixeResultat +
                                       Texte("MSG_ERREUR_ACTION_COURT", {erreur}) + kFinLigne);
    }
}

void ReveillerViaInternet(const EntreeTravail& entree, ContexteBatch& contexte) {
    if (PortRefuse(entree, contexte)) return;
    long long port = entree.port.empty() ? contexte.reglages.portParDefautWOW : Val(entree.port);
    std::string reponse;
    std::string ligne;
    if (contexte.operations.ReveillerParInternet(entree.adresse, port, entree.adresseMAC,
                                                 reponse)) {
        ligne = SansFinDeLigne(reponse);
    } else {
        // The service's own answer ("403 Forbidden: wrong key", what to configure) tells the
        // user what to fix; the fixed message alone does not.
        ligne = Texte("MSG_ERREUR_REVEIL_VIA_INTERNET_COURT");
        const std::string resume = net::ResumeReponse(reponse);
        if (!resume.empty()) ligne += " : " + resume;
    }
    contexte.console.EcrireConsole(kPrefixeResultat + ligne + kFinLigne);
}

// A remote power action (codes 3 to 11) on one machine. With several machines a failure is
// reported and the run goes on; on the only machine it ends the run with 3 or 4.
void AgirADistance(const EntreeTravail& entree, const Commande& commande, int code, bool plusieurs,
                   ContexteBatch& contexte) {
    net::OperationsReseau& ops = contexte.operations;
    std::string adresseRepondante;
    if (!ops.Pinger(entree.adresse, adresseRepondante)) {
        contexte.console.TerminerBatch(3, kPrefixeResultat + Texte("TXT_NE_REPOND_PAS") + kFinLigne,
                                       plusieurs);
        return;
    }
    const std::string motDePasse = DecoderMotDePasse(entree.motDePasse);
    std::string erreur;
    bool accepte;
    if (code == 3 || code == 4) {
        accepte =
            ops.ArreterADistance(entree.adresse, commande.delai, commande.message, commande.forcer,
                                 code == 3, entree.login, motDePasse, erreur);
    } else if (code == 11) {
        accepte = ops.AnnulerArret(entree.adresse, entree.login, motDePasse, erreur);
    } else {
        accepte = ops.ActionWMI(entree.adresse, code, entree.login, motDePasse, erreur);
    }
    if (accepte) {
        contexte.console.EcrireConsole(kPrefixeResultat + Texte("TXT_TRAITEMENT_OK") + kFinLigne);
    } else {
        contexte.console.TerminerBatch(
            4, kPrefixeResultat + Texte("TXT_DEMANDE_REJETEE") + " : " + erreur + kFinLigne,
            plusieurs);
    }
}

// Waits for the woken machines (/attendre:S[,PORT]), one line for each as it comes up and one
// for each that did not. True when all came up.
bool AttendreReveil(const ListeTravail& liste, const Commande& commande, ContexteBatch& contexte) {
    Console& console = contexte.console;
    const std::string secondes = std::to_string(commande.attente);
    console.EcrireConsole(
        kFinLigne +
        (commande.portAttente > 0
             ? Texte("TXT_ATTENTE_PORT", {std::to_string(commande.portAttente), secondes})
             : Texte("TXT_ATTENTE_MACHINES", {secondes})) +
        kFinLigne);
    std::vector<std::string> adresses;
    for (const EntreeTravail& entree : liste) adresses.push_back(entree.adresse);
    auto nom = [&](size_t i) { return liste[i].nom.empty() ? liste[i].adresse : liste[i].nom; };
    const std::vector<long long> durees = contexte.operations.AttendreMachines(
        adresses, commande.attente * 1000, commande.portAttente, [&](size_t i, long long ms) {
            console.EcrireConsole(" - " + nom(i) + " : " +
                                  Texte("TXT_MACHINE_PRETE", {std::to_string((ms + 500) / 1000)}) +
                                  kFinLigne);
        });
    if (platform::SignalArretRecu()) throw FinBatch{1};  // SIGINT or SIGTERM: stop here
    bool toutes = true;
    for (size_t i = 0; i < liste.size(); ++i) {
        if (i < durees.size() && durees[i] >= 0) continue;
        toutes = false;
        console.EcrireConsole(" - " + nom(i) + " : " + Texte("TXT_MACHINE_PAS_PRETE", {secondes}) +
                              kFinLigne);
    }
    return toutes;
}

}  // namespace

void ExecuterTravail(const Commande& commande, ContexteBatch& contexte) {
    Console& console = contexte.console;
    const int code = CodeAction(commande.action);
    const std::vector<std::string> champs = ChampsEtendue(commande.etendue);

    console.EcrireConsole(Texte("TXT_ACTION") + " " +
                          SansEsperluette(Texte(CleLibelleAction(code))) + kFinLigne);
    if (champs[0].find_first_of("*?") != std::string::npos) {
        console.EcrireConsole(Texte("TXT_SELECTION_MULTIPLE") + " " + champs[0] + kFinLigne);
    }

    const ListeTravail liste = ConstruireListe(commande, code, champs, contexte);
    const long long pause = code == 1   ? contexte.reglages.delaiEntreDeuxReveilsWOL
                            : code == 2 ? contexte.reglages.delaiEntreDeuxReveilsWOW
                                        : 0;  // ms
    const bool plusieurs = liste.size() >= 2;
    bool adressePriveeVue = false;

    for (size_t i = 0; i < liste.size(); ++i) {
        if (platform::SignalArretRecu()) throw FinBatch{1};  // SIGINT or SIGTERM: stop here
        const EntreeTravail& entree = liste[i];
        if (i > 0 && pause >= 1) {
            console.EcrireConsole(" - " + Texte("TXT_ATTENTE", {std::to_string(pause)}) +
                                  kFinLigne);
            contexte.operations.Attendre(pause, nullptr);
        }
        const std::string& affiche = entree.nom.empty() ? entree.adresse : entree.nom;
        console.EcrireConsole(
            " - " + affiche + " : " +
            Texte(code == 2 ? "TXT_DEMANDE_VIA_INTERNET" : "TXT_DEMANDE", {entree.adresse}) +
            kFinLigne);
        if (code == 1) {
            Reveiller(entree, contexte);
        } else if (code == 2) {
            if (EstAdressePrivee(entree.adresse)) adressePriveeVue = true;
            ReveillerViaInternet(entree, contexte);
        } else {
            AgirADistance(entree, commande, code, plusieurs, contexte);
        }
    }

    const bool prets = commande.attente <= 0 || AttendreReveil(liste, commande, contexte);
    console.EcrireConsole(kFinLigne);
    if (code == 2 && adressePriveeVue) {
        console.EcrireConsole(Texte("MSG_ERREUR_REVEIL_VIA_INTERNET_IP_PRIVEE") + kFinLigne +
                              kFinLigne);
    }
    if (!prets)
        console.TerminerBatch(3, Texte("MSG_ERREUR_MACHINES_PAS_PRETES") + kFinLigne, false);
    console.TerminerBatch(0, Texte("MSG_SUCCES") + kFinLigne, false);
    throw FinBatch{0};  // not reached
}

}  // namespace velmora::batch
