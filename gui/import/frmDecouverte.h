// Network discovery window: the subnet to sweep (the local interface's by default), a start and
// a stop button, a progress bar, and the hosts that answered with their name, MAC address and
// maker. Hosts already in the current folder are marked; the ticked hosts are added to it with
// the imports' question about machines already there. The sweep runs on a thread of its own
// (net::Decouvrir); the window collects its results every few tens of milliseconds, so it never
// waits on the network, and closing it stops the sweep.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmora::net {
class SondesDecouverte;
}

namespace velmora::gui {

// The probes of the discovery window: common/net, unless a test installed a maker of its own
// (nullptr restores common/net).
void DefinirSondesDecouverte(std::function<std::unique_ptr<net::SondesDecouverte>()> fabrique);

class frmDecouverte : public QDialog {
    Q_OBJECT
  public:
    // Columns of lvwHotes.
    enum Colonne { ColAdresse, ColNom, ColMAC, ColFabricant, ColDossier, NbColonnes };

    // `machines` is the main window's list of the current folder (read to mark the hosts
    // already there, written by "add").
    frmDecouverte(QTreeWidget* machines, QWidget* parent);
    ~frmDecouverte() override;

    // Starts a sweep of the subnet typed; tells the user and returns false when it is invalid.
    bool Demarrer();
    void Arreter();
    bool EnCours() const { return m_travail != nullptr; }
    // Adds the ticked hosts to the folder; returns how many were added or replaced.
    int AjouterAuDossier();
    // True once a host was added to the folder.
    bool DossierModifie() const { return m_dossierModifie; }

  protected:
    void closeEvent(QCloseEvent* evenement) override;
    void reject() override;

  private:
    struct Travail;
    // Takes the results that came (at most kParTour rows at a time unless `tout`).
    void Relever(bool tout = false);
    void Terminer();
    void ActualiserBoutons();
    void LirePresentes();
    void Marquer(QTreeWidgetItem* ligne) const;

    QTreeWidget* m_machines;
    QLineEdit* m_plage;
    QPushButton* m_demarrer;
    QPushButton* m_arreter;
    QPushButton* m_ajouter;
    QProgressBar* m_progression;
    QLabel* m_etat;
    QTreeWidget* m_hotes;
    QTimer* m_releve;
    std::shared_ptr<Travail> m_travail;
    std::unordered_map<std::string, QTreeWidgetItem*> m_lignes;  // by address
    std::vector<std::string> m_presentes;                        // sorted addresses of the folder
    std::size_t m_recus = 0;  // results of the sweep already taken
    bool m_dossierModifie = false;
};

}  // namespace velmora::gui
