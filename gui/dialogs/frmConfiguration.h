// The configuration dialog: seven pages selected by the tab strip tabOnglets (general, wake,
// wake via Internet, restart/shutdown, authentication, custom commands, folder order).
//
// It reads the settings of Prog().reglages and Etat().reglages when it opens and writes them back
// only on OK, after its checks; then Etat().configModifiee is true and Etat().annulation false.
// The folder order edited on page 7 is given back by Dossiers(); the caller reorders its tabs.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;
class QTimer;
class QTreeWidget;

namespace velmora::gui {

class GlissementListe;
struct ChampsConfiguration;

class frmConfiguration : public QDialog {
    Q_OBJECT
  public:
    // `dossiers`: the folder tabs in order (the "+" tab left out by the caller or skipped here).
    // `dossiersLangues`: where the *.lng files are looked for (empty: the program's folders).
    frmConfiguration(const std::vector<std::string>& dossiers, QWidget* parent = nullptr,
                     std::vector<std::string> dossiersLangues = {});
    ~frmConfiguration() override;

    // The folder names in the order of page 7 (valid after OK).
    std::vector<std::string> Dossiers() const;

    // Selects tab n (1 to 7), shows its page and puts the focus on its first control.
    void SelectionnerOnglet(int n);
    int OngletCourant() const;  // 1 to 7

    QTabBar* tabOnglets() const { return m_onglets; }
    QTreeWidget* lvwCommandes() const { return m_commandes; }
    QTreeWidget* lvwDossiers() const { return m_dossiers; }
    QTimer* tmrRetardateur() const { return m_retardateur; }

  public slots:
    void btnOK_Click();
    void btnAnnuler_Click();
    void btnCommandesAjouter_Click();
    void btnCommandesModifier_Click();
    void btnCommandesSupprimer_Click();
    void btnCommandesMonter_Click();
    void btnCommandesDescendre_Click();
    void btnDossiersMonter_Click();
    void btnDossiersDescendre_Click();
    // Brings the enabled state of both button rows up to date.
    void ActualiserBoutonsListes();
    void reject() override;  // cancel, close box and Escape

  protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;
    void showEvent(QShowEvent* evenement) override;
    void closeEvent(QCloseEvent* evenement) override;

  private:
    void AjusterHauteurPages();
    QWidget* PageGeneral();
    QWidget* PageReveil();
    QWidget* PageReveilInternet();
    QWidget* PageRedemarrage();
    QWidget* PageAuthentification();
    QWidget* PageCommandes();
    QWidget* PageDossiers();
    void RemplirLangues(const std::vector<std::string>& dossiersLangues);
    void LireReglages();
    void RemplirListes(const std::vector<std::string>& dossiers);
    void AppliquerListes();
    void AppliquerReglesActivation();
    ChampsConfiguration Champs() const;
    void EditerCommande(bool modification);

    // Controls built in code, found by object name in tests.
    QLineEdit* Zone(const char* nom) const;
    QCheckBox* Case(const char* nom) const;

    QTabBar* m_onglets = nullptr;
    QStackedWidget* m_pages = nullptr;
    QComboBox* m_langue = nullptr;
    QComboBox* m_proxyType = nullptr;
    QComboBox* m_authMode = nullptr;
    QRadioButton* m_repli[2] = {};
    QRadioButton* m_script[2] = {};
    QTreeWidget* m_commandes = nullptr;
    QTreeWidget* m_dossiers = nullptr;
    QTimer* m_retardateur = nullptr;
    GlissementListe* m_glisserCommandes = nullptr;
    GlissementListe* m_glisserDossiers = nullptr;
    std::vector<std::string> m_ordreDossiers;
    bool m_initialise = false;
};

}  // namespace velmora::gui
