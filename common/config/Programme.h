// Program-wide values left by the start-up routine (common/startup/Initialiser.h) for the life
// of the process.
#pragma once

#include <string>

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
    // Why the existing Configuration file cannot be used (it cannot be read, or its encoding is
    // not supported), translated; "" otherwise. Such a file is never written.
    std::string configInutilisable;
    ReglagesDemarrage reglages;
};

// The one instance of the process.
Programme& Prog();

}  // namespace velmora
