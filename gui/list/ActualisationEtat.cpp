#include "gui/list/ActualisationEtat.h"

#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "common/config/Config.h"
#include "common/net/Operations.h"
#include "common/text/Commun.h"
#include "gui/list/ListeMachines.h"

namespace velmora::gui {

// What the sweep's thread shares with the window; the thread holds it by shared pointer, so a
// window closed during a sweep leaves it harmless.
struct ActualisationEtat::Balayage {
    std::shared_ptr<net::OperationsReseau> operations;
    std::vector<QTreeWidgetItem*> lignes;  // compared, never followed, until found in the list
    std::vector<std::string> adresses;
    std::atomic<bool> arret{false};
    std::atomic<bool> fini{false};
    std::mutex verrou;
    std::vector<std::pair<size_t, bool>> resultats;
};

ActualisationEtat::ActualisationEtat(
    QTreeWidget* liste, std::function<bool()> occupe,
    std::function<std::shared_ptr<net::OperationsReseau>()> operations, QObject* parent)
    : QObject(parent),
      m_liste(liste),
      m_occupe(std::move(occupe)),
      m_operations(std::move(operations)),
      m_minuterie(new QTimer(this)),
      m_releve(new QTimer(this)) {
    m_minuterie->setObjectName(QStringLiteral("tmrActualiserEtat"));
    connect(m_minuterie, &QTimer::timeout, this, [this] { Actualiser(); });
    m_releve->setInterval(50);
    connect(m_releve, &QTimer::timeout, this, &ActualisationEtat::Relever);
}

ActualisationEtat::~ActualisationEtat() {
    if (m_balayage) m_balayage->arret = true;
}

void ActualisationEtat::DefinirIntervalle(long long secondes) {
    secondes = std::clamp(secondes, 0LL, kActualiserEtatMax);
    if (secondes == 0) {
        m_minuterie->stop();
        return;
    }
    m_minuterie->start(static_cast<int>(secondes * 1000));
}

bool ActualisationEtat::EnCours() const { return m_balayage != nullptr; }

bool ActualisationEtat::Actualiser() {
    if (m_balayage || (m_occupe && m_occupe()) || m_liste->topLevelItemCount() == 0) return false;
    auto balayage = std::make_shared<Balayage>();
    balayage->operations = m_operations();
    if (!balayage->operations) return false;
    for (int i = 0; i < m_liste->topLevelItemCount(); ++i) {
        QTreeWidgetItem* ligne = m_liste->topLevelItem(i);
        balayage->lignes.push_back(ligne);
        balayage->adresses.push_back(NormaliserAdresseIP(LireElement(ligne).adresse));
    }
    m_balayage = balayage;
    std::thread([balayage] {
        balayage->operations->Balayer(
            balayage->adresses,
            [&](size_t i, bool repond) {
                std::lock_guard<std::mutex> garde(balayage->verrou);
                balayage->resultats.emplace_back(i, repond);
            },
            balayage->arret);
        balayage->fini = true;
    }).detach();
    m_releve->start();
    return true;
}

void ActualisationEtat::Relever() {
    if (!m_balayage) return;
    const bool fini = m_balayage->fini;  // read before the answers, so none is left behind
    std::vector<std::pair<size_t, bool>> arrives;
    {
        std::lock_guard<std::mutex> garde(m_balayage->verrou);
        arrives.swap(m_balayage->resultats);
    }
    // While the window is busy (a test or a run colours the rows itself), answers are dropped.
    if (!(m_occupe && m_occupe())) {
        for (const auto& [i, repond] : arrives) {
            QTreeWidgetItem* ligne = m_balayage->lignes[i];
            if (m_liste->indexOfTopLevelItem(ligne) < 0) continue;  // removed, folder left
            if (NormaliserAdresseIP(LireElement(ligne).adresse) != m_balayage->adresses[i])
                continue;                             // edited meanwhile
            if (Echeance(ligne).isValid()) continue;  // pending: its icon blinks
            DefinirIcone(ligne, repond ? kVert : kRouge);
        }
    }
    if (fini) {
        m_releve->stop();
        m_balayage.reset();
    }
}

}  // namespace velmora::gui
