// Helpers of the console program's tests: temporary folders and files, running the built
// program; the fake of the network operations comes from tests/shared.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/shared/FauxReseau.h"

namespace velmora::batch::test {

// A fresh folder under /tmp, removed with its content at the end of the test.
class DossierTemporaire {
  public:
    DossierTemporaire();
    ~DossierTemporaire();
    const std::string& Chemin() const { return m_chemin; }
    // Writes `contenu` to `nom` in the folder and returns the full path.
    std::string Ecrire(const std::string& nom, const std::string& contenu) const;

  private:
    std::string m_chemin;
};

std::string LireFichier(const std::string& chemin);
// The text split at "\n" (a final "\n" gives a last empty element).
std::vector<std::string> Lignes(const std::string& texte);

// A Configuration file in French with the given extra "Config" lines and folder sections.
std::string ConfigTest(const std::string& lignesConfig, const std::string& dossiers);

struct Resultat {
    int code = -1;
    std::string sortie;
};
// The built VelmoraBatch.
inline constexpr const char* kProgramme = VELMORA_BINARY_DIR "/batch/VelmoraBatch";
// Runs `programme` with `arguments`, its standard output captured. `avant` is put in front of
// the program (e.g. {"unshare", "--net"}); `environnement` entries are added.
Resultat LancerBatch(const std::vector<std::string>& arguments,
                     const std::vector<std::pair<std::string, std::string>>& environnement = {},
                     const std::vector<std::string>& avant = {},
                     const std::string& programme = kProgramme);

// The shared fake of the network operations.
using velmora::fakes::FauxReseau;

}  // namespace velmora::batch::test
