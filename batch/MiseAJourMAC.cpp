// The MAC address update of the console program (/u).
#include "batch/Execution.h"
#include "batch/ListeTravail.h"
#include "common/config/Commun.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"

namespace velmora::batch {

namespace {

// Fields joined by "|" as they are: unlike Joindre, a leading empty field keeps its place.
std::string JoindreChamps(const std::vector<std::string>& champs) {
    std::string ligne;
    for (size_t i = 0; i < champs.size(); ++i) {
        if (i > 0) ligne += '|';
        ligne += champs[i];
    }
    return ligne;
}

}  // namespace

std::string LigneAvecNouvelleMAC(const std::string& ligne, const std::string& mac) {
    std::vector<std::string> champs = ExtraireChamp(ligne, "|");
    if (champs.size() <= 4) {
        // Older layout (name, comment, address, MAC): written in the six-field layout.
        Machine m = LireLigneMachine(ligne);
        return JoindreChamps({m.nom, m.adresse, "", "", mac, m.commentaire});
    }
    champs[4] = mac;  // every other field keeps its stored text
    return JoindreChamps(champs);
}

void MettreAJourMAC(const std::string& etendue, ContexteBatch& contexte) {
    Console& console = contexte.console;
    OperationsReseau& ops = contexte.operations;
    std::vector<std::string> champs = ExtraireChamp(etendue, ",");
    if (champs.size() > 1) {
        console.TerminerBatch(1, Texte("MSG_ERREUR_NOMBRE_PARAMETRES_INCORRECT"), false);
    }
    const std::string dossierDemande = Rogner(champs.empty() ? "" : champs[0]);
    const IniDocument document = LireDocumentIni(contexte.fichierConfig);
    if (!dossierDemande.empty() && !DossierExiste(document, dossierDemande)) {
        console.TerminerBatch(2, Texte("MSG_ERREUR_DOSSIER_NON_TROUVE", {dossierDemande}), false);
    }
    console.EcrireConsole(Texte("TXT_ACTION") + " " + Texte("TXT_MAJ_MAC") + kFinLigne);

    const std::vector<std::string> dossiers = dossierDemande.empty()
                                                  ? DossiersMachines(document)
                                                  : std::vector<std::string>{dossierDemande};
    for (const std::string& dossier : dossiers) {
        // The machines of a folder are pinged together, in one sweep.
        const std::vector<LigneNumerotee> lignes = LignesDossier(document, dossier);
        std::vector<std::string> adresses;
        for (const LigneNumerotee& ligne : lignes)
            adresses.push_back(NormaliserAdresseIP(LireLigneMachine(ligne.texte).adresse));
        std::vector<std::string> reponses = ops.PingerTout(adresses);
        reponses.resize(lignes.size());
        for (size_t k = 0; k < lignes.size(); ++k) {
            const LigneNumerotee& ligne = lignes[k];
            const Machine m = LireLigneMachine(ligne.texte);
            const std::string& adresse = adresses[k];
            console.EcrireConsole(dossier + "!" + m.nom + " (" + adresse + ") : ");

            std::string resultat;
            const std::string& adresseRepondante = reponses[k];
            if (adresseRepondante.empty()) {
                resultat = Texte("TXT_NE_REPOND_PAS");
            } else {
                // A host name is looked up by the address that answered for it.
                const std::string mac =
                    ops.ChercherAdresseMAC(EstAdresseIP(adresse) ? adresse : adresseRepondante);
                if (mac.empty()) {
                    resultat = Texte("TXT_MAC_IMPOSSIBLE");
                } else if (mac == m.adresseMAC) {
                    resultat = Texte("TXT_MAC_INCHANGEE");
                } else {
                    std::string erreur;
                    if (!EcrireIni(contexte.fichierConfig, dossier, CleMachine(ligne.numero),
                                   LigneAvecNouvelleMAC(ligne.texte, mac), &erreur)) {
                        // Stop here: the lines written before stay.
                        console.EcrireConsole(kFinLigne);
                        console.TerminerBatch(
                            1,
                            Texte("MSG_ERREUR",
                                  {std::to_string(kErreurEcritureFichier), "\t" + erreur}),
                            false);
                    }
                    resultat = Texte("TXT_MAC_NOUVELLE", {m.adresseMAC, mac});
                }
            }
            console.EcrireConsole(resultat + kFinLigne);
        }
    }
    console.EcrireConsole(kFinLigne);
    console.TerminerBatch(0, Texte("MSG_SUCCES") + kFinLigne, false);
    throw FinBatch{0};  // not reached
}

}  // namespace velmora::batch
