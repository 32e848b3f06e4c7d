// The network operations both programs make on a machine, behind one interface: the console
// program, the main window, the machine dialog and the MAC update all call them through it, so
// that tests replace them with one hand-written fake. OperationsReelles() calls the routines of
// this folder.
//
// The windowed program calls them from a worker thread (so that its window stays responsive):
// implementations must be thread-safe.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::net {

class OperationsReseau {
  public:
    virtual ~OperationsReseau() = default;

    // One ping of `adresse` (dotted quad or name) within TempoPing. True when the target itself
    // answered; `adresseReponse` then holds its dotted quad.
    virtual bool Pinger(const std::string& adresse, std::string& adresseReponse) = 0;
    // Pings every address and calls `surReponse`(position, answered) as each is decided, in
    // any order, on the calling thread, until all are or `arret` becomes true. The real
    // operations sweep them all at once on one socket; this default pings one after the other.
    virtual void Balayer(const std::vector<std::string>& adresses,
                         const std::function<void(std::size_t, bool)>& surReponse,
                         const std::atomic<bool>& arret);
    // Pings every address at once: for each, the dotted quad that answered, or "" for none.
    // The real operations sweep them on one socket; this default calls Pinger for each in turn.
    virtual std::vector<std::string> PingerTout(const std::vector<std::string>& adresses);
    // Sends the magic packet for `mac` to the broadcast address of `adresse` under `masque`.
    // True with the destination used in `adresseEnvoi`; else false with `messageErreur`.
    virtual bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque,
                                      long long port, const std::string& mac,
                                      std::string& adresseEnvoi, std::string& messageErreur) = 0;
    // Asks the wake relay to wake the machine. True on "200 OK"; `reponse` holds the last body.
    virtual bool ReveillerParInternet(const std::string& adresse, long long port,
                                      const std::string& mac, std::string& reponse) = 0;
    // The MAC address of an address, six upper-case pairs joined by "-", or "" when unknown.
    virtual std::string ChercherAdresseMAC(const std::string& adresse) = 0;
    // Remote restart (`redemarrer`) or shutdown after `delai` seconds with a message.
    virtual bool ArreterADistance(const std::string& adresse, long long delai,
                                  const std::string& message, bool forcer, bool redemarrer,
                                  const std::string& login, const std::string& motDePasse,
                                  std::string& messageErreur) = 0;
    // Cancels a pending remote restart or shutdown.
    virtual bool AnnulerArret(const std::string& adresse, const std::string& login,
                              const std::string& motDePasse, std::string& messageErreur) = 0;
    // WMI action 5 to 10 (lock, log off, hibernate, restart, power off, shut down).
    virtual bool ActionWMI(const std::string& adresse, long long code, const std::string& login,
                           const std::string& motDePasse, std::string& messageErreur) = 0;
    // The pause between two wakes: `millisecondes`, polling `arreter` (when given) about every
    // 1/10 of the pause (1 to 50 ms). False as soon as `arreter` returns true.
    virtual bool Attendre(long long millisecondes, const std::function<bool()>& arreter) = 0;
    // The stop hook: polled while a tool runs or the relay is asked, true stops it (the call
    // then fails as cancelled). Empty: nothing stops them but their time limits.
    virtual void DefinirArret(std::function<bool()> arreter) = 0;
    // Waits up to `delaiMs` for each address to answer a ping (`port` 0) or to accept a TCP
    // connection on `port`; `surPrete`(index, ms) as each comes up. The ms each took, -1 for
    // none. The default is this folder's AttendreMachines.
    virtual std::vector<long long> AttendreMachines(
        const std::vector<std::string>& adresses, long long delaiMs, int port,
        const std::function<void(std::size_t, long long)>& surPrete);
};

// The operations of this folder; one instance for the process.
std::shared_ptr<OperationsReseau> OperationsReelles();

// The operations the programs use: the real ones unless a test installed others (nullptr
// restores the real ones).
std::shared_ptr<OperationsReseau> OperationsCourantes();
void DefinirOperations(std::shared_ptr<OperationsReseau> operations);

// The pause of OperationsReelles().Attendre, for fakes that wait for real.
bool Patienter(long long millisecondes, const std::function<bool()>& arreter);

}  // namespace velmora::net
