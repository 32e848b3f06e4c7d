// Refresh of the MAC addresses of every machine of the current folder: all machines are pinged
// at once, then, in list order, the MAC address of each that answered is looked up and written
// to its row when it differs.
// One log line per machine, rewritten in place with the result.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/net/Operations.h"

namespace velmora::gui {

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
// The probes (ping, MAC look-up) go through `sondes`, from the worker the executor gives.
bool MettreAJourMAC(ListeMAC& liste, JournalMAC& journal, net::OperationsReseau& sondes,
                    const Executeur& executeur = nullptr);

}  // namespace velmora::gui
