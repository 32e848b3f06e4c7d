#include "gui/main/frmVelmora.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/platform/Chemins.h"
#include "common/platform/Outil.h"
#include "common/startup/Initialiser.h"
#include "common/text/Commun.h"
#include "gui/dialogs/frmAPropos.h"
#include "gui/dialogs/frmAstuceDuJour.h"
#include "gui/list/ActualisationEtat.h"
#include "gui/list/ListeMachines.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraductionsQt.h"
#include "gui/widgets/TraduireFeuille.h"

// The resources of the window live in a static library: register them once.
static void InitialiserRessources() { Q_INIT_RESOURCE(velmora); }

namespace velmora::gui {

using i18n::Tr;

namespace {
constexpr int kTwips = 15;  // twips per pixel
QString Q(const std::string& texte) { return QString::fromStdString(texte); }
}  // namespace

const char* TitreApplication() { return "Velmora"; }

std::string TexteLigneCommande(int argc, char** argv) {
    std::string texte;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        const bool interrupteur = argument.size() > 2 && argument[0] == '/' && argument[2] == ':';
        if (interrupteur) {
            const std::string valeur = argument.substr(3);
            if (valeur.find_first_of(" /") != std::string::npos && valeur.front() != '"')
                argument = argument.substr(0, 3) + '"' + valeur + '"';
        } else if (argument.find(' ') != std::string::npos && argument.front() != '"') {
            argument = '"' + argument + '"';
        }
        if (!texte.empty()) texte += ' ';
        texte += argument;
    }
    return texte;
}

frmVelmora::frmVelmora(QWidget* parent)
    : QMainWindow(parent), m_operations(net::OperationsCourantes()) {
    InitialiserRessources();
    setObjectName("frmVelmora");
    setWindowTitle(TitreApplication());
    setWindowIcon(QIcon(":/velmora/velmora.png"));
    ConstruireControles();
    ConstruireMenus();
    ConstruireSystray();
    m_timExtinction = new QTimer(this);
    m_timExtinction->setObjectName("timExtinction");
    m_timExtinction->setInterval(500);
    connect(m_timExtinction, &QTimer::timeout, this, &frmVelmora::timExtinction_Timer);
    m_timEffacerInfo = new QTimer(this);
    m_timEffacerInfo->setObjectName("timEffacerInfo");
    m_timEffacerInfo->setInterval(3000);
    connect(m_timEffacerInfo, &QTimer::timeout, this, &frmVelmora::timEffacerInfo_Timer);
    m_timDeconnecter = new QTimer(this);
    m_timDeconnecter->setObjectName(QString::fromUtf8("timDéconnecterAprèsCommandePersonnalisée"));
    m_timDeconnecter->setInterval(1000);
    connect(m_timDeconnecter, &QTimer::timeout, this,
            &frmVelmora::timDeconnecterApresCommandePersonnalisee_Timer);
    setMinimumSize(6500 / kTwips, 5500 / kTwips);
    resize(11400 / kTwips, 7300 / kTwips);
    m_boundsNormaux = QRect(pos(), size());
    qApp->installEventFilter(this);
}

frmVelmora::~frmVelmora() { qApp->removeEventFilter(this); }

void frmVelmora::ConstruireControles() {
    auto* centre = new QWidget(this);
    centre->setObjectName("centre");
    setCentralWidget(centre);

    m_onglets = new QTabBar(centre);
    m_onglets->setObjectName("tabOnglets");
    m_onglets->setExpanding(false);
    m_onglets->setUsesScrollButtons(true);
    m_onglets->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_onglets, &QTabBar::currentChanged, this, [this] { tabOnglets_Click(); });
    connect(m_onglets, &QWidget::customContextMenuRequested, this,
            &frmVelmora::OngletsMenuContextuel);

    m_liste = new QTreeWidget(centre);
    m_liste->setObjectName("lvwMachines");
    m_liste->setColumnCount(NombreColonnes);
    m_liste->setRootIsDecorated(false);
    m_liste->setUniformRowHeights(true);
    m_liste->setAllColumnsShowFocus(true);
    m_liste->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_liste->setSortingEnabled(false);
    m_liste->header()->setSectionsClickable(true);
    m_liste->header()->setSortIndicatorShown(false);
    m_liste->header()->setStretchLastSection(true);
    m_liste->setContextMenuPolicy(Qt::DefaultContextMenu);  // see eventFilter
    for (int c = 0; c < NombreColonnes; ++c)
        m_liste->header()->resizeSection(c, kLargeursColonnes[c] / kTwips);
    connect(m_liste->header(), &QHeaderView::sectionClicked, this, [this](int colonne) {
        m_tri = (std::abs(m_tri) == colonne + 1) ? -m_tri : colonne + 1;
        TrierListe();
    });
    connect(m_liste, &QTreeWidget::itemSelectionChanged, this, &frmVelmora::ActualiserBoutons);
    connect(m_liste, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (m_btnModifier->isEnabled()) btnModifier_Click();
    });

    auto bouton = [this](const char* nom, const char* libelle) {
        auto* b = new QPushButton(QString::fromUtf8(libelle), m_panneau);
        b->setObjectName(QString::fromUtf8(nom));
        b->setAutoDefault(false);
        return b;
    };
    m_panneau = new QWidget(centre);
    m_panneau->setObjectName("picFondBoutons");
    m_btnAjouter = bouton("btnAjouter", "&Ajouter...");
    m_btnModifier = bouton("btnModifier", "&Modifier...");
    m_btnSupprimer = bouton("btnSupprimer", "&Supprimer...");
    m_btnTester = bouton("btnTester", "&Tester tout");
    m_btnTesterSelection = bouton("btnTesterSélection", "T&ester la sélection");
    m_btnReveiller = bouton("btnRéveiller", "&Réveiller la sélection");
    m_btnReveillerPlus = bouton("btnRéveillerPlus", "\u25BC");
    m_btnAgir = bouton("btnAgir", "Agir s&ur la sélection...");
    m_btnAgirPlus = bouton("btnAgirPlus", "\u25BC");
    m_btnQuitter = bouton("btnQuitter", "&Quitter");
    for (QPushButton* fleche : {m_btnReveillerPlus, m_btnAgirPlus}) {
        fleche->setFixedWidth(20);
        fleche->setFocusPolicy(Qt::NoFocus);
    }
    auto* boutons = new QVBoxLayout(m_panneau);
    boutons->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : {m_btnAjouter, m_btnModifier, m_btnSupprimer}) boutons->addWidget(b);
    boutons->addSpacing(12);
    boutons->addWidget(m_btnTester);
    boutons->addWidget(m_btnTesterSelection);
    boutons->addSpacing(12);
    for (auto [principal, fleche] :
         {std::pair{m_btnReveiller, m_btnReveillerPlus}, std::pair{m_btnAgir, m_btnAgirPlus}}) {
        auto* ligne = new QHBoxLayout;
        ligne->setSpacing(0);
        ligne->addWidget(principal, 1);
        ligne->addWidget(fleche);
        boutons->addLayout(ligne);
    }
    boutons->addStretch(1);
    boutons->addWidget(m_btnQuitter);
    m_panneau->setMinimumWidth(165);

    auto* lblNbMachines = new QLabel("Nb machines :", centre);
    lblNbMachines->setObjectName("lblNbMachines");
    m_lblMachines = new QLabel("0", centre);
    m_lblMachines->setObjectName("lblMachines");
    m_imgPar = new QLabel(centre);
    m_imgPar->setObjectName("imgPar");
    m_imgPar->setPixmap(QIcon(":/velmora/velmora.png").pixmap(20, 20));
    m_imgPar->setToolTip(TitreApplication());

    auto* gauche = new QVBoxLayout;
    gauche->setSpacing(0);
    gauche->addWidget(m_onglets);
    gauche->addWidget(m_liste, 1);
    auto* haut = new QHBoxLayout;
    haut->setSpacing(8);
    haut->addLayout(gauche, 1);
    haut->addWidget(m_panneau);
    auto* bas = new QHBoxLayout;
    bas->addWidget(lblNbMachines);
    bas->addWidget(m_lblMachines);
    bas->addStretch(1);
    bas->addWidget(m_imgPar);
    bas->addStretch(1);
    bas->addSpacing(m_panneau->minimumWidth());
    auto* disposition = new QVBoxLayout(centre);
    disposition->setContentsMargins(120 / kTwips, 120 / kTwips, 120 / kTwips, 60 / kTwips);
    disposition->addLayout(haut, 1);
    disposition->addLayout(bas);

    connect(m_btnAjouter, &QPushButton::clicked, this, &frmVelmora::btnAjouter_Click);
    connect(m_btnModifier, &QPushButton::clicked, this, &frmVelmora::btnModifier_Click);
    connect(m_btnSupprimer, &QPushButton::clicked, this, &frmVelmora::btnSupprimer_Click);
    connect(m_btnTester, &QPushButton::clicked, this, &frmVelmora::btnTester_Click);
    connect(m_btnTesterSelection, &QPushButton::clicked, this,
            &frmVelmora::btnTesterSelection_Click);
    connect(m_btnReveiller, &QPushButton::clicked, this, &frmVelmora::btnReveiller_Click);
    connect(m_btnAgir, &QPushButton::clicked, this, &frmVelmora::btnAgir_Click);
    connect(m_btnReveillerPlus, &QPushButton::pressed, this,
            [this] { AfficherMenuActions(m_btnReveillerPlus, false); });
    connect(m_btnAgirPlus, &QPushButton::pressed, this,
            [this] { AfficherMenuActions(m_btnAgirPlus, false); });
    connect(m_btnQuitter, &QPushButton::clicked, this, &QWidget::close);
}

QAction* frmVelmora::AjouterOption(QMenu* menu, const char* nom, const char* libelle) {
    QAction* option = menu->addAction(QString::fromUtf8(libelle));
    option->setObjectName(QString::fromUtf8(nom));
    option->setCheckable(true);
    connect(option, &QAction::triggered, this, &frmVelmora::OptionModifiee);
    return option;
}

void frmVelmora::ConstruireMenus() {
    auto menu = [this](const char* nom, const char* titre) {
        QMenu* m = menuBar()->addMenu(QString::fromUtf8(titre));
        m->setObjectName(nom);
        m->menuAction()->setObjectName(nom);
        return m;
    };
    auto element = [this](QMenu* m, const char* nom, const char* libelle, auto slot) {
        QAction* a = m->addAction(QString::fromUtf8(libelle));
        a->setObjectName(QString::fromUtf8(nom));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    auto separateur = [](QMenu* m, const char* nom) { m->addSeparator()->setObjectName(nom); };

    QMenu* fichier = menu("mnuFichier", "&Fichier");
    element(fichier, "mnuFichierImportTrellide", "Importer une liste générée par &Trellide...",
            &frmVelmora::mnuFichierImportTrellide_Click);
    element(fichier, "mnuFichierImporter", "Importer une liste depuis un fichier te&xte...",
            &frmVelmora::mnuFichierImporter_Click);
    element(fichier, "mnuFichierDecouvrir", "&Découvrir le réseau...",
            &frmVelmora::mnuFichierDecouvrir_Click);
    separateur(fichier, "mnuFichierSep1");
    element(fichier, "mnuFichierSauvegarder", "&Sauvegarder la configuration",
            &frmVelmora::mnuFichierSauvegarder_Click);
    separateur(fichier, "mnuFichierSep2");
    element(fichier, "mnuFichierQuitter", "&Quitter", &QWidget::close);

    QMenu* options = menu("mnuOptions", "&Options");
    m_mnuMemoriserPosition = AjouterOption(options, "mnuOptionsMémoriserPosition",
                                           "Mémoriser la &position de la fenêtre");
    m_mnuMemoriserTaille =
        AjouterOption(options, "mnuOptionsMémoriserTaille", "Mémoriser la &taille de la fenêtre");
    m_mnuMemoriserColonnes = AjouterOption(options, "mnuOptionsMémoriserConfigColonnes",
                                           "Mémoriser la &largeur des colonnes");
    m_mnuMemoriserDossier =
        AjouterOption(options, "mnuOptionsMémoriserDossier", "Mémoriser le &dossier");
    m_mnuMemoriserTri = AjouterOption(options, "mnuOptionsMémoriserTri", "Mémoriser le t&ri");
    separateur(options, "mnuOptionsSep1");
    m_mnuMinimiserSystray =
        AjouterOption(options, "mnuOptionsMinimiserSystray", "Mi&nimiser dans la systray");
    m_mnuToujoursAuDessus =
        AjouterOption(options, "mnuOptionsToujoursAuDessus", "Fenêtre toujours au dess&us");
    connect(m_mnuToujoursAuDessus, &QAction::triggered, this, [this](bool dessus) {
        DefinirToujoursAuDessus(dessus);
        AppliquerToujoursAuDessus(this, dessus);
    });
    separateur(options, "mnuOptionsSep2");
    element(options, "mnuOptionsMajMAC", "Mettre à jour les adresses &MAC...",
            &frmVelmora::mnuOptionsMajMAC_Click);
    separateur(options, "mnuOptionsSep3");
    element(options, "mnuOptionsPréférences", "&Configuration...",
            &frmVelmora::mnuOptionsPreferences_Click);

    QMenu* aide = menu("mnuAide", "&?");
    element(aide, "mnuAideAstuceDuJour", "A&stuce du jour...", &frmVelmora::mnuAideAstuce_Click);
    separateur(aide, "mnuAideSep2");
    element(aide, "mnuAideAPropos", "&A propos de Velmora...", &frmVelmora::mnuAideAPropos_Click);

    // The information text stands at the right end of the menu bar.
    m_mnuInfo = new QAction("Info", this);
    m_mnuInfo->setObjectName("mnuInfo");
    m_mnuInfo->setVisible(false);
    auto* info = new QLabel(menuBar());
    info->setObjectName("lblInfo");
    info->setContentsMargins(0, 0, 8, 0);
    info->hide();
    menuBar()->setCornerWidget(info, Qt::TopRightCorner);
    connect(m_mnuInfo, &QAction::changed, info, [this, info] {
        info->setText(m_mnuInfo->text());
        info->setVisible(m_mnuInfo->isVisible());
        menuBar()->adjustSize();
    });
}

void frmVelmora::ConstruireSystray() {
    m_mnuSystray = new QMenu("Systray", this);
    m_mnuSystray->setObjectName("mnuSystray");
    QAction* restaurer = m_mnuSystray->addAction("&Restaurer");
    restaurer->setObjectName("mnuSystrayRestaurer");
    connect(restaurer, &QAction::triggered, this, &frmVelmora::mnuSystrayRestaurer_Click);
    m_mnuSystray->setDefaultAction(restaurer);
    m_mnuSystray->addSeparator()->setObjectName("mnuSystraySep1");
    m_mnuSystray->addAction("&Annuler")->setObjectName("mnuSystrayAnnuler");
    m_mnuSystray->addSeparator()->setObjectName("mnuSystraySep2");
    QAction* quitter = m_mnuSystray->addAction("&Quitter");
    quitter->setObjectName("mnuSystrayQuitter");
    connect(quitter, &QAction::triggered, this, &QWidget::close);
    m_systray = new QSystemTrayIcon(windowIcon(), this);
    m_systray->setObjectName("systray");
    m_systray->setContextMenu(m_mnuSystray);
    connect(m_systray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason raison) {
                // A double click restores. Not the first click already: the window would come
                // back under the second one, which then lands on the tray and takes the focus
                // away from the restored window.
                if (raison == QSystemTrayIcon::DoubleClick) mnuSystrayRestaurer_Click();
            });
}

bool frmVelmora::Form_Load(const std::string& ligneCommande) {
    QCoreApplication::processEvents();
    std::string texte = QString::fromStdString(ligneCommande).trimmed().toStdString();
    if (texte == "/?") texte.clear();
    m_ligneCommande = texte;
    Prog().mode = ModeDemarrage::GUI;
    Prog().ligneCommande = texte;
    std::string message;
    const int statut = Initialiser(ModeDemarrage::GUI, message);
    if (statut == 2) {
        MsgBox(nullptr, message, 16, TitreApplication());
        return false;
    }
    if (statut == 0) {
        MsgBox(nullptr, Tr("MSG_ERREUR_UTILISER_BATCH"), 48, TitreApplication());
        return false;
    }
    InstallerTraductionsQt(LangueInterface(Prog().fichierLangue));
    if (!Prog().langueIntrouvable.empty())
        MsgBox(nullptr, MessageLangueIntrouvable(), 48, TitreApplication());
    QStringList entetes;
    for (int c = 0; c < NombreColonnes; ++c) entetes << Q(Tr(kClesColonnes[c]));
    entetes[ColEtat].clear();
    m_liste->setHeaderLabels(entetes);
    AjusterLargeursColonnes();
    TraduireFeuille(this);
    // The caption names the Configuration file when one was given on the command line.
    std::string titre;
    if (!texte.empty()) titre = CheminRelatif(Prog().fichierConfig) + " - ";
    titre += std::string(TitreApplication()) + " " + platform::TexteVersion();
    setWindowTitle(Q(titre));
    DefinirFacteurEchelle(FacteurEchelleTexte(font()));

    ChargerReglages();
    AppliquerEtatFenetre();
    LireDossiersAuDemarrage();
    AppliquerActualisationEtat();
    if (m_systray) m_systray->setToolTip(windowTitle().left(64));
    return true;
}

void frmVelmora::AppliquerActualisationEtat() {
    if (!m_actualisation) {
        // Busy: a ping test, a run (the window is disabled) or any modal dialog (an edit).
        m_actualisation = new ActualisationEtat(
            m_liste,
            [this] {
                return m_testEnCours || !isEnabled() ||
                       QApplication::activeModalWidget() != nullptr;
            },
            [this] { return m_operations; }, this);
    }
    m_actualisation->DefinirIntervalle(Etat().reglages.actualiserEtat);
}

void frmVelmora::AjusterLargeursColonnes() {
    // The design widths suit a small font: with a larger one a column grows just enough for its
    // header and, for masks and MAC addresses, for a usual value.
    const QFontMetrics mesure(m_liste->font());
    for (int c = ColNom; c < NombreColonnes; ++c) {
        int largeur = kLargeursColonnes[c] / kTwips;
        largeur = std::max(largeur, mesure.horizontalAdvance(m_liste->headerItem()->text(c)) + 16);
        if (c == ColMasque)
            largeur = std::max(largeur, mesure.horizontalAdvance("255.255.255.0") + 12);
        if (c == ColAdresseMAC)
            largeur = std::max(largeur, mesure.horizontalAdvance("00:00:00:00:00:00") + 12);
        m_liste->header()->resizeSection(c, largeur);
    }
}

void frmVelmora::ChargerReglages() {
    const std::string& fichier = Prog().fichierConfig;
    Etat().reglages = ReglagesFenetre::Lire(fichier, Tr("TXT_COMMANDE_PERSONNALISEE_BUREAU"),
                                            Tr("TXT_COMMANDE_PERSONNALISEE_EXPLORER"),
                                            Prog().dossierConfig + "trellide.txt");
}

// Entry points completed by the configuration, import, MAC update and custom command modules.
// (mnuOptionsPreferences_Click: frmConfigurationFenetre.cpp; mnuOptionsMajMAC_Click:
// MiseAJourMACFenetre.cpp; mnuFichierImportTrellide_Click, mnuFichierImporter_Click:
// ImportFenetre.cpp; mnuFichierDecouvrir_Click: frmDecouverte.cpp; ExecuterCommandePersonnalisee
// and its timer: CommandesPersonnaliseesFenetre.cpp.)

void frmVelmora::mnuAideAstuce_Click() {
    frmAstuceDuJour astuces(this, Etat().reglages);
    astuces.exec();
}

void frmVelmora::mnuAideAPropos_Click() {
    frmAPropos aPropos(this);
    aPropos.exec();
}

void frmVelmora::AfficherAstuceAuDemarrage() {
    if (Etat().reglages.astucesAfficher) mnuAideAstuce_Click();
}

}  // namespace velmora::gui
