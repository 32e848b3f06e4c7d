// Helpers of the console program's tests: temporary folders and files, running the built
// program, and a hand-written fake of the network operations.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "batch/OperationsReseau.h"

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
    std::string erreurs;  // standard error
};
// The built VelmoraBatch.
inline constexpr const char* kProgramme = VELMORA_BINARY_DIR "/batch/VelmoraBatch";
// Runs `programme` with `arguments`, its standard output and standard error captured. `avant` is
// put in front of the program (e.g. {"unshare", "--net"}); `environnement` entries are added.
Resultat LancerBatch(const std::vector<std::string>& arguments,
                     const std::vector<std::pair<std::string, std::string>>& environnement = {},
                     const std::vector<std::string>& avant = {},
                     const std::string& programme = kProgramme);

// The network as the tests want it: which addresses answer, refuse, their MAC addresses; every
// call is recorded.
class FauxReseau : public OperationsReseau {
  public:
    std::set<std::string> repondent;           // addresses that answer the ping
    std::map<std::string, std::string> refus;  // address -> error text of a refusal
    std::map<std::string, std::string> macs;   // address -> MAC found
    std::string erreurPaquet;                  // non-empty: every send fails with it
    bool relaisRepond = true;
    std::string panne;                // non-empty: Pinger throws it (unexpected error)
    std::vector<std::string> appels;  // one text per call, in order
    std::vector<long long> pauses;    // ms
    // Called before each MAC look-up with the number of look-ups made so far.
    std::function<void(int)> avantRechercheMAC;

    bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque, long long port,
                              const std::string& mac, std::string& adresseEnvoi,
                              std::string& erreur) override;
    bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                              std::string& reponse) override;
    bool Pinger(const std::string& adresse, std::string& adresseRepondante) override;
    std::string ChercherAdresseMAC(const std::string& adresse) override;
    bool ArreterADistance(const std::string& adresse, long long delai, const std::string& message,
                          bool forcer, bool redemarrer, const std::string& login,
                          const std::string& motDePasse, std::string& erreur) override;
    bool AnnulerArret(const std::string& adresse, const std::string& login,
                      const std::string& motDePasse, std::string& erreur) override;
    bool ActionWMI(const std::string& adresse, int code, const std::string& login,
                   const std::string& motDePasse, std::string& erreur) override;
    void Attendre(long long millisecondes) override { pauses.push_back(millisecondes); }

  private:
    bool Refuse(const std::string& adresse, std::string& erreur) const;
    int m_recherchesMAC = 0;
};

}  // namespace velmora::batch::test
