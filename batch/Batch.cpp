#include "batch/Batch.h"

#include <iostream>
#include <new>
#include <system_error>

#include "batch/Console.h"
#include "batch/Execution.h"
#include "batch/LigneCommande.h"
#include "common/config/Programme.h"
#include "common/platform/LigneCommande.h"
#include "common/platform/Outil.h"
#include "common/startup/Initialiser.h"

namespace velmora::batch {

namespace {

constexpr const char* kBanniere = "réveil et arrêt des machines du réseau en ligne de commande";

// Start-up, parsing, checks, then the work. Ends by throwing FinBatch, or returns a code.
int Executer(const std::vector<std::string>& arguments, Console& console,
             net::OperationsReseau& operations) {
    Programme& prog = Prog();
    prog.mode = ModeDemarrage::BATCH;
    prog.ligneCommande = Rogner(platform::JoindreArguments(arguments));

    std::string message;
    const int statut = Initialiser(ModeDemarrage::BATCH, message);
    // A missing language file: French texts, and one line on standard error (the exit code and
    // standard output stay as they are).
    if (!prog.langueIntrouvable.empty()) std::cerr << MessageLangueIntrouvable() << std::endl;
    // The file is checked before the tools, and both before the command line.
    if (statut == 1) {
        console.EcrireToujours(Texte("MSG_ERREUR_ABSENCE_FICHIER_CONFIG") + kFinLigne);
        return 0;
    }
    if (statut == 2) {
        console.EcrireToujours(message + kFinLigne);
        return 0;
    }
    if (Rogner(prog.options).empty()) {
        AfficherSyntaxe(console);
        return 0;
    }

    Commande commande;
    commande.message = prog.reglages.messageParDefaut;
    commande.delai = prog.reglages.delaiAvantRedemarrage;
    commande.forcer = prog.reglages.forcerParDefaut;
    std::optional<ErreurCommande> erreur = AnalyserOptions(prog.options, commande);
    console.DefinirSilencieux(commande.silencieux);
    if (!erreur) erreur = VerifierCommande(commande);
    if (erreur) console.TerminerBatch(1, Texte(erreur->cle, erreur->valeurs), false);

    ContexteBatch contexte{console, operations, prog.fichierConfig, prog.reglages};
    if (commande.action == '?') {
        AfficherSyntaxe(console);
        return 0;
    }
    if (commande.action == 'u' || commande.action == 'U') {
        MettreAJourMAC(commande.etendue, contexte);
    }
    ExecuterTravail(commande, contexte);
}

int NumeroErreur(const std::exception& e) {
    if (auto* s = dynamic_cast<const std::system_error*>(&e)) return s->code().value();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return 7;
    return kErreurInattendue;
}

}  // namespace

void AfficherSyntaxe(Console& console) {
    console.EcrireConsole("VelmoraBatch " + platform::TexteVersion() + " - " + kBanniere +
                          Texte("SYNTAXE") + kFinLigne);
}

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie) {
    return ExecuterBatch(arguments, sortie, *net::OperationsCourantes());
}

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie,
                  net::OperationsReseau& operations) {
    Console console(sortie);
    try {
        return Executer(arguments, console, operations);
    } catch (const FinBatch& fin) {
        return fin.code;
    } catch (const std::exception& e) {
        console.EcrireToujours(
            Texte("MSG_ERREUR", {std::to_string(NumeroErreur(e)), std::string("\t") + e.what()}) +
            kFinLigne);
        return 1;
    } catch (...) {
        console.EcrireToujours(Texte("MSG_ERREUR", {std::to_string(kErreurInattendue), "\t?"}) +
                               kFinLigne);
        return 1;
    }
}

}  // namespace velmora::batch
