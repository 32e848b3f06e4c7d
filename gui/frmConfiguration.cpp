#include "gui/frmConfiguration.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

#include "common/config/Chemins.h"
#include "common/config/Commun.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/Controles.h"
#include "gui/Etat.h"
#include "gui/ListesConfig.h"
#include "gui/ListesConfigVerification.h"
#include "gui/Questions.h"
#include "gui/TraduireFeuille.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
const char* const kFrancais = "Français";
const char* const kZonesNumeriques[] = {
    "txtTimeoutPing",      "txtPortParDéfautWOL",         "txtDélaiEntreDeuxRéveilsWOL",
    "txtPortParDéfautWOW", "txtDélaiEntreDeuxRéveilsWOW", "txtDélaiAvantRedémarrageOuExtinction"};
const char* const kCaptionsOnglets[] = {"&Général",
                                        "&Réveil",
                                        "Réveil par &Internet",
                                        "Re&démarrage/extinction",
                                        "A&uthentification",
                                        "&Commandes personnalisées",
                                        "&Organisation des dossiers"};
const char* const kClesOnglets[] = {"Général",
                                    "Réveil",
                                    "RéveilParInternet",
                                    "RedémarrageExtinction",
                                    "Authentification",
                                    "CommandesPersonnalisées",
                                    "OrganisationDesDossiers"};

QLabel* Etiquette(QWidget* parent, const char* nom, const QString& texte, bool note = false) {
    auto* label = new QLabel(texte, parent);
    label->setObjectName(QString::fromUtf8(nom));
    label->setWordWrap(note);
    return label;
}

QLineEdit* NouvelleZone(QWidget* parent, const char* nom, int longueur = 0, int largeur = 0) {
    auto* zone = new QLineEdit(parent);
    zone->setObjectName(QString::fromUtf8(nom));
    if (longueur > 0) zone->setMaxLength(longueur);
    if (largeur > 0) zone->setFixedWidth(largeur);
    SelectionnerToutALEntree(zone);
    return zone;
}

QCheckBox* NouvelleCase(QWidget* parent, const char* nom, const QString& texte) {
    auto* c = new QCheckBox(texte, parent);
    c->setObjectName(QString::fromUtf8(nom));
    return c;
}

// label, box and optional unit on one row of a grid.
void Rangee(QGridLayout* grille, int rangee, QLabel* label, QWidget* zone,
            QLabel* unite = nullptr) {
    grille->addWidget(label, rangee, 0);
    auto* ligne = new QHBoxLayout;
    ligne->addWidget(zone);
    if (unite) ligne->addWidget(unite);
    ligne->addStretch();
    grille->addLayout(ligne, rangee, 1);
}

bool Coche(const QCheckBox* c) { return c->isChecked(); }
long long Nombre(const QLineEdit* z) { return Val(DepuisQString(z->text())); }
}  // namespace

frmConfiguration::frmConfiguration(const std::vector<std::string>& dossiers, QWidget* parent,
                                   std::vector<std::string> dossiersLangues)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmConfiguration"));
    setWindowTitle(QStringLiteral("Configuration"));
    setModal(true);

    m_onglets = new QTabBar(this);
    m_onglets->setObjectName(QStringLiteral("tabOnglets"));
    m_onglets->setExpanding(false);
    m_onglets->setUsesScrollButtons(false);  // every tab stays visible: the dialog widens
    m_onglets->setElideMode(Qt::ElideNone);
    m_pages = new QStackedWidget(this);
    QWidget* pages[] = {PageGeneral(),     PageReveil(),           PageReveilInternet(),
                        PageRedemarrage(), PageAuthentification(), PageCommandes(),
                        PageDossiers()};
    for (int n = 0; n < 7; ++n) {
        m_onglets->addTab(QString::fromUtf8(kCaptionsOnglets[n]));
        m_onglets->setTabData(n, QString::fromUtf8(kClesOnglets[n]));
        pages[n]->setObjectName(QStringLiteral("picOnglet(%1)").arg(n + 1));
        m_pages->addWidget(pages[n]);
    }
    m_retardateur = new QTimer(this);
    m_retardateur->setObjectName(QStringLiteral("tmrRetardateur"));
    m_retardateur->setInterval(200);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* annuler = new QPushButton(QStringLiteral("A&nnuler"), this);
    annuler->setObjectName(QStringLiteral("btnAnnuler"));
    auto* boutons = new QHBoxLayout;
    boutons->addStretch();
    boutons->addWidget(ok);
    boutons->addWidget(annuler);
    auto* principal = new QVBoxLayout(this);
    principal->addWidget(m_onglets);
    principal->addWidget(m_pages, 1);
    principal->addLayout(boutons);
    connect(ok, &QPushButton::clicked, this, &frmConfiguration::btnOK_Click);
    connect(annuler, &QPushButton::clicked, this, &frmConfiguration::btnAnnuler_Click);
    connect(m_onglets, &QTabBar::currentChanged, this,
            [this](int index) { SelectionnerOnglet(index + 1); });

    for (const char* nom : kZonesNumeriques) {
        QLineEdit* zone = Zone(nom);
        connect(zone, &QLineEdit::textChanged, zone, [zone](const QString& texte) {
            const QString filtre = VersQString(FiltrerNombre(DepuisQString(texte)));
            if (filtre != texte) zone->setText(filtre);
        });
    }
    connect(Zone("txtTimeoutPing"), &QLineEdit::editingFinished, this, [this] {
        if (Nombre(Zone("txtTimeoutPing")) < 100) Zone("txtTimeoutPing")->setText("100");
    });
    for (const char* nom : {"txtDélaiEntreDeuxRéveilsWOL", "txtDélaiEntreDeuxRéveilsWOW",
                            "txtDélaiAvantRedémarrageOuExtinction"}) {
        QLineEdit* zone = Zone(nom);
        connect(zone, &QLineEdit::editingFinished, zone, [zone] {
            if (Val(DepuisQString(zone->text())) < 0) zone->setText("0");
        });
    }
    auto regles = [this] { AppliquerReglesActivation(); };
    connect(Case("chkConfirmation"), &QCheckBox::toggled, this, regles);
    connect(m_repli[1], &QRadioButton::toggled, this, regles);
    connect(m_script[1], &QRadioButton::toggled, this, regles);
    connect(m_proxyType, &QComboBox::currentIndexChanged, this, regles);
    connect(m_authMode, &QComboBox::currentIndexChanged, this, regles);
    connect(m_proxyType, &QComboBox::activated, this, [this](int index) {
        if (index == 2) FocusSilencieux(Zone("txtProxyAdresse"));
    });
    connect(m_authMode, &QComboBox::activated, this, [this](int index) {
        if (index == 1) FocusSilencieux(Zone("txtAuthentificationLogin"));
    });

    TraduireFeuille(this);
    RemplirLangues(dossiersLangues.empty() ? DossiersLangues(ProgrammeInstalle())
                                           : dossiersLangues);
    m_proxyType->addItems({VersQString(Tr("TXT_ACCES_DEFAUT_IE")),
                           VersQString(Tr("TXT_ACCES_DIRECT")),
                           VersQString(Tr("TXT_ACCES_PROXY"))});
    m_authMode->addItems({VersQString(Tr("TXT_AUTHENTIFICATION_SESSION")),
                          VersQString(Tr("TXT_AUTHENTIFICATION_LOGINPASSWORD"))});
    LireReglages();
    RemplirListes(dossiers);
    Etat().configModifiee = false;
    Etat().annulation = true;
    AppliquerToujoursAuDessus(this);
    qApp->installEventFilter(this);
    m_initialise = true;
}

frmConfiguration::~frmConfiguration() { qApp->removeEventFilter(this); }

QLineEdit* frmConfiguration::Zone(const char* nom) const {
    return findChild<QLineEdit*>(QString::fromUtf8(nom));
}
QCheckBox* frmConfiguration::Case(const char* nom) const {
    return findChild<QCheckBox*>(QString::fromUtf8(nom));
}

QWidget* frmConfiguration::PageGeneral() {
    auto* page = new QWidget;
    auto* grille = new QGridLayout;
    m_langue = new QComboBox(page);
    m_langue->setObjectName(QStringLiteral("cboLangue"));
    m_langue->setMinimumWidth(160);
    auto* langue = new QHBoxLayout;
    langue->addWidget(m_langue);
    langue->addWidget(Etiquette(page, "lblRequiertRedémarrage",
                                QStringLiteral("(requiert un redémarrage du logiciel)")));
    langue->addStretch();
    grille->addWidget(Etiquette(page, "lblLangue", QStringLiteral("Langue")), 0, 0);
    grille->addLayout(langue, 0, 1);
    Rangee(grille, 1, Etiquette(page, "lblTimeoutPing", QStringLiteral("Timeout ping")),
           NouvelleZone(page, "txtTimeoutPing", 4, 60),
           Etiquette(page, "lblTimeoutPingUnité", QStringLiteral("ms.")));
    grille->setColumnStretch(1, 1);

    auto* colonne = new QVBoxLayout(page);
    colonne->addLayout(grille);
    colonne->addWidget(NouvelleCase(
        page, "chkConfirmation",
        QStringLiteral("Afficher un m&essage de confirmation avant d'éteindre, redémarrer, "
                       "verrouiller/fermer la session ou mettre en veille prolongée")));
    auto* retrait = new QHBoxLayout;
    retrait->addSpacing(20);
    retrait->addWidget(
        NouvelleCase(page, "chkConfirmationSiPlusieursMachinesUniquement",
                     QStringLiteral("Uniquement &si plusieurs machines sont sélectionnées")));
    colonne->addLayout(retrait);
    const std::pair<const char*, const char*> cases[] = {
        {"chkZapperFenêtreAction",
         "Ne &pas afficher la fenêtre 'agir' en cas de sélection des options "
         "redémarrer/éteindre (non WMI) du menu popup"},
        {"chkNePasStopper",
         "&Traiter toutes les machines sélectionnées (ne pas stopper en cas de non réponse au "
         "ping ou d'erreur)"},
        {"chkFenêtreTraitementFermerAutomatiquement",
         "&Fermer automatiquement la fenêtre de traitement (sauf erreur)"},
        {"chkFenêtreTraitementSeulementMultisélection",
         "N'afficher la fenêtre de traitement qu'en cas de sélection &multiple"},
        {"chkMettreEnRougeRéveil",
         "Mettre en &rouge l'icone des machines sur lesquelles une action de réveil (WOL ou WOW) "
         "est effectuée"}};
    for (const auto& [nom, texte] : cases)
        colonne->addWidget(NouvelleCase(page, nom, QString::fromUtf8(texte)));
    colonne->addStretch();
    return page;
}

QWidget* frmConfiguration::PageReveil() {
    auto* page = new QWidget;
    auto* cadre =
        new QGroupBox(QStringLiteral(" Réglages spécifiques WOL (réveil par le réseau) "), page);
    cadre->setObjectName(QStringLiteral("fraWOL"));
    auto* grille = new QGridLayout;
    Rangee(grille, 0, Etiquette(cadre, "lblPortParDéfautWOL", QStringLiteral("Port par défaut*")),
           NouvelleZone(cadre, "txtPortParDéfautWOL", 5, 60));
    Rangee(grille, 1, Etiquette(cadre, "lblMasqueParDéfaut", QStringLiteral("Masque par défaut*")),
           NouvelleZone(cadre, "txtMasqueParDéfaut", 15, 130));
    grille->addWidget(
        Etiquette(cadre, "lblMasqueParDéfautInfo",
                  QStringLiteral("Cette valeur est utilisée pour déterminer l'adresse (de "
                                 "broadcast en principe) qui sera utilisée comme destinataire du "
                                 "paquet magique."),
                  true),
        2, 1);
    Rangee(grille, 3,
           Etiquette(cadre, "lblDélaiEntreDeuxRéveilsWOL",
                     QStringLiteral("Délai entre deux réveils (en cas de sélection multiple)")),
           NouvelleZone(cadre, "txtDélaiEntreDeuxRéveilsWOL", 4, 60),
           Etiquette(cadre, "lblDélaiEntreDeuxRéveilsWOLUnité", QStringLiteral("ms.")));
    grille->setColumnStretch(1, 1);

    m_repli[0] = new QRadioButton(QStringLiteral("Adresse de &broadcast locale"), cadre);
    m_repli[0]->setObjectName(QStringLiteral("optRepliMode(0)"));
    m_repli[1] = new QRadioButton(QStringLiteral("Adresse alternati&ve"), cadre);
    m_repli[1]->setObjectName(QStringLiteral("optRepliMode(1)"));
    auto* alternative = new QHBoxLayout;
    alternative->addWidget(m_repli[1]);
    alternative->addWidget(NouvelleZone(cadre, "txtRepliAdresse", 15, 130));
    alternative->addStretch();

    auto* colonne = new QVBoxLayout(cadre);
    colonne->addLayout(grille);
    colonne->addWidget(Etiquette(
        cadre, "lblAdresseDeRepliInfo",
        QStringLiteral("Dans le cas où une machine a été désignée sous son nom NetBIOS ou DNS au "
                       "lieu de son adresse IP et que la résolution de ce nom (nécessaire pour "
                       "calculer l'adresse vers laquelle le paquet magique doit être envoyé) "
                       "n'a pas abouti, vers quelle adresse envoyer le paquet ?"),
        true));
    colonne->addWidget(m_repli[0]);
    colonne->addLayout(alternative);
    colonne->addWidget(
        Etiquette(cadre, "lblMasquePortDéfautInfo",
                  QStringLiteral("* Valeurs utilisées par défaut pour réveiller les machines pour "
                                 "lesquelles ces informations n'ont pas été renseignées "
                                 "individuellement..."),
                  true));
    auto* contenu = new QVBoxLayout(page);
    contenu->addWidget(cadre);
    contenu->addStretch();
    return page;
}

QWidget* frmConfiguration::PageRedemarrage() {
    auto* page = new QWidget;
    auto* colonne = new QVBoxLayout(page);
    colonne->addWidget(Etiquette(page, "lblRedémarrageExtinctionInfo",
                                 QStringLiteral("Ces réglages ne concernent que les "
                                                "fonctionnalités de redémarrage/extinction non "
                                                "WMI..."),
                                 true));
    auto* grille = new QGridLayout;
    Rangee(grille, 0,
           Etiquette(page, "lblDélaiAvantRedémarrageOuExtinction",
                     QStringLiteral("Délai avant redémarrage/extinction")),
           NouvelleZone(page, "txtDélaiAvantRedémarrageOuExtinction", 4, 60),
           Etiquette(page, "lblDélaiAvantRedémarrageOuExtinctionUnité", QStringLiteral("s.")));
    grille->setColumnStretch(1, 1);
    colonne->addLayout(grille);
    colonne->addWidget(Etiquette(page, "lblMessage",
                                 QStringLiteral("Message à afficher à l'utilisateur connecté :")));
    colonne->addWidget(NouvelleZone(page, "txtMessage"));
    colonne->addWidget(
        NouvelleCase(page, "chkForcer", QStringLiteral("&Forcer la fermeture des applications")));
    colonne->addStretch();
    return page;
}

QWidget* frmConfiguration::PageAuthentification() {
    auto* page = new QWidget;
    auto* colonne = new QVBoxLayout(page);
    colonne->addWidget(Etiquette(
        page, "lblAuthentificationInfo",
        QStringLiteral("Par défaut, les opérations distantes sont exécutées sous votre compte "
                       "(login/password avec lequel la session a été ouverte localement). Vous "
                       "pouvez toutefois spécifier un autre compte, reconnu sur les machines "
                       "distantes comme ayant des privilèges suffisants."),
        true));
    m_authMode = new QComboBox(page);
    m_authMode->setObjectName(QStringLiteral("cboAuthentificationMode"));
    QLineEdit* motDePasse = NouvelleZone(page, "txtAuthentificationPassword", 0, 200);
    motDePasse->setEchoMode(QLineEdit::Password);
    auto* grille = new QGridLayout;
    Rangee(grille, 0, Etiquette(page, "lblAuthentificationMode", QStringLiteral("Mode")),
           m_authMode);
    Rangee(grille, 1, Etiquette(page, "lblAuthentificationLogin", QStringLiteral("Login")),
           NouvelleZone(page, "txtAuthentificationLogin", 0, 200));
    Rangee(grille, 2, Etiquette(page, "lblAuthentificationPassword", QStringLiteral("Password")),
           motDePasse);
    grille->setColumnStretch(1, 1);
    colonne->addLayout(grille);
    colonne->addStretch();
    return page;
}

void frmConfiguration::RemplirLangues(const std::vector<std::string>& dossiersLangues) {
    m_langue->clear();
    m_langue->addItem(QString::fromUtf8(kFrancais));
    std::set<QString> vus;
    for (const std::string& dossier : dossiersLangues) {
        const QDir d(VersQString(dossier));
        for (const QFileInfo& f :
             d.entryInfoList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name)) {
            const QString nom = f.fileName().chopped(4);
            if (!nom.isEmpty() && vus.insert(nom).second) m_langue->addItem(nom);
        }
    }
    Programme& prog = Prog();
    if (prog.fichierLangue.empty() || !FichierExiste(prog.fichierLangue) || m_langue->count() == 1)
        prog.langue = kFrancais;
    m_langue->setEnabled(m_langue->count() >= 2);
    const int index = m_langue->findText(VersQString(prog.langue));
    m_langue->setCurrentIndex(std::max(index, 0));
    HauteurListeDeroulante(m_langue, 5000);
}

void frmConfiguration::LireReglages() {
    const ReglagesDemarrage& d = Prog().reglages;
    const ReglagesFenetre& f = Etat().reglages;
    auto texte = [this](const char* nom, const std::string& valeur) {
        Zone(nom)->setText(VersQString(valeur));
    };
    auto nombre = [&](const char* nom, long long valeur) { texte(nom, std::to_string(valeur)); };
    nombre("txtTimeoutPing", d.tempoPing);
    Case("chkConfirmation")->setChecked(f.confirmation);
    Case("chkConfirmationSiPlusieursMachinesUniquement")->setChecked(f.confirmationSiPlusieurs);
    Case("chkZapperFenêtreAction")->setChecked(f.zapperConfigAction);
    Case("chkNePasStopper")->setChecked(f.nePasStopper);
    Case("chkFenêtreTraitementFermerAutomatiquement")->setChecked(f.fenetreTraitementFermer);
    Case("chkFenêtreTraitementSeulementMultisélection")
        ->setChecked(f.fenetreTraitementMultiselection);
    Case("chkMettreEnRougeRéveil")->setChecked(f.mettreEnRougeReveil);
    nombre("txtPortParDéfautWOL", d.portParDefautWOL);
    texte("txtMasqueParDéfaut", d.masqueParDefaut);
    nombre("txtDélaiEntreDeuxRéveilsWOL", d.delaiEntreDeuxReveilsWOL);
    m_repli[d.repliMode == 1 ? 1 : 0]->setChecked(true);
    texte("txtRepliAdresse", d.repliAdresse);
    nombre("txtPortParDéfautWOW", d.portParDefautWOW);
    nombre("txtDélaiEntreDeuxRéveilsWOW", d.delaiEntreDeuxReveilsWOW);
    m_script[d.scriptWOWParDefaut ? 0 : 1]->setChecked(true);
    texte("txtScriptWOWUrl", d.scriptWOWUrl);
    Case("chkWOWTraiterIPPubliquesSansConfirmation")->setChecked(d.wowSansConfirmation);
    m_proxyType->setCurrentIndex(static_cast<int>(std::clamp<long long>(d.proxyType, 0, 2)));
    texte("txtProxyAdresse", d.proxyAdresse);
    texte("txtProxyPort", d.proxyPort);
    texte("txtProxyLogin", d.proxyLogin);
    texte("txtProxyPassword", d.proxyPassword);
    Case("chkProxySiErreurTesterAussiAccèsDirect")->setChecked(d.proxyAccesDirect);
    nombre("txtDélaiAvantRedémarrageOuExtinction", d.delaiAvantRedemarrage);
    texte("txtMessage", d.messageParDefaut);
    Case("chkForcer")->setChecked(d.forcerParDefaut);
    m_authMode->setCurrentIndex(d.authentificationMode == 1 ? 1 : 0);
    texte("txtAuthentificationLogin", d.authentificationLogin);
    texte("txtAuthentificationPassword", d.authentificationPassword);
    AppliquerReglesActivation();
}

void frmConfiguration::AppliquerReglesActivation() {
    ActiverAvecCouleur(Case("chkConfirmationSiPlusieursMachinesUniquement"),
                       Case("chkConfirmation")->isChecked());
    ActiverAvecCouleur(Zone("txtRepliAdresse"), m_repli[1]->isChecked());
    ActiverAvecCouleur(Zone("txtScriptWOWUrl"), m_script[1]->isChecked());
    const int proxy = m_proxyType->currentIndex();
    ActiverAvecCouleur(Zone("txtProxyAdresse"), proxy == 2);
    ActiverAvecCouleur(Zone("txtProxyPort"), proxy == 2);
    ActiverAvecCouleur(Zone("txtProxyLogin"), proxy != 1);
    ActiverAvecCouleur(Zone("txtProxyPassword"), proxy != 1);
    ActiverAvecCouleur(Case("chkProxySiErreurTesterAussiAccèsDirect"), proxy != 1);
    const bool compte = m_authMode->currentIndex() == 1;
    ActiverAvecCouleur(Zone("txtAuthentificationLogin"), compte);
    ActiverAvecCouleur(Zone("txtAuthentificationPassword"), compte);
}

QWidget* frmConfiguration::PageReveilInternet() {
    auto* page = new QWidget;
    auto* grille = new QGridLayout;
    Rangee(grille, 0, Etiquette(page, "lblPortParDéfautWOW", QStringLiteral("Port par défaut")),
           NouvelleZone(page, "txtPortParDéfautWOW", 5, 60));
    Rangee(grille, 1,
           Etiquette(page, "lblDélaiEntreDeuxRéveilsWOW",
                     QStringLiteral("Délai entre deux réveils (en cas de sélection multiple)")),
           NouvelleZone(page, "txtDélaiEntreDeuxRéveilsWOW", 4, 60),
           Etiquette(page, "lblDélaiEntreDeuxRéveilsWOWUnité", QStringLiteral("ms.")));
    grille->setColumnStretch(1, 1);

    m_script[0] = new QRadioButton(
        QStringLiteral("&Script par défaut (hébergé sur le site de Velmora)"), page);
    m_script[0]->setObjectName(QStringLiteral("optScriptWOW(0)"));
    m_script[1] = new QRadioButton(QStringLiteral("&URL script"), page);
    m_script[1]->setObjectName(QStringLiteral("optScriptWOW(1)"));
    auto* url = new QHBoxLayout;
    url->addWidget(m_script[1]);
    url->addWidget(NouvelleZone(page, "txtScriptWOWUrl"), 1);

    auto* cadre = new QGroupBox(QStringLiteral(" Configuration de l'accès à Internet "), page);
    cadre->setObjectName(QStringLiteral("fraProxy"));
    m_proxyType = new QComboBox(cadre);
    m_proxyType->setObjectName(QStringLiteral("cboProxyType"));
    QLineEdit* motDePasse = NouvelleZone(cadre, "txtProxyPassword", 0, 150);
    motDePasse->setEchoMode(QLineEdit::Password);
    auto* proxy = new QGridLayout(cadre);
    proxy->addWidget(Etiquette(cadre, "lblProxyType", QStringLiteral("Accès")), 0, 0);
    proxy->addWidget(m_proxyType, 0, 1, 1, 3);
    proxy->addWidget(Etiquette(cadre, "lblProxyAdresse", QStringLiteral("Adresse")), 1, 0);
    proxy->addWidget(NouvelleZone(cadre, "txtProxyAdresse"), 1, 1);
    proxy->addWidget(Etiquette(cadre, "lblProxyPort", QStringLiteral("Port")), 1, 2);
    proxy->addWidget(NouvelleZone(cadre, "txtProxyPort", 5, 60), 1, 3);
    proxy->addWidget(Etiquette(cadre, "lblProxyLogin", QStringLiteral("Login")), 2, 0);
    proxy->addWidget(NouvelleZone(cadre, "txtProxyLogin"), 2, 1);
    proxy->addWidget(Etiquette(cadre, "lblProxyPassword", QStringLiteral("Password")), 2, 2);
    proxy->addWidget(motDePasse, 2, 3);
    proxy->addWidget(
        NouvelleCase(cadre, "chkProxySiErreurTesterAussiAccèsDirect",
                     QStringLiteral("&En cas d'échec de connexion à Internet, tester aussi le "
                                    "mode \"connexion directe\"")),
        3, 0, 1, 4);
    proxy->setColumnStretch(1, 1);

    auto* colonne = new QVBoxLayout(page);
    colonne->addLayout(grille);
    colonne->addWidget(Etiquette(
        page, "lblScriptWOWInfo",
        QStringLiteral("Le réveil par Internet passe par un script hébergé sur un site web. Le "
                       "script de l'éditeur est sélectionné par défaut ; vous pouvez indiquer "
                       "l'adresse d'un autre script, ou héberger vous-même une copie du script."),
        true));
    colonne->addWidget(m_script[0]);
    colonne->addLayout(url);
    colonne->addWidget(Etiquette(page, "lblScriptWOWInfoParams",
                                 QStringLiteral("Utilisez les variables %ip%, %mac% et %port% "
                                                "pour transmettre les valeurs au script."),
                                 true));
    colonne->addWidget(NouvelleCase(
        page, "chkWOWTraiterIPPubliquesSansConfirmation",
        QStringLiteral("&Traiter les adresses IP privées sans faire apparaître la fenêtre "
                       "d'avertissement/confirmation")));
    colonne->addWidget(cadre);
    colonne->addStretch();
    return page;
}

void frmConfiguration::SelectionnerOnglet(int n) {
    n = std::clamp(n, 1, 7);
    if (m_onglets->currentIndex() != n - 1) {
        m_onglets->setCurrentIndex(n - 1);  // comes back here through currentChanged
        return;
    }
    m_pages->setCurrentIndex(n - 1);
    QWidget* premier = nullptr;
    switch (n) {
        case 1:
            premier = m_langue;
            break;
        case 2:
            premier = Zone("txtPortParDéfautWOL");
            break;
        case 3:
            premier = m_script[0]->isChecked() ? m_script[0] : m_script[1];
            break;
        case 4:
            premier = Zone("txtDélaiAvantRedémarrageOuExtinction");
            break;
        case 5:
            premier = m_authMode;
            break;
        case 6:
            premier = m_commandes;
            break;
        default:
            premier = m_dossiers;
            break;
    }
    if (m_glisserCommandes) m_glisserCommandes->Abandonner();
    if (m_glisserDossiers) m_glisserDossiers->Abandonner();
    if (premier && premier->isEnabled()) premier->setFocus(Qt::TabFocusReason);
}

int frmConfiguration::OngletCourant() const { return m_onglets->currentIndex() + 1; }

bool frmConfiguration::eventFilter(QObject* objet, QEvent* evenement) {
    // The dialog sees Ctrl+Tab and Ctrl+Shift+Tab before any of its controls.
    if (objet == m_commandes && evenement->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(evenement)->key() == Qt::Key_Delete &&
        findChild<QPushButton*>(QStringLiteral("btnCommandesSupprimer"))->isEnabled()) {
        btnCommandesSupprimer_Click();
        return true;
    }
    if (evenement->type() == QEvent::KeyPress && objet->isWidgetType() &&
        static_cast<QWidget*>(objet)->window() == this) {
        auto* touche = static_cast<QKeyEvent*>(evenement);
        const bool ctrl = touche->modifiers() & Qt::ControlModifier;
        if (ctrl && (touche->key() == Qt::Key_Tab || touche->key() == Qt::Key_Backtab)) {
            const bool arriere =
                touche->key() == Qt::Key_Backtab || (touche->modifiers() & Qt::ShiftModifier);
            const int n = OngletCourant();
            SelectionnerOnglet(arriere ? (n == 1 ? 7 : n - 1) : (n == 7 ? 1 : n + 1));
            return true;
        }
    }
    return QDialog::eventFilter(objet, evenement);
}

void frmConfiguration::showEvent(QShowEvent* evenement) {
    QDialog::showEvent(evenement);
    SelectionnerOnglet(OngletCourant());
}

void frmConfiguration::closeEvent(QCloseEvent* evenement) {
    Etat().annulation = true;
    QDialog::closeEvent(evenement);
}

ChampsConfiguration frmConfiguration::Champs() const {
    ChampsConfiguration c;
    auto texte = [this](const char* nom) { return DepuisQString(Zone(nom)->text()); };
    c.portParDefautWOL = texte("txtPortParDéfautWOL");
    c.masqueParDefaut = texte("txtMasqueParDéfaut");
    c.repliMode = m_repli[1]->isChecked() ? 1 : 0;
    c.repliAdresse = texte("txtRepliAdresse");
    c.portParDefautWOW = texte("txtPortParDéfautWOW");
    c.proxyType = m_proxyType->currentIndex();
    c.proxyAdresse = texte("txtProxyAdresse");
    c.proxyPort = texte("txtProxyPort");
    c.authentificationMode = m_authMode->currentIndex();
    c.authentificationLogin = texte("txtAuthentificationLogin");
    return c;
}

void frmConfiguration::btnOK_Click() {
    const ChampsConfiguration champs = Champs();
    std::optional<RefusConfiguration> refus = VerifierConfiguration(champs);
    // Passwords are stored by their 8-bit codes: a character outside them cannot be kept.
    for (auto [onglet, nom] :
         {std::pair{3, "txtProxyPassword"}, std::pair{5, "txtAuthentificationPassword"}}) {
        if (!refus && !CoderConfig(DepuisQString(Zone(nom)->text())))
            refus = RefusConfiguration{onglet, nom, "MSG_ERREUR_MOT_DE_PASSE_CARACTERES"};
    }
    if (refus) {
        std::string message = Tr(refus->cleMessage);
        if (message.empty())
            message = "Le mot de passe contient un caractère qui ne peut pas être enregistré...";
        MsgBox(this, message, 48, TitreProgramme());
        SelectionnerOnglet(refus->onglet);
        FocusSilencieux(Zone(refus->champ.c_str()));
        return;
    }
    Programme& prog = Prog();
    const std::string langue = DepuisQString(m_langue->currentText());
    if (!langue.empty() && langue != prog.langue) {
        prog.langue = langue;
        Etat().redemarrage = true;
        MsgBox(this, Tr("MSG_CHANGEMENT_LANGUE"), 48, TitreProgramme());
    }
    Etat().configModifiee = true;

    ReglagesDemarrage& d = prog.reglages;
    ReglagesFenetre& f = Etat().reglages;
    auto texte = [this](const char* nom) { return DepuisQString(Zone(nom)->text()); };
    d.langue = prog.langue;
    d.tempoPing = std::max<long long>(Nombre(Zone("txtTimeoutPing")), 100);
    f.confirmation = Coche(Case("chkConfirmation"));
    f.confirmationSiPlusieurs = Coche(Case("chkConfirmationSiPlusieursMachinesUniquement"));
    f.zapperConfigAction = Coche(Case("chkZapperFenêtreAction"));
    f.nePasStopper = Coche(Case("chkNePasStopper"));
    f.fenetreTraitementFermer = Coche(Case("chkFenêtreTraitementFermerAutomatiquement"));
    f.fenetreTraitementMultiselection = Coche(Case("chkFenêtreTraitementSeulementMultisélection"));
    f.mettreEnRougeReveil = Coche(Case("chkMettreEnRougeRéveil"));
    d.portParDefautWOL = Nombre(Zone("txtPortParDéfautWOL"));
    d.masqueParDefaut = champs.masqueParDefaut;
    d.delaiEntreDeuxReveilsWOL =
        std::max<long long>(Nombre(Zone("txtDélaiEntreDeuxRéveilsWOL")), 0);
    d.repliMode = champs.repliMode;
    d.repliAdresse = champs.repliAdresse;
    d.portParDefautWOW = Nombre(Zone("txtPortParDéfautWOW"));
    d.delaiEntreDeuxReveilsWOW =
        std::max<long long>(Nombre(Zone("txtDélaiEntreDeuxRéveilsWOW")), 0);
    d.scriptWOWParDefaut = m_script[0]->isChecked();
    d.scriptWOWUrl = texte("txtScriptWOWUrl");
    d.wowSansConfirmation = Coche(Case("chkWOWTraiterIPPubliquesSansConfirmation"));
    d.proxyType = champs.proxyType;
    d.proxyAdresse = champs.proxyAdresse;
    d.proxyPort = champs.proxyPort;
    d.proxyLogin = texte("txtProxyLogin");
    d.proxyPassword = texte("txtProxyPassword");
    d.proxyAccesDirect = Coche(Case("chkProxySiErreurTesterAussiAccèsDirect"));
    d.delaiAvantRedemarrage =
        std::max<long long>(Nombre(Zone("txtDélaiAvantRedémarrageOuExtinction")), 0);
    d.messageParDefaut = texte("txtMessage");
    d.forcerParDefaut = Coche(Case("chkForcer"));
    d.authentificationMode = champs.authentificationMode;
    d.authentificationLogin = champs.authentificationLogin;
    d.authentificationPassword = texte("txtAuthentificationPassword");
    AppliquerListes();
    Etat().annulation = false;
    accept();
}

void frmConfiguration::btnAnnuler_Click() { reject(); }

void frmConfiguration::reject() {
    Etat().annulation = true;
    QDialog::reject();
}

}  // namespace velmora::gui
