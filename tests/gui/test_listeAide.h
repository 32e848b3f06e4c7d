// Stand-ins shared by the main-window tests: network operations that record their calls and
// answer from tables, and a question hook that records every question and answers in turn.
#pragma once

#include <QTemporaryDir>
#include <chrono>
#include <deque>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gui/run/OperationsReseau.h"
#include "gui/widgets/Questions.h"

namespace velmora::gui::test {

class FauxReseau : public OperationsReseau {
  public:
    std::set<std::string> silencieux;  // addresses that do not answer ping
    std::set<std::string> refus;       // addresses whose remote action is refused
    int attentePingMs = 0;             // each ping of a silent address waits this long

    std::vector<std::string> Appels() {
        std::lock_guard<std::mutex> garde(m_verrou);
        return m_appels;
    }
    bool Pinger(const std::string& adresse) override {
        Noter("ping " + adresse);
        const bool repond = !silencieux.count(adresse);
        if (!repond && attentePingMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(attentePingMs));
        return repond;
    }
    bool EnvoyerPaquetMagique(const std::string& adresse, const std::string&, long long port,
                              const std::string&, std::string& adresseEnvoi,
                              std::string& erreur) override {
        Noter("wol " + adresse + ":" + std::to_string(port));
        adresseEnvoi = adresse;
        if (refus.count(adresse)) erreur = "refus";
        return !refus.count(adresse);
    }
    bool ReveillerParInternet(const std::string& adresse, long long, const std::string&,
                              std::string& reponse) override {
        Noter("wow " + adresse);
        reponse = "OK " + adresse;
        return !refus.count(adresse);
    }
    bool ArreterADistance(const std::string& adresse, int delai, const std::string&, bool,
                          bool redemarrer, const std::string&, const std::string&,
                          std::string& erreur) override {
        Noter((redemarrer ? "restart " : "shutdown ") + adresse + " " + std::to_string(delai));
        if (refus.count(adresse)) erreur = "Accès refusé (err=5)";
        return !refus.count(adresse);
    }
    bool AnnulerArret(const std::string& adresse, const std::string&, const std::string&,
                      std::string& erreur) override {
        Noter("abort " + adresse);
        if (refus.count(adresse)) erreur = "refus";
        return !refus.count(adresse);
    }
    bool ActionWMI(const std::string& adresse, int code, const std::string&, const std::string&,
                   std::string& erreur) override {
        Noter("wmi " + adresse + " " + std::to_string(code));
        if (refus.count(adresse)) erreur = "refus";
        return !refus.count(adresse);
    }

  private:
    void Noter(const std::string& appel) {
        std::lock_guard<std::mutex> garde(m_verrou);
        m_appels.push_back(appel);
    }
    std::mutex m_verrou;
    std::vector<std::string> m_appels;
};

// Records every question and answers with the next prepared answer (OK / empty text when none
// is left).
class Repondeur {
  public:
    Repondeur() {
        DefinirRepondeur([this](const Question& question) {
            questions.push_back(question);
            if (reponses.empty()) return Reponse{1, ""};
            Reponse reponse = reponses.front();
            reponses.pop_front();
            return reponse;
        });
    }
    ~Repondeur() { DefinirRepondeur(nullptr); }
    std::deque<Reponse> reponses;
    std::vector<Question> questions;
};

inline void EcrireFichier(const std::string& chemin, const std::string& texte) {
    std::ofstream(chemin, std::ios::binary) << texte;
}

inline std::string LireFichier(const std::string& chemin) {
    std::ifstream fichier(chemin, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(fichier), {});
}

}  // namespace velmora::gui::test
