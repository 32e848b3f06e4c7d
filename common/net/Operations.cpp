#include "common/net/Operations.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "common/net/ActionsDistantes.h"
#include "common/net/AttenteMachines.h"
#include "common/net/Balayage.h"
#include "common/net/PaquetMagique.h"
#include "common/net/ReveilInternet.h"
#include "common/net/Sondes.h"
#include "common/platform/Outil.h"

namespace velmora::net {

namespace {

class OperationsCommunes final : public OperationsReseau {
  public:
    bool Pinger(const std::string& adresse, std::string& adresseReponse) override {
        return net::Pinger(adresse, adresseReponse);
    }
    bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque, long long port,
                              const std::string& mac, std::string& adresseEnvoi,
                              std::string& erreur) override {
        return net::EnvoyerPaquetMagique(adresse, masque, port, mac, adresseEnvoi, erreur);
    }
    bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                              std::string& reponse) override {
        return net::ReveillerParInternet(adresse, port, mac, reponse);
    }
    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        net::Balayer(
            adresses, [&](const net::ReponseBalayage& r) { surReponse(r.index, r.repondu); },
            &arret);
    }
    std::vector<std::string> PingerTout(const std::vector<std::string>& adresses) override {
        std::vector<std::string> reponses(adresses.size());
        net::Balayer(adresses, [&](const net::ReponseBalayage& r) {
            if (r.repondu) reponses[r.index] = r.adresse;
        });
        return reponses;
    }
    std::string ChercherAdresseMAC(const std::string& adresse) override {
        return net::ChercherAdresseMAC(adresse);
    }
    bool ArreterADistance(const std::string& adresse, long long delai, const std::string& message,
                          bool forcer, bool redemarrer, const std::string& login,
                          const std::string& motDePasse, std::string& erreur) override {
        return net::ArreterADistance(adresse, delai, message, forcer, redemarrer, login, motDePasse,
                                     erreur);
    }
    bool AnnulerArret(const std::string& adresse, const std::string& login,
                      const std::string& motDePasse, std::string& erreur) override {
        return net::AnnulerArret(adresse, login, motDePasse, erreur);
    }
    bool ActionWMI(const std::string& adresse, long long code, const std::string& login,
                   const std::string& motDePasse, std::string& erreur) override {
        return net::ActionWMI(adresse, code, login, motDePasse, erreur);
    }
    bool Attendre(long long millisecondes, const std::function<bool()>& arreter) override {
        return Patienter(millisecondes, arreter);
    }
    void DefinirArret(std::function<bool()> arreter) override {
        platform::DefinirAttenteOutils(std::move(arreter));
    }
};

std::shared_ptr<OperationsReseau>& Courantes() {
    static std::shared_ptr<OperationsReseau> operations;
    return operations;
}

}  // namespace

void OperationsReseau::Balayer(const std::vector<std::string>& adresses,
                               const std::function<void(std::size_t, bool)>& surReponse,
                               const std::atomic<bool>& arret) {
    for (std::size_t i = 0; i < adresses.size() && !arret; ++i) {
        std::string reponse;
        surReponse(i, Pinger(adresses[i], reponse));
    }
}

std::vector<std::string> OperationsReseau::PingerTout(const std::vector<std::string>& adresses) {
    std::vector<std::string> reponses(adresses.size());
    for (std::size_t i = 0; i < adresses.size(); ++i)
        if (std::string reponse; Pinger(adresses[i], reponse))
            reponses[i] = reponse.empty() ? adresses[i] : reponse;
    return reponses;
}

std::vector<long long> OperationsReseau::AttendreMachines(
    const std::vector<std::string>& adresses, long long delaiMs, int port,
    const std::function<void(std::size_t, long long)>& surPrete) {
    return net::AttendreMachines(adresses, delaiMs, port, surPrete);
}

bool Patienter(long long millisecondes, const std::function<bool()>& arreter) {
    using Horloge = std::chrono::steady_clock;
    if (!arreter) {
        if (millisecondes > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(millisecondes));
        return true;
    }
    // Short slices whatever the pause, so that a stop request is answered at once.
    const auto tranche = std::chrono::milliseconds(
        std::clamp<long long>(std::llround(static_cast<double>(millisecondes) / 10.0), 1, 50));
    const auto fin = Horloge::now() + std::chrono::milliseconds(millisecondes);
    while (Horloge::now() < fin) {
        std::this_thread::sleep_for(tranche);
        if (arreter()) return false;
    }
    return true;
}

std::shared_ptr<OperationsReseau> OperationsReelles() {
    static const std::shared_ptr<OperationsReseau> operations =
        std::make_shared<OperationsCommunes>();
    return operations;
}

std::shared_ptr<OperationsReseau> OperationsCourantes() {
    return Courantes() ? Courantes() : OperationsReelles();
}

void DefinirOperations(std::shared_ptr<OperationsReseau> operations) {
    Courantes() = std::move(operations);
}

}  // namespace velmora::net
