// Room gui/main/: the main window itself (construction, load, menus, window state, tray icon,
// start and close). Its list, run and import parts live in the list/, run/ and import/ rooms.
//
// The main window: the machine list of the current folder with its folder tabs, the buttons and
// menus, the tray icon, the window state remembered between sessions, and the action run on the
// selected machines.
//
// The window is split over several files: main/frmVelmora.cpp (construction, load, menus),
// main/frmVelmoraEtat.cpp (window state, tray, closing), list/ListeMachinesFenetre.cpp (folders,
// rows, clipboard, sort, keyboard), list/ListeMachinesEdition.cpp (add, modify, ping test) and
// run/ActionRunFenetre.cpp (actions menu, run, pending rows, button state).
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/config/Machine.h"
#include "common/net/Operations.h"
#include "gui/run/ActionRun.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTabBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmora::gui {

class frmVelmora : public QMainWindow, public CibleAction {
    Q_OBJECT
  public:
    explicit frmVelmora(QWidget* parent = nullptr);
    ~frmVelmora() override;

    // Load of the window: start-up routine in mode GUI, caption, columns, window state, folders.
    // `ligneCommande` is the program's command-line text. False when the program must end (the
    // message was shown).
    bool Form_Load(const std::string& ligneCommande);
    // The tip of the day, when the option says so (after the window is shown).
    void AfficherAstuceAuDemarrage();

    // Folders and rows.
    void ChargerDossier(const std::string& dossier);
    // Writes the list to the folder's section (current folder when empty). False when the write
    // failed (the user was told; the list is kept and stays marked modified).
    bool SauverDossier(const std::string& dossier = "");
    void TrierListe();
    void CopierSelection(bool couper);
    void CollerPresse();
    void TesterMachines(QPushButton* bouton);
    // Appends a row (icon "Gris", not pending) and returns it.
    QTreeWidgetItem* AjouterLigne(const Machine& machine);
    std::vector<std::string> Dossiers() const;  // folder names in tab order
    const std::string& DossierCourant() const { return m_dossierCourant; }
    int EtatTri() const { return m_tri; }
    // Selects the tab of a folder (loading it like a click would).
    void SelectionnerDossier(int index);
    void RenommerDossier();
    void SupprimerDossier();

    // Actions.
    void ExecuterAction();
    int ConfirmerAction();
    // Source: btnAgirPlus, btnRéveillerPlus or nullptr for the list's context menu.
    void AfficherMenuActions(QPushButton* source, bool forcerAnnulation);
    // Runs the choice of the actions menu (0 nothing, 1..11 an action, 101.. a custom command).
    void ExecuterChoixMenu(int id);
    void AfficherInfo(const std::string& texte) override;
    void ActualiserBoutons();
    bool AnnulationPossible() const { return m_annulationPossible; }
    const BilanAction& DernierBilan() const { return m_dernierBilan; }

    // How the program starts itself again after a language change (default: the executable,
    // detached, with the same arguments). Tests replace it; nullptr restores the default.
    static void DefinirLanceurRedemarrage(
        std::function<void(const QString& programme, const QStringList& arguments)> lanceur);

    // Closing steps 2 to 9 (settings, window state, folder list, current folder). False when a
    // write failed (the user was told).
    bool SauvegarderConfiguration();

    // Controls (also found by object name).
    QTreeWidget* lvwMachines() const { return m_liste; }
    QTabBar* tabOnglets() const { return m_onglets; }
    QTimer* timExtinction() const { return m_timExtinction; }
    QTimer* timEffacerInfo() const { return m_timEffacerInfo; }
    QTimer* timDeconnecterApresCommandePersonnalisee() const { return m_timDeconnecter; }
    QAction* mnuInfo() const { return m_mnuInfo; }
    QSystemTrayIcon* IconeSystray() const { return m_systray; }
    bool DansSystray() const { return m_dansSystray; }
    // The background status sweep (after Form_Load), following Etat().reglages.actualiserEtat.
    class ActualisationEtat* Actualisation() const {
        return m_actualisation;
    }
    void AppliquerActualisationEtat();

    // CibleAction (the rows of a run).
    QWidget* Fenetre() override { return this; }
    int NombreLignes() const override;
    bool EstSelectionnee(int ligne) const override;
    int NombreSelectionnees() const override;
    Machine LireMachine(int ligne) const override;
    void DefinirIcone(int ligne, const std::string& cle) override;
    void DebutAttente(int ligne, int delai) override;
    void FinAttente(int ligne) override;
    void DebutTraitement() override;
    void Sablier(bool actif) override;
    void DemarrerEffacementInfo() override;
    void FinTraitement(bool effacerInfo, bool actualiser) override;
    std::unique_ptr<JournalAction> CreerJournal() override;

  public slots:
    void btnAjouter_Click();
    void btnModifier_Click();
    void btnSupprimer_Click();
    void btnTester_Click();
    void btnTesterSelection_Click();
    void btnReveiller_Click();
    void btnAgir_Click();
    void timExtinction_Timer();
    void timEffacerInfo_Timer();
    void tabOnglets_Click();
    void mnuFichierSauvegarder_Click();
    void mnuSystrayRestaurer_Click();
    // Entry points of the configuration dialog, the imports, the MAC address update and the
    // custom commands (filled in by their modules).
    void mnuOptionsPreferences_Click();
    void mnuOptionsMajMAC_Click();
    void mnuFichierImportTrellide_Click();
    void mnuFichierImporter_Click();
    void mnuFichierDecouvrir_Click();
    void ExecuterCommandePersonnalisee(int numero);
    void timDeconnecterApresCommandePersonnalisee_Timer();
    void mnuAideAstuce_Click();
    void mnuAideAPropos_Click();

  protected:
    void closeEvent(QCloseEvent* evenement) override;
    void changeEvent(QEvent* evenement) override;
    void resizeEvent(QResizeEvent* evenement) override;
    void moveEvent(QMoveEvent* evenement) override;
    bool eventFilter(QObject* objet, QEvent* evenement) override;

  private:
    void ConstruireControles();
    void ConstruireMenus();
    void ConstruireSystray();
    QAction* AjouterOption(QMenu* menu, const char* nom, const char* libelle);
    void AppliquerEtatFenetre();
    // The window width (pixels) that shows every column of a row, at least `taille`'s width and
    // at most the screen's.
    int LargeurPourColonnes(QSize taille);
    void AjusterLargeursColonnes();
    void LireDossiersAuDemarrage();
    void ChargerReglages();
    bool DemanderNomDossier(const std::string& titre, std::string& nom, int ignorer);
    void OngletsMenuContextuel(const QPoint& position);
    void NouveauDossier();
    bool ToucheFenetre(QKeyEvent* touche);
    bool ToucheListe(QKeyEvent* touche);
    // During the ping test the list stays enabled (its rows show their colour as answers come)
    // but takes no edit: true for the user input on the list that must be ignored.
    bool ListeVerrouillee(QObject* objet, QEvent* evenement) const;
    void RechercheIncrementale(const QString& texte);
    void SelectionnerOngletSansCharger(int index);
    int IndexDossier(const std::string& nom) const;  // 0 when absent
    void ExecuterTest(const std::vector<QTreeWidgetItem*>& lignes);
    void OptionModifiee();
    void AjouterSystray();
    void RetirerSystray();
    // Raises and activates the window, `essais` more times while it is not active yet.
    void ActiverApresAffichage(int essais);
    void Fermer();
    bool EcrireCle(const char* cle, const std::string& valeur, std::string& erreur);
    bool SupprimerCle(const char* cle, std::string& erreur);
    void SignalerErreurEcriture(const std::string& erreur);
    QTreeWidgetItem* Element(int ligne) const;
    // Shows the action dialog with `code` preselected (-1: none); true when it was not cancelled
    // (the Action request is then filled).
    bool OuvrirConfigAction(int code);

    std::shared_ptr<net::OperationsReseau> m_operations;
    std::string m_ligneCommande;
    std::string m_dossierCourant;
    std::string m_dernierNomDossier;
    int m_tri = 0;
    bool m_listeModifiee = false;
    bool m_arretTest = false;
    bool m_gardeOnglets = false;
    bool m_annulationPossible = true;
    bool m_dansSystray = false;
    bool m_fermetureFaite = false;
    bool m_fermetureRefusee = false;
    bool m_testEnCours = false;
    bool m_actionEnCours = false;
    bool m_betaAnnoncee = false;
    QRect m_boundsNormaux;  // remembered normal-state bounds (pixels)
    QString m_recherche;
    QElapsedTimer m_derniereTouche;
    BilanAction m_dernierBilan;

    QTreeWidget* m_liste = nullptr;
    QTabBar* m_onglets = nullptr;
    QWidget* m_panneau = nullptr;
    QLabel* m_imgPar = nullptr;
    QLabel* m_lblMachines = nullptr;
    QPushButton* m_btnAjouter = nullptr;
    QPushButton* m_btnModifier = nullptr;
    QPushButton* m_btnSupprimer = nullptr;
    QPushButton* m_btnTester = nullptr;
    QPushButton* m_btnTesterSelection = nullptr;
    QPushButton* m_btnReveiller = nullptr;
    QPushButton* m_btnReveillerPlus = nullptr;
    QPushButton* m_btnAgir = nullptr;
    QPushButton* m_btnAgirPlus = nullptr;
    QPushButton* m_btnQuitter = nullptr;
    QTimer* m_timExtinction = nullptr;
    QTimer* m_timEffacerInfo = nullptr;
    QTimer* m_timDeconnecter = nullptr;
    class ActualisationEtat* m_actualisation = nullptr;  // live status of the rows
    QAction* m_mnuInfo = nullptr;
    QAction* m_mnuMemoriserPosition = nullptr;
    QAction* m_mnuMemoriserTaille = nullptr;
    QAction* m_mnuMemoriserColonnes = nullptr;
    QAction* m_mnuMemoriserDossier = nullptr;
    QAction* m_mnuMemoriserTri = nullptr;
    QAction* m_mnuMinimiserSystray = nullptr;
    QAction* m_mnuToujoursAuDessus = nullptr;
    QMenu* m_mnuSystray = nullptr;
    QSystemTrayIcon* m_systray = nullptr;
};

// The application title ("Velmora").
const char* TitreApplication();
// The command-line text of argv as the program expects it (arguments joined by spaces, a switch
// value or a file name holding a space or "/" quoted back).
std::string TexteLigneCommande(int argc, char** argv);

}  // namespace velmora::gui
