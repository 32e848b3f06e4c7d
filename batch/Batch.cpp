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

// Exit code of a run that found nothing to work on: the Configuration file, a folder or a
// machine is missing.
constexpr int kCodeFichierAbsent = 2;

// The switches every Linux console program answers: "--help", "-h", "--version".
enum class Convention { Aucune, Aide, Version };

Convention ConventionDe(const std::string& argument) {
    if (argument == "--help" || argument == "-h") return Convention::Aide;
    if (argument == "--version") return Convention::Version;
    return Convention::Aucune;
}

// The convention asked by the first argument, or by the second after a Configuration file
// name; that argument is removed. Nobody names a Configuration file "--help", and no switch of
// the program starts with "-".
Convention RetirerConvention(std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size() && i < 2; ++i) {
        const Convention c = ConventionDe(arguments[i]);
        if (c != Convention::Aucune && (i == 0 || arguments.size() == 2)) {
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
            return c;
        }
    }
    return Convention::Aucune;
}

// Start-up, parsing, checks, then the work. Ends by throwing FinBatch, or returns a code.
int Executer(std::vector<std::string> arguments, Console& console, std::ostream& erreurs,
             net::OperationsReseau& operations) {
    const Convention convention = RetirerConvention(arguments);
    if (convention == Convention::Version) {
        // Written before any language is chosen: the licence line reads the same in French
        // and in English.
        console.EcrireToujours(
            "VelmoraBatch " + platform::TexteVersion() + kFinLigne +
            "Licence GPL-3.0-or-later <https://www.gnu.org/licenses/gpl-3.0.html>" + kFinLigne);
        return 0;
    }
    Programme& prog = Prog();
    prog.mode = ModeDemarrage::BATCH;
    prog.ligneCommande = Rogner(platform::JoindreArguments(arguments));

    std::string message;
    const int statut = Initialiser(ModeDemarrage::BATCH, message);
    // A missing language file: French texts, and one line on standard error (the exit code and
    // standard output stay as they are).
    if (!prog.langueIntrouvable.empty()) erreurs << MessageLangueIntrouvable() << std::endl;
    // The usage text needs no Configuration file: only the language it is written in.
    if (convention == Convention::Aide) {
        AfficherSyntaxe(console);
        return 0;
    }
    // In the place of a file name, "--something" is an option this program does not know (the
    // start-up above only looked for a file of that name).
    if (convention == Convention::Aucune && !arguments.empty() && arguments[0].starts_with("--"))
        console.TerminerBatch(1, Texte("MSG_ERREUR_ACTION_OU_OPTION_INCONNUE", {arguments[0]}),
                              false);
    // The file is checked before the tools, and both before the command line. Standard error
    // tells a new user which file was looked for and how to get one. A file that is missing (a
    // folder in its place included), cannot be read or cannot be decoded ends with code 2:
    // nothing was done, and a script must not take it for a run that ended.
    if (statut == 1) {
        console.EcrireToujours(Texte("MSG_ERREUR_ABSENCE_FICHIER_CONFIG") + kFinLigne);
        erreurs << Texte("MSG_FICHIER_CONFIG_CHERCHE", {prog.fichierConfig}) << kFinLigne
                << std::flush;
        return kCodeFichierAbsent;
    }
    if (statut != 2 && !prog.configInutilisable.empty()) {
        console.EcrireToujours(prog.configInutilisable + kFinLigne);
        return kCodeFichierAbsent;
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
    if (commande.cadence >= 0) prog.reglages.cadenceBalayageLien = commande.cadence;

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
    console.EcrireConsole("VelmoraBatch " + platform::TexteVersion() + " - " +
                          Texte("TXT_BANNIERE") + Texte("SYNTAXE") + kFinLigne);
}

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie) {
    return ExecuterBatch(arguments, sortie, *net::OperationsCourantes());
}

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie,
                  std::ostream& erreurs) {
    return ExecuterBatch(arguments, sortie, erreurs, *net::OperationsCourantes());
}

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie,
                  net::OperationsReseau& operations) {
    return ExecuterBatch(arguments, sortie, std::cerr, operations);
}

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie,
                  std::ostream& erreurs, net::OperationsReseau& operations) {
    Console console(sortie);
    try {
        return Executer(arguments, console, erreurs, operations);
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
