// The progress window of an action run: the log list lstTraitements and the button btnStop,
// which asks the run to stop ("&Arrêter !") and, once the run has ended, closes the window
// ("&Fermer").
#pragma once

#include <QDialog>

#include "gui/run/ActionRun.h"

class QListWidget;
class QPushButton;

namespace velmora::gui {

class frmTraitementEnCours : public QDialog, public JournalAction {
    Q_OBJECT
  public:
    explicit frmTraitementEnCours(QWidget* fenetrePrincipale);

    void Afficher() override;
    void Ajouter(const std::string& ligne) override;
    void Terminer(const std::string& titre, bool fermer) override;

    QListWidget* lstTraitements() const { return m_liste; }
    QPushButton* btnStop() const { return m_bouton; }

  public slots:
    // Closes the window after the run; during the run, sets the stop request.
    void btnStop_Click();

  protected:
    void closeEvent(QCloseEvent* evenement) override;
    void keyPressEvent(QKeyEvent* evenement) override;

  private:
    QListWidget* m_liste;
    QPushButton* m_bouton;
    bool m_termine = false;
};

}  // namespace velmora::gui
