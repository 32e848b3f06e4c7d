// File operations of the start-up that the INI module does not cover.
#pragma once

#include <string>
#include <vector>

namespace velmora::platform {

// Creates `dossier` and its missing parents with mode 0700. True when it exists afterwards as a
// folder; otherwise false with errno set.
bool CreerDossiers(const std::string& dossier);

// Copies `source` to `destination` through a temporary file of the destination's folder renamed
// over it, so that the destination is either absent or complete. The copy gets mode 0600. False
// with errno set when anything fails (the temporary file is then removed).
bool CopierFichier(const std::string& source, const std::string& destination);

// The names (not paths) of the regular files of `dossier` ending with `extension`, sorted.
// Empty when the folder cannot be read.
std::vector<std::string> ListerFichiers(const std::string& dossier, const std::string& extension);

// Writes `contenu` to `chemin` through a temporary file of the same folder renamed over it, so
// that a reader sees either the old or the new content. False with errno set on failure.
bool RemplacerFichier(const std::string& chemin, const std::string& contenu);

}  // namespace velmora::platform
