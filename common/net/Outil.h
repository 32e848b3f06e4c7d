// The programs that the network routines run (ping tool, Samba's net, the velmora-wmi helper):
// where they are found and how they are run, behind one replaceable function so that tests
// can substitute stand-ins.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::net {

struct ResultatOutil {
    bool lance = false;   // false: the program could not be started (`sortie` says why)
    bool expire = false;  // the time limit ended it
    bool arrete = false;  // the user's stop request ended it
    int statut = -1;      // exit status when it ended by itself
    std::string sortie;   // standard output and standard error together
};

// What a tool inherits besides its arguments: descriptors of this process given to it as
// (our descriptor, its number in the tool, 3 or more), and environment variables.
struct HeritageOutil {
    std::vector<std::pair<int, int>> descripteurs;
    std::vector<std::pair<std::string, std::string>> environnement;
};

// Runs argv[0] (a path) with the arguments argv[1..], without a shell, feeding `entree` on its
// standard input, for at most `delaiMs` milliseconds (output included: the tool's whole process
// group is ended at the limit).
using LanceurOutil =
    std::function<ResultatOutil(const std::vector<std::string>& argv, std::string_view entree,
                                int delaiMs, const HeritageOutil& heritage)>;

ResultatOutil LancerOutil(const std::vector<std::string>& argv, std::string_view entree,
                          int delaiMs, const HeritageOutil& heritage = {});
// Replaces the runner (an empty function restores the real one).
void DefinirLanceurOutil(LanceurOutil lanceur);

// The full path of program `nom`: an override set by DefinirCheminOutil, else the program
// folder, else PATH; "" when absent.
std::string TrouverOutil(const std::string& nom);
// The full path of helper program `nom` of this package (not a user command, so never looked
// up along PATH): an override set by DefinirCheminOutil, else the program folder (a program run
// from the build tree), else "../libexec/velmora/" beside the program folder (a package or
// `make install` under any prefix), else the libexec folder of the build's prefix; "" when
// absent.
std::string TrouverAssistant(const std::string& nom);
// Sets the path used for `nom` (an empty path removes the override; a path that is not an
// executable file makes the program count as absent).
void DefinirCheminOutil(const std::string& nom, const std::string& chemin);

}  // namespace velmora::net
