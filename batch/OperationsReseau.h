// The network operations a batch run makes, behind one small interface so that tests can run
// the console program in-process with a hand-written fake. OperationsReelles() gives the real
// ones, from common/net.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velmora::batch {

class OperationsReseau {
  public:
    virtual ~OperationsReseau() = default;

    // Sends the magic packet for `mac` to the broadcast address of `adresse` under `masque`.
    // `adresseEnvoi` receives the destination used; `erreur` the reason of a failure.
    virtual bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque,
                                      long long port, const std::string& mac,
                                      std::string& adresseEnvoi, std::string& erreur) = 0;
    // Asks the wake relay to wake the machine; `reponse` receives the body of the answer.
    virtual bool ReveillerParInternet(const std::string& adresse, long long port,
                                      const std::string& mac, std::string& reponse) = 0;
    // True when the target itself answered; `adresseRepondante` then holds its dotted quad.
    virtual bool Pinger(const std::string& adresse, std::string& adresseRepondante) = 0;
    // Pings every address at once: for each, the dotted quad that answered, or "" for none.
    // The default calls Pinger for each in turn; the real one sweeps them on one socket.
    virtual std::vector<std::string> PingerTout(const std::vector<std::string>& adresses);
    // The MAC address of an address, upper case, or "" when it cannot be found.
    virtual std::string ChercherAdresseMAC(const std::string& adresse) = 0;
    // Remote restart or shutdown after `delai` seconds with a message.
    virtual bool ArreterADistance(const std::string& adresse, long long delai,
                                  const std::string& message, bool forcer, bool redemarrer,
                                  const std::string& login, const std::string& motDePasse,
                                  std::string& erreur) = 0;
    // Cancels a pending restart or shutdown.
    virtual bool AnnulerArret(const std::string& adresse, const std::string& login,
                              const std::string& motDePasse, std::string& erreur) = 0;
    // WMI action 5 to 10 (lock, log off, hibernate, restart, power off, shut down).
    virtual bool ActionWMI(const std::string& adresse, int code, const std::string& login,
                           const std::string& motDePasse, std::string& erreur) = 0;
    // The pause between two wakes (ms).
    virtual void Attendre(long long millisecondes) = 0;
    // Waits up to `delaiMs` for each address to answer a ping (`port` 0) or to accept a TCP
    // connection on `port`; `surPrete`(index, ms) as each comes up. The ms each took, -1 for
    // none. The default is common/net's.
    virtual std::vector<long long> AttendreMachines(
        const std::vector<std::string>& adresses, long long delaiMs, int port,
        const std::function<void(std::size_t, long long)>& surPrete);
};

// The operations of common/net; one instance for the process.
OperationsReseau& OperationsReelles();

}  // namespace velmora::batch
