// Refresh of the MAC addresses of every machine of the current folder: all machines are pinged
// at once, then, in list order, the MAC address of each that answered is looked up and written
// to its row when it differs.
// One log line per machine, rewritten in place with the result.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::gui {

// The two probes used here (common/net in the program, a fake in tests). Called from a worker
// thread: implementations must be thread-safe.
class SondesMAC {
  public:
    virtual ~SondesMAC() = default;
    // True when `adresse` answers; `adresseReponse` is the dotted address that answered.
    virtual bool Pinger(const std::string& adresse, std::string& adresseReponse) = 0;
    // Pings every address at once: the dotted address that answered for each, "" for none.
    // The program sweeps them on one socket; this default calls Pinger for each in turn.
    virtual std::vector<std::string> PingerTout(const std::vector<std::string>& adresses);
    // Six pairs joined by "-", or "" when unknown.
    virtual std::string ChercherAdresseMAC(const std::string& adresse) = 0;
};
// The probes of the program: common/net, unless a test installed a maker of its own
// (DefinirSondesMAC; nullptr restores common/net).
std::unique_ptr<SondesMAC> CreerSondesMAC();
void DefinirSondesMAC(std::function<std::unique_ptr<SondesMAC>()> fabrique);

// The rows being refreshed.
class ListeMAC {
  public:
    virtual ~ListeMAC() = default;
    virtual int Nombre() const = 0;
    virtual std::string Nom(int ligne) const = 0;
    virtual std::string Adresse(int ligne) const = 0;
    virtual std::string MAC(int ligne) const = 0;
    // Writes the new MAC address and marks the folder as changed.
    virtual void DefinirMAC(int ligne, const std::string& mac) = 0;
};

// The progress window as this operation uses it.
class JournalMAC {
  public:
    virtual ~JournalMAC() = default;
    // Appends a line, selects it and returns its position.
    virtual int Ajouter(const std::string& ligne) = 0;
    // Rewrites the line at `position` and selects it.
    virtual void Remplacer(int position, const std::string& ligne) = 0;
    // Lets window events run (the stop button); true when the user asked to stop.
    virtual bool ArretDemande() = 0;
};

// Runs the probes of one machine off the UI thread while window events run; the default runs
// them in place (tests).
using Executeur = std::function<void(const std::function<void()>&)>;

// Processes every row in order until the end or a stop request. Returns true when stopped.
// The caller shows the final caption, TXT_TRAITEMENT_ARRETE or TXT_TRAITEMENT_TERMINE.
bool MettreAJourMAC(ListeMAC& liste, JournalMAC& journal, SondesMAC& sondes,
                    const Executeur& executeur = nullptr);

}  // namespace velmora::gui
