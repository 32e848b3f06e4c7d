// The network operations the windowed program calls on a machine, behind one interface so that
// tests replace them with a hand-written fake. The real implementation calls common/net.
//
// Every method may be called from a worker thread (the window runs them off the UI thread so
// that it stays responsive); implementations must be thread-safe.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::gui {

class OperationsReseau {
  public:
    virtual ~OperationsReseau() = default;

    // True when `adresse` (normalised) answers one ping within TempoPing.
    virtual bool Pinger(const std::string& adresse) = 0;
    // Pings every address and calls `surReponse`(position, answered) as each is decided, in
    // any order, on the calling thread, until all are or `arret` becomes true. The real
    // operations sweep them all at once; this default pings them one after the other.
    virtual void Balayer(const std::vector<std::string>& adresses,
                         const std::function<void(std::size_t, bool)>& surReponse,
                         const std::atomic<bool>& arret);
    // Sends the magic packet. True with the destination used in `adresseEnvoi`; else false with
    // `messageErreur`.
    virtual bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque,
                                      long long port, const std::string& adresseMAC,
                                      std::string& adresseEnvoi, std::string& messageErreur) = 0;
    // Calls the wake-via-Internet script. True on "200 OK"; `reponse` holds the last body.
    virtual bool ReveillerParInternet(const std::string& adresse, long long port,
                                      const std::string& adresseMAC, std::string& reponse) = 0;
    // Remote restart (`redemarrer`) or shutdown after `delai` seconds.
    virtual bool ArreterADistance(const std::string& adresse, int delai, const std::string& message,
                                  bool forcer, bool redemarrer, const std::string& login,
                                  const std::string& motDePasse, std::string& messageErreur) = 0;
    // Cancels a pending remote restart or shutdown.
    virtual bool AnnulerArret(const std::string& adresse, const std::string& login,
                              const std::string& motDePasse, std::string& messageErreur) = 0;
    // One of the WMI actions (codes 5 to 10).
    virtual bool ActionWMI(const std::string& adresse, int code, const std::string& login,
                           const std::string& motDePasse, std::string& messageErreur) = 0;
};

// The operations of common/net.
std::shared_ptr<OperationsReseau> CreerOperationsReseau();

// The operations used by the main window (the real ones unless a test installed others).
std::shared_ptr<OperationsReseau> OperationsCourantes();
void DefinirOperations(std::shared_ptr<OperationsReseau> operations);

}  // namespace velmora::gui
