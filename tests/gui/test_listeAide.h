// Stand-ins shared by the main-window tests: the fake network, and a question hook that records
// every question and answers in turn.
#pragma once

#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "gui/widgets/Questions.h"
#include "tests/shared/FauxReseau.h"

namespace velmora::gui::test {

// The shared fake of the network operations (tests/shared). The main-window tests build it with
// NouveauReseau(): every address answers unless it is silent.
using velmora::fakes::FauxReseau;
inline std::shared_ptr<FauxReseau> NouveauReseau() {
    auto reseau = std::make_shared<FauxReseau>();
    reseau->tousRepondent = true;
    return reseau;
}

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
