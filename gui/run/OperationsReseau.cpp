#include "gui/run/OperationsReseau.h"

#include "common/net/ActionsDistantes.h"
#include "common/net/Balayage.h"
#include "common/net/PaquetMagique.h"
#include "common/net/ReveilInternet.h"
#include "common/net/Sondes.h"

namespace velmora::gui {

namespace {

// The operations of common/net.
class OperationsReelles : public OperationsReseau {
  public:
    bool Pinger(const std::string& adresse) override {
        std::string adresseReponse;
        return net::Pinger(adresse, adresseReponse);
    }
    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        net::Balayer(
            adresses, [&](const net::ReponseBalayage& r) { surReponse(r.index, r.repondu); },
            &arret);
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
    bool ArreterADistance(const std::string& adresse, int delai, const std::string& message,
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
};

std::shared_ptr<OperationsReseau>& Courantes() {
    static std::shared_ptr<OperationsReseau> operations;
    return operations;
}

}  // namespace

void OperationsReseau::Balayer(const std::vector<std::string>& adresses,
                               const std::function<void(std::size_t, bool)>& surReponse,
                               const std::atomic<bool>& arret) {
    for (std::size_t i = 0; i < adresses.size() && !arret; ++i) surReponse(i, Pinger(adresses[i]));
}

std::shared_ptr<OperationsReseau> CreerOperationsReseau() {
    return std::make_shared<OperationsReelles>();
}

std::shared_ptr<OperationsReseau> OperationsCourantes() {
    if (!Courantes()) Courantes() = CreerOperationsReseau();
    return Courantes();
}

void DefinirOperations(std::shared_ptr<OperationsReseau> operations) {
    Courantes() = std::move(operations);
}

}  // namespace velmora::gui
