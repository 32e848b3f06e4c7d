// Writing back machine lines that a long run changed (the MAC address update): each line is
// taken again from the file, under its lock, just before it is written, so that what other
// programs did meanwhile (an edited field, a deleted machine, a renumbered folder) is kept; and
// the lines found within a short interval go to disk in one rewrite, so that a large file is not
// rewritten once per machine.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/config/Machine.h"

namespace velmora {

// A machine line with `mac` in place of its MAC address: the fifth field of a line of five
// fields or more (all others kept as stored), or the six-field layout for an older line of one
// to four fields (name, address, empty mask, empty port, MAC, comment).
std::string LigneAvecNouvelleMAC(const std::string& ligne, const std::string& mac);

// A new MAC address found for a machine line read earlier.
struct NouvelleMAC {
    std::string dossier;
    size_t numero = 0;     // the line was "Machine" + numero
    std::string ligneLue;  // the line as it was read then
    std::string mac;
};

// Writes the new addresses in one locked rewrite. Each machine is looked for in the file as it
// is now: at its number when the line there still has the same name and address, else at the
// first line of its folder (up to NbMachines) that has them; only the MAC field of that line
// changes. A machine that is no longer there stays deleted. `ecrites` (when given) receives,
// per change, whether it was written. False (with `erreur`) when the file could not be read or
// written: nothing was written then.
bool EcrireNouvellesMAC(const std::string& fichier, const std::vector<NouvelleMAC>& changements,
                        std::vector<bool>* ecrites = nullptr, std::string* erreur = nullptr);

// A row of a folder that the windowed program saves: the machine as shown, and the line it was
// loaded from (nullopt for a row added since).
struct LigneSauvee {
    Machine machine;
    std::optional<std::string> ligneChargee;
};

// Saves a folder as SauvegarderDossier does, but keeps what another program changed meanwhile.
// Each loaded row is matched with the machine's line as it is in the file now (the same line,
// else the first line not yet taken with the loaded name and address). A row that the program
// did not change (its line is still `ligneChargee`) takes the file's line, and is left out when
// the machine is no longer in the folder (deleted meanwhile); a row changed here takes the
// fields changed here and the file's value of the others. `chargees` holds every line of the
// folder as this program loaded it (rows it deleted since included): a line of the file that
// matches none of them (nor a row) was added by another program meanwhile and is kept, after
// the rows; a line loaded here whose row was deleted here stays deleted. `ecrites` receives the
// machines written, in order. False (with `erreur`) when the file could not be read or written.
bool SauvegarderDossierFusion(const std::string& fichier, std::string_view dossier,
                              const std::vector<LigneSauvee>& lignes,
                              const std::vector<std::string>& chargees,
                              std::vector<Machine>* ecrites = nullptr,
                              std::string* erreur = nullptr);

// Gathers the new addresses of a run and writes them with EcrireNouvellesMAC from a thread of
// its own, at most `intervalle` after the first one that waits: a killed run loses at most that
// interval's lines, and a run over a large file rewrites it a few times per second at most.
class EcritureGroupeeMAC {
  public:
    explicit EcritureGroupeeMAC(
        std::string fichier, std::chrono::milliseconds intervalle = std::chrono::milliseconds(250));
    ~EcritureGroupeeMAC();  // writes what still waits
    EcritureGroupeeMAC(const EcritureGroupeeMAC&) = delete;
    EcritureGroupeeMAC& operator=(const EcritureGroupeeMAC&) = delete;

    // Queues a line; returns its number (from 0, in the order of addition).
    size_t Ajouter(NouvelleMAC changement);
    // What became of the line of that number: written, left out because the machine is no
    // longer in the file, failed (the file could not be written), or still waiting.
    enum class Etat { EnAttente, Ecrite, Disparue, Echec };
    Etat EtatLigne(size_t numero) const;
    // The first error of a write made so far, if any (the run should stop).
    std::optional<std::string> Erreur() const;
    // Writes what waits now. False with the first error met by this or an earlier write.
    bool Vider(std::string* erreur = nullptr);
    // Number of rewrites made so far.
    size_t Reecritures() const;

  private:
    void Boucle();
    void Ecrire(std::unique_lock<std::mutex>& verrou);
    const std::string m_fichier;
    const std::chrono::milliseconds m_intervalle;
    mutable std::mutex m_mutex;
    std::condition_variable m_signal;
    std::vector<NouvelleMAC> m_enAttente;
    std::vector<Etat> m_etats;  // by line number
    std::chrono::steady_clock::time_point m_premier;
    bool m_ecritureEnCours = false;
    bool m_fin = false;
    std::optional<std::string> m_erreur;
    size_t m_reecritures = 0;
    std::thread m_fil;
};

}  // namespace velmora
