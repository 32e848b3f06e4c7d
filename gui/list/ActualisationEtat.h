// Live status of the machine list: every N seconds, the rows of the current folder are swept in
// the background (one sweep, off the UI thread) and each row's icon turns green or red as its
// answer comes. Nothing is locked: a tick is skipped while the window is busy (a ping test, a
// run, a modal dialog), and an answer is dropped when its row is gone or has changed.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QTimer;
class QTreeWidget;

namespace velmora::net {
class OperationsReseau;
}

namespace velmora::gui {

class ActualisationEtat : public QObject {
    Q_OBJECT
  public:
    // `occupe` tells whether the window is busy now; `operations` gives the network operations
    // of the moment.
    ActualisationEtat(QTreeWidget* liste, std::function<bool()> occupe,
                      std::function<std::shared_ptr<net::OperationsReseau>()> operations,
                      QObject* parent);
    ~ActualisationEtat() override;

    // Sweeps every `secondes` seconds; 0 stops.
    void DefinirIntervalle(long long secondes);
    // One sweep now, unless one is under way or the window is busy. True when it started.
    bool Actualiser();
    bool EnCours() const;
    QTimer* Minuterie() const { return m_minuterie; }

  private:
    struct Balayage;
    void Relever();

    QTreeWidget* m_liste;
    std::function<bool()> m_occupe;
    std::function<std::shared_ptr<net::OperationsReseau>()> m_operations;
    QTimer* m_minuterie;  // the interval
    QTimer* m_releve;     // collects the answers while a sweep runs
    std::shared_ptr<Balayage> m_balayage;
};

}  // namespace velmora::gui
