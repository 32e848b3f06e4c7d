// The MAC address update of the console program (/u).
#include "batch/Execution.h"
#include "batch/ListeTravail.h"
#include "common/config/Commun.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/config/MiseAJourMachines.h"

namespace velmora::batch {

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

    // Stops the update on a write error: the lines written before stay.
    EcritureGroupeeMAC ecriture(contexte.fichierConfig);
    auto arreterSiErreur = [&](const std::optional<std::string>& erreur) {
        if (!erreur) return;
        console.EcrireConsole(kFinLigne);
        console.TerminerBatch(
            1, Texte("MSG_ERREUR", {std::to_string(kErreurEcritureFichier), "\t" + *erreur}),
            false);
    };

    const std::vector<std::string> dossiers = dossierDemande.empty()
                                                  ? DossiersMachines(document)
                                                  : std::vector<std::string>{dossierDemande};
    for (const std::string& dossier : dossiers) {
        for (const LigneNumerotee& ligne : LignesDossier(document, dossier)) {
            const Machine m = LireLigneMachine(ligne.texte);
            const std::string adresse = NormaliserAdresseIP(m.adresse);
            console.EcrireConsole(dossier + "!" + m.nom + " (" + adresse + ") : ");

            std::string resultat;
            std::string adresseRepondante;
            if (!ops.Pinger(adresse, adresseRepondante)) {
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
                    ecriture.Ajouter({dossier, ligne.numero, ligne.texte, mac});
                    resultat = Texte("TXT_MAC_NOUVELLE", {m.adresseMAC, mac});
                }
            }
            console.EcrireConsole(resultat + kFinLigne);
            arreterSiErreur(ecriture.Erreur());
        }
    }
    std::string erreur;
    if (!ecriture.Vider(&erreur)) arreterSiErreur(erreur);
    console.EcrireConsole(kFinLigne);
    console.TerminerBatch(0, Texte("MSG_SUCCES") + kFinLigne, false);
    throw FinBatch{0};  // not reached
}

}  // namespace velmora::batch
