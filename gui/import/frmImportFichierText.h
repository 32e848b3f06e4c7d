// The text-file import dialog: a preview of the file split at the chosen separator, columns
// assigned to machine fields by clicking their headers, rows chosen by selection. OK checks the
// selected rows and imports them into the target list.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "gui/import/ImportTexte.h"

class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace velmora::gui {

class frmImportFichierText : public QDialog {
    Q_OBJECT
  public:
    // `lignes`: the lines of the file as read. The dialog sets Etat().annulation to true; OK with
    // a successful import sets it to false.
    frmImportFichierText(const std::vector<std::string>& lignes, CibleImport& cible,
                         QWidget* parent = nullptr);

    QTreeWidget* lvwImport() const { return m_apercu; }
    ImportTexte& Modele() { return m_modele; }
    // Selects option n (0 tab, 1 ";", 2 ",", 3 space, 4 "|", 5 other) of optSéparateur.
    void ChoisirSeparateur(int option);

  public slots:
    void btnOK_Click();
    void btnSelectionnerTout_Click();
    void btnDeselectionnerTout_Click();
    void lvwImport_ColumnClick(int colonne);
    void reject() override;

  private:
    void LireSeparateur();
    void RemplirApercu();

    ImportTexte m_modele;
    CibleImport& m_cible;
    QTreeWidget* m_apercu;
    QRadioButton* m_options[6] = {};
    QLineEdit* m_autre;
};

}  // namespace velmora::gui
