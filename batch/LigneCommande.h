// The options of VelmoraBatch's command line: their parsing into one Commande and the checks
// made before any machine is touched. (The text itself is built from the arguments by
// platform::JoindreArguments, and its file name split off by the start-up.)
//
// Grammar: "VelmoraBatch [fichier_ini] action [options]". Tokens are compared exactly (case
// matters: "/R:" restarts, "/r:" restarts through WMI). A value runs from its token to the next
// "/" unless it is enclosed in double quotes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/i18n/Traduction.h"

namespace velmora::batch {

// The parsed command line of one run.
struct Commande {
    char action = 0;              // the action letter ("w", "R", "u", "?" ...), 0 when none
    std::string etendue;          // the value of the action switch
    bool silencieux = false;      // /d
    bool sansRecherche = false;   // /i
    std::string message;          // /m:, "§" already turned into CR LF
    long long delai = 60;         // seconds: /t: (0..32767) or the configured default
    bool forcer = false;          // /f:
    bool optionsDonnees = false;  // any of /m:, /t:, /f: was given
    long long attente = 0;        // /attendre: seconds to wait for woken machines, 0: none
    int portAttente = 0;          // /attendre:S,PORT: wait for this TCP port, 0: for a ping
    long long cadence = -1;       // /cadence: on-link probes a second (0: no limit), -1: setting
};

// A refused command line: the key of its message and the values that fill it.
struct ErreurCommande {
    std::string cle;
    std::vector<std::string> valeurs;
};

// The text without its leading and trailing spaces.
std::string Rogner(std::string_view texte);
std::string RognerGauche(std::string_view texte);

// Takes the value that starts at 1-based `position` of `reste` and removes it (and what came
// before it) from `reste`. A value that opens with a double quote runs to the next double quote
// (kept unchanged; no closing quote gives an empty value and an empty rest); any other value
// runs to the next "/" (or the end) and is trimmed. The rest keeps no leading spaces.
std::string ExtraireValeur(std::string& reste, size_t position);

// Parses the options text into `commande` (whose option fields hold the configured defaults).
// Returns the error of the first refused token; `commande` then holds what came before it.
std::optional<ErreurCommande> AnalyserOptions(std::string_view options, Commande& commande);

// The checks that follow the parsing, in their order: an action is given, a machine is given
// (except for "u" and "?"), /m /t /f only with "R" and "S", /i never with "w" or "u",
// /attendre only with a wake ("w", "W", "n", "N").
std::optional<ErreurCommande> VerifierCommande(const Commande& commande);

// The action code (1 to 11) of an action letter, -1 for "u", "U", "?" and unknown letters.
int CodeAction(char lettre);
using i18n::CleLibelleAction;  // the key of the label of an action code
// How many fields of an étendue an action accepts: 4 for a wake, 3 for a wake via Internet,
// 1 for the others.
size_t NombreChampsMax(int code);

}  // namespace velmora::batch
