// The work of a checked command line: the machines of the run and the action on each of them
// (ExecuterTravail), or the MAC address update of folders (MettreAJourMAC). Both end the run
// through Console::TerminerBatch, so they never return normally.
#pragma once

#include "common/config/MiseAJourMachines.h"

#include <string>

#include "batch/Console.h"
#include "batch/LigneCommande.h"
#include "common/config/Config.h"
#include "common/net/Operations.h"

namespace velmora::batch {

// What a run works with.
struct ContexteBatch {
    Console& console;
    net::OperationsReseau& operations;
    std::string fichierConfig;
    const ReglagesDemarrage& reglages;
};

// Error numbers shown in MSG_ERREUR.
inline constexpr int kErreurInattendue = 5;
inline constexpr int kErreurEcritureFichier = 75;

// Splits the étendue, writes the "Action :" line (and "Sélection multiple :" for a pattern),
// builds the work list (direct designation, single address, or look-up in the folders), runs
// the action of `commande` on every machine and ends the run: 0 after "Traitement terminé.",
// 1 for a wrong étendue, 2 when the folder or machine is not found, 3 or 4 when the only
// machine of a remote power action does not answer or refuses.
[[noreturn]] void ExecuterTravail(const Commande& commande, ContexteBatch& contexte);

// Pings every machine of one folder (`etendue`) or of all folders ("") and writes back each
// line whose MAC address has changed, soon after it is found (the lines found within a quarter
// of a second go in one rewrite); each line is taken again from the file just before it is
// written, so only the MAC field changes and a machine deleted meanwhile stays deleted (older
// layouts are rewritten in the six-field layout). Ends with 0, 1 (more than one field, or a line
// that could not be written: the lines already written stay) or 2 (unknown folder).
[[noreturn]] void MettreAJourMAC(const std::string& etendue, ContexteBatch& contexte);

using velmora::LigneAvecNouvelleMAC;

}  // namespace velmora::batch
