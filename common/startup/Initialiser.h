// The start-up routine of both programs: where the Configuration file is, its first keys, the
// language and the ping check. It fills Prog() (common/config/Programme.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/config/Programme.h"

namespace velmora {

// Start-up of both programs. Returns -1 ready; 0 ready but the command line does not fit the
// mode (GUI expects no options, BATCH expects some); 1 BATCH and the Configuration file does not
// exist; 2 failure, with the translated message in `message`.
int Initialiser(ModeDemarrage mode, std::string& message);

// What Initialiser asks of its surroundings besides platform::SystemeCourant() (program folder,
// home, environment). Empty members take the real answers; tests fill them.
struct EnvironnementDemarrage {
    std::function<bool()> methodePingDisponible;  // default: net::MethodePingDisponible
    std::function<int()> langueSysteme;           // default: i18n::LangueSysteme
    std::optional<bool> programmeInstalle;        // default: ProgrammeInstalle()
    std::vector<std::string> dossiersLangues;     // default: see DossiersLangues()
};
int Initialiser(ModeDemarrage mode, std::string& message, const EnvironnementDemarrage& env);

// The text that tells the user that the language file of Prog().langueIntrouvable is missing.
std::string MessageLangueIntrouvable();

// Folders searched for the *.lng files, with a trailing "/": the program folder, and for an
// installed program also <prefix>/share/velmora/ (beside the program, then the build's own).
std::vector<std::string> DossiersLangues(bool programmeInstalle);

}  // namespace velmora
