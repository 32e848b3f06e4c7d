// The hand-written fake of the network operations shared by every test (console program,
// windows, benchmarks): which addresses answer, refuse, their MAC addresses, all from tables;
// every call is recorded. Thread-safe: the windows call it from a worker thread.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/net/Operations.h"

namespace velmora::fakes {

class FauxReseau : public net::OperationsReseau {
  public:
    // Ping: an address of `reponses` answers from the address given there. Otherwise an address
    // of `repondent` answers from itself, and so does any other when `tousRepondent`, except
    // the `silencieux` ones.
    std::map<std::string, std::string> reponses;
    std::set<std::string> repondent;
    bool tousRepondent = false;
    std::set<std::string> silencieux;
    int attentePingMs = 0;  // each unanswered ping waits this long
    std::string panne;      // non-empty: Pinger throws it (an unexpected error)

    std::map<std::string, std::string> macs;  // address -> MAC found
    std::string macParDefaut;                 // the MAC of any other address ("" = unknown)
    // Called before each MAC look-up with the number of look-ups made so far.
    std::function<void(int)> avantRechercheMAC;

    std::string erreurPaquet;                  // non-empty: every magic packet fails with it
    bool relaisRepond = true;                  // the wake relay accepts (its body: "OK <address>")
    std::map<std::string, std::string> refus;  // address -> error text of a refusal
    // address -> what the wake-via-Internet service answered ("" : no answer at all)
    std::map<std::string, std::string> reponsesReveil;
    // True: the pause really waits (as the real one does, polling the stop request); false:
    // it is only recorded.
    bool pausesReelles = false;

    // One text per call, in order: "ping <address>", "mac <address>",
    // "paquet <address> <mask> <port> <mac>", "internet <address> <port> <mac>",
    // "redemarrer|arreter <address> <delay> [<message>] force|- <login>:<password>",
    // "annuler <address> <login>:<password>", "wmi <code> <address> <login>:<password>".
    std::vector<std::string> Appels() const;
    void ViderAppels();
    std::vector<long long> Pauses() const;  // ms
    // The stop hook last set (empty when none).
    std::function<bool()> Arret() const;

    bool Pinger(const std::string& adresse, std::string& adresseReponse) override;
    bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque, long long port,
                              const std::string& mac, std::string& adresseEnvoi,
                              std::string& erreur) override;
    bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                              std::string& reponse) override;
    std::string ChercherAdresseMAC(const std::string& adresse) override;
    bool ArreterADistance(const std::string& adresse, long long delai, const std::string& message,
                          bool forcer, bool redemarrer, const std::string& login,
                          const std::string& motDePasse, std::string& erreur) override;
    bool AnnulerArret(const std::string& adresse, const std::string& login,
                      const std::string& motDePasse, std::string& erreur) override;
    bool ActionWMI(const std::string& adresse, long long code, const std::string& login,
                   const std::string& motDePasse, std::string& erreur) override;
    bool Attendre(long long millisecondes, const std::function<bool()>& arreter) override;
    void DefinirArret(std::function<bool()> arreter) override;

  private:
    void Noter(const std::string& appel);
    bool Refuse(const std::string& adresse, std::string& erreur) const;

    mutable std::mutex m_verrou;
    std::vector<std::string> m_appels;
    std::vector<long long> m_pauses;
    std::function<bool()> m_arret;
    int m_recherchesMAC = 0;
};

}  // namespace velmora::fakes
