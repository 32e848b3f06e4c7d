// The dialog that creates or edits one custom command: its name in the popup menu, the command
// line and whether an authenticated session is opened first (and kept how many seconds).
//
// The caller sets whether authentication is available, fills the fields, calls exec(), and reads
// the fields back when Etat().annulation is false.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora::gui {

class frmConfigCommande : public QDialog {
    Q_OBJECT
  public:
    explicit frmConfigCommande(QWidget* parent = nullptr);

    // Authentication may be asked only with a configured account; a separator never has it.
    void DefinirAuthentificationDisponible(bool disponible);
    void DefinirCommande(const std::string& nom, const std::string& ligne, bool authentification,
                         const std::string& duree);
    std::string Nom() const;
    std::string Ligne() const;
    bool Authentification() const;
    std::string Duree() const;  // decimal text of the duration box

    QLineEdit* txtCommandeNom() const { return m_nom; }
    QLineEdit* txtCommandeExec() const { return m_ligne; }
    QCheckBox* chkCommandeAuthentificationRequise() const { return m_auth; }
    QLineEdit* txtCommandeDureeSessionAuthentifiee() const { return m_duree; }

  public slots:
    void btnOK_Click();
    void btnAnnuler_Click();
    void reject() override;  // cancel, close box and Escape

  protected:
    void closeEvent(QCloseEvent* evenement) override;

  private:
    void NomModifie();
    void RegleAuthentification();
    void DureeModifiee();

    QLabel* m_lblLigne;
    QLabel* m_lblDuree;
    QLabel* m_lblDuree2;
    QLineEdit* m_nom;
    QLineEdit* m_ligne;
    QCheckBox* m_auth;
    QLineEdit* m_duree;
    bool m_authDisponible = true;
};

}  // namespace velmora::gui
