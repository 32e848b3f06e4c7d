#include "batch/OperationsReseau.h"

#include "batch/Batch.h"

#include <chrono>
#include <thread>

#include "common/net/ActionsDistantes.h"
#include "common/net/AttenteMachines.h"
#include "common/net/Balayage.h"
#include "common/net/PaquetMagique.h"
#include "common/net/ReveilInternet.h"
#include "common/net/Sondes.h"

namespace velmora::batch {

namespace {

class OperationsCommunes final : public OperationsReseau {
  public:
    bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque, long long port,
                              const std::string& mac, std::string& adresseEnvoi,
                              std::string& erreur) override {
        return net::EnvoyerPaquetMagique(adresse, masque, port, mac, adresseEnvoi, erreur);
    }
    bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                              std::string& reponse) override {
        return net::ReveillerParInternet(adresse, port, mac, reponse);
    }
    bool Pinger(const std::string& adresse, std::string& adresseRepondante) override {
        return net::Pinger(adresse, adresseRepondante);
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
    bool ActionWMI(const std::string& adresse, int code, const std::string& login,
                   const std::string& motDePasse, std::string& erreur) override {
        return net::ActionWMI(adresse, code, login, motDePasse, erreur);
    }
    void Attendre(long long millisecondes) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(millisecondes));
    }
};

}  // namespace

std::vector<std::string> OperationsReseau::PingerTout(const std::vector<std::string>& adresses) {
    std::vector<std::string> reponses(adresses.size());
    for (size_t i = 0; i < adresses.size(); ++i)
        if (std::string reponse; Pinger(adresses[i], reponse))
            reponses[i] = reponse.empty() ? adresses[i] : reponse;
    return reponses;
}

std::vector<long long> OperationsReseau::AttendreMachines(
    const std::vector<std::string>& adresses, long long delaiMs, int port,
    const std::function<void(std::size_t, long long)>& surPrete) {
    return net::AttendreMachines(adresses, delaiMs, port, surPrete);
}

OperationsReseau& OperationsReelles() {
    static OperationsCommunes operations;
    return operations;
}

// Here rather than in Batch.cpp, so that tests running the program with a fake link without
// the network layer.
int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie) {
    return ExecuterBatch(arguments, sortie, OperationsReelles());
}

}  // namespace velmora::batch
