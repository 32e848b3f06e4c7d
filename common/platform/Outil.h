// The tool runner and the small system facts around it: where tools are found, system error
// texts, the platform family and the program's version text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora::platform {

// How ExecuterOutil runs one command.
struct OptionsOutil {
    int delaiMaxMs = 10000;  // the tool (and what it started) is killed after this long
    // Polled about every 20 ms while the tool runs; true stops it. When empty, the hook of
    // DefinirAttenteOutils is used.
    std::function<bool()> arreter;
    std::optional<std::string> entree;  // written to the tool's standard input
    // Variables added to the tool's environment.
    std::vector<std::pair<std::string, std::string>> environnement;
};

// Output bytes kept by ExecuterOutil.
inline constexpr std::size_t kTailleSortieOutil = 4096;

// Runs a command line without a shell (split as a shell would, see SeparerArguments; a program
// name without "/" is looked up with CheminOutil) through CurrentProcessRunner(). True when the
// program was started and its output read, even if it ended in failure or was stopped at the
// time limit (what it printed until then is returned). False, with no lines, when the command
// line is empty or malformed, or the program cannot be found or started.
//
// The first 4096 bytes of standard output and error are kept; tabs and carriage returns are
// removed, each pair of consecutive line feeds becomes one (a single left-to-right pass), and the
// text is split at line feeds into `lignes` (a final line feed gives a last empty line). Output
// that is not UTF-8 is read as Windows-1252. `statut`, when given, receives the exit status (-1
// when the tool was killed or could not run).
bool ExecuterOutil(const std::string& ligneCommande, std::vector<std::string>* lignes = nullptr,
                   const OptionsOutil& options = {}, int* statut = nullptr);

// The cleaning and splitting of ExecuterOutil on raw output already cut to size; `coupee` tells
// that bytes were dropped after it (a partial UTF-8 character at the end is then removed). Pure.
std::vector<std::string> LignesSortieOutil(std::string sortie, bool coupee = false);

// Sets the hook that every tool run without its own stop callback polls while waiting (the
// windowed program lets its events run there and returns its stop request). Empty: none.
void DefinirAttenteOutils(std::function<bool()> attente);
// The hook set by DefinirAttenteOutils (empty when none), for callers that run their tools
// through CurrentProcessRunner() with their own request.
std::function<bool()> AttenteOutilsCourante();

// The full path of `nom` in the first folder of the search list that holds it as an executable
// file: the program folder, then each folder of $PATH. "" when none does.
std::string CheminOutil(const std::string& nom);

// The system's message for an errno value, line breaks removed.
std::string TexteErreurSysteme(int code);

// Kept for the callers that offer NT-only features: always true here.
bool EstWindowsNT();

// The program's version as shown to the user (from the build's version numbers).
std::string TexteVersion();
// The version text of given numbers. A revision below 100: "v" major "." minor, then "."
// revision when it is 1 or more (2,5,0 -> v2.5; 2,5,3 -> v2.5.3). A revision of 100 or more,
// written d1 d2 d3 d4: "v" d1 "." d2, "." d3 unless d3 is 0, " beta " and the value of d4
// (1203 -> v1.2 beta 3; 1213 -> v1.2.1 beta 3). Pure.
std::string FormaterVersion(int majeur, int mineur, int revision);

}  // namespace velmora::platform
