// Program-wide values left by the start-up routine for the life of the process.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/config/Config.h"

namespace velmora {

enum class ModeDemarrage { GUI, BATCH };

struct Programme {
    ModeDemarrage mode = ModeDemarrage::BATCH;
    std::string ligneCommande;    // set by the caller before Initialiser
    std::string fichierConfig;    // full path of the Configuration file
    std::string dossierConfig;    // its folder, with a trailing "/"
    std::string options;          // the command line after the file name
    std::string langue;           // "Français" or a language file name without ".lng"
    std::string fichierLangue;    // full path of the language file, "" for "Français"
    bool configNouvelle = false;  // true when Langue was absent
    // The language named by Langue whose file was not found or could not be read (the texts are
    // then the French built-in ones and the program tells the user once); "" otherwise.
    std::string langueIntrouvable;
    ReglagesDemarrage reglages;
};

// The one instance of the process.
Programme& Prog();

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
