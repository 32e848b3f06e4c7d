#include "tests/shared/FauxReseau.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace velmora::fakes {

std::vector<std::string> FauxReseau::Appels() const {
    std::lock_guard<std::mutex> garde(m_verrou);
    return m_appels;
}

void FauxReseau::ViderAppels() {
    std::lock_guard<std::mutex> garde(m_verrou);
    m_appels.clear();
}

std::vector<long long> FauxReseau::Pauses() const {
    std::lock_guard<std::mutex> garde(m_verrou);
    return m_pauses;
}

std::function<bool()> FauxReseau::Arret() const {
    std::lock_guard<std::mutex> garde(m_verrou);
    return m_arret;
}

void FauxReseau::Noter(const std::string& appel) {
    std::lock_guard<std::mutex> garde(m_verrou);
    m_appels.push_back(appel);
}

bool FauxReseau::Refuse(const std::string& adresse, std::string& erreur) const {
    auto it = refus.find(adresse);
    if (it == refus.end()) return false;
    erreur = it->second;
    return true;
}

bool FauxReseau::Pinger(const std::string& adresse, std::string& adresseReponse) {
    Noter("ping " + adresse);
    if (!panne.empty()) throw std::runtime_error(panne);
    if (auto it = reponses.find(adresse); it != reponses.end()) {
        adresseReponse = it->second;
        return true;
    }
    const bool repond =
        !silencieux.count(adresse) && (tousRepondent || repondent.count(adresse) != 0);
    if (!repond) {
        if (attentePingMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(attentePingMs));
        return false;
    }
    adresseReponse = adresse;
    return true;
}

bool FauxReseau::EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque,
                                      long long port, const std::string& mac,
                                      std::string& adresseEnvoi, std::string& erreur) {
    Noter("paquet " + adresse + " " + masque + " " + std::to_string(port) + " " + mac);
    adresseEnvoi = adresse;
    if (Refuse(adresse, erreur)) return false;
    erreur = erreurPaquet;
    return erreurPaquet.empty();
}

bool FauxReseau::ReveillerParInternet(const std::string& adresse, long long port,
                                      const std::string& mac, std::string& reponse) {
    Noter("internet " + adresse + " " + std::to_string(port) + " " + mac);
    if (auto it = reponsesReveil.find(adresse); it != reponsesReveil.end()) {
        if (!it->second.empty()) reponse = it->second;
        return false;
    }
    reponse = "OK " + adresse;
    return relaisRepond && !refus.count(adresse);
}

std::string FauxReseau::ChercherAdresseMAC(const std::string& adresse) {
    int faites = 0;
    {
        std::lock_guard<std::mutex> garde(m_verrou);
        faites = m_recherchesMAC++;
    }
    if (avantRechercheMAC) avantRechercheMAC(faites);
    Noter("mac " + adresse);
    auto it = macs.find(adresse);
    return it == macs.end() ? macParDefaut : it->second;
}

bool FauxReseau::ArreterADistance(const std::string& adresse, long long delai,
                                  const std::string& message, bool forcer, bool redemarrer,
                                  const std::string& login, const std::string& motDePasse,
                                  std::string& erreur) {
    Noter(std::string(redemarrer ? "redemarrer " : "arreter ") + adresse + " " +
          std::to_string(delai) + " [" + message + "] " + (forcer ? "force" : "-") + " " + login +
          ":" + motDePasse);
    return !Refuse(adresse, erreur);
}

bool FauxReseau::AnnulerArret(const std::string& adresse, const std::string& login,
                              const std::string& motDePasse, std::string& erreur) {
    Noter("annuler " + adresse + " " + login + ":" + motDePasse);
    return !Refuse(adresse, erreur);
}

bool FauxReseau::ActionWMI(const std::string& adresse, long long code, const std::string& login,
                           const std::string& motDePasse, std::string& erreur) {
    Noter("wmi " + std::to_string(code) + " " + adresse + " " + login + ":" + motDePasse);
    return !Refuse(adresse, erreur);
}

bool FauxReseau::Attendre(long long millisecondes, const std::function<bool()>& arreter) {
    {
        std::lock_guard<std::mutex> garde(m_verrou);
        m_pauses.push_back(millisecondes);
    }
    if (pausesReelles) return net::Patienter(millisecondes, arreter);
    return !(arreter && arreter());
}

void FauxReseau::DefinirArret(std::function<bool()> arreter) {
    std::lock_guard<std::mutex> garde(m_verrou);
    m_arret = std::move(arreter);
}

}  // namespace velmora::fakes
