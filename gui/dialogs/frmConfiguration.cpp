#include "gui/dialogs/frmConfiguration.h"

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
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/platform/Chemins.h"
#include "common/startup/Initialiser.h"
#include "common/text/Commun.h"
#include "gui/dialogs/ListesConfig.h"
#include "gui/dialogs/ListesConfigVerification.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
const char* const kFrancais = "Français";
const char* const kZonesNumeriques[] = {"txtTimeoutPing",
                                        "txtActualiserEtat",
                                        "txtPortParDéfautWOL",
                                        "txtDélaiEntreDeuxRéveilsWOL",
                                        "txtPortParDéfautWOW",
                                        "txtDélaiEntreDeuxRéveilsWOW",
                                        "txtDélaiAvantRedémarrageOuExtinction"};
const char* const kCaptionsOnglets[] = {"&Général",
                                        "&Réveil",
                                        "Réveil par &Internet",
                                        "Redémarrage/e&xtinction",
                                        "A&uthentification",
                                        "&Commandes personnalisées",
                                        "Organisation d&es dossiers"};
const char* const kClesOnglets[] = {"Général",
                                    "Réveil",
                                    "RéveilParInternet",
                                    "RedémarrageExtinction",
                                    "Authentification",
                                    "CommandesPersonnalisées",
                                    "OrganisationDesDossiers"};

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

    QPushButton* ok = nullptr;
    QPushButton* annuler = nullptr;
    auto* boutons = BarreOKAnnuler(this, ok, annuler);
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
    nombre("txtActualiserEtat", f.actualiserEtat);
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
    QTimer::singleShot(0, this, [this] { AjusterHauteurPages(); });
}

void frmConfiguration::AjusterHauteurPages() {
    // A page whose texts wrap needs more height at the dialog's actual width than its minimum
    // size says (the page stack does not pass the width on): the dialog grows to the tallest
    // page, within the screen, so that no control is squeezed.
    int besoin = 0;
    for (int i = 0; i < m_pages->count(); ++i) {
        QLayout* disposition = m_pages->widget(i)->layout();
        if (!disposition) continue;
        besoin = std::max(besoin, disposition->hasHeightForWidth()
                                      ? disposition->totalHeightForWidth(m_pages->width())
                                      : disposition->totalMinimumSize().height());
    }
    if (besoin <= m_pages->height()) return;
    int hauteur = height() + besoin - m_pages->height();
    if (const QScreen* ecran = screen()) {
        const QRect zone = ecran->availableGeometry();
        const int cadre = frameGeometry().height() - height();
        hauteur = std::min(hauteur, zone.height() - cadre);
        resize(width(), hauteur);
        if (frameGeometry().bottom() > zone.bottom())
            move(x(), std::max(zone.top(), zone.bottom() - frameGeometry().height() + 1));
    } else {
        resize(width(), hauteur);
    }
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
        MsgBox(this, message, 48, kNomApplication);
        SelectionnerOnglet(refus->onglet);
        FocusSilencieux(Zone(refus->champ.c_str()));
        return;
    }
    Programme& prog = Prog();
    const std::string langue = DepuisQString(m_langue->currentText());
    if (!langue.empty() && langue != prog.langue) {
        prog.langue = langue;
        Etat().redemarrage = true;
        MsgBox(this, Tr("MSG_CHANGEMENT_LANGUE"), 48, kNomApplication);
    }
    Etat().configModifiee = true;

    ReglagesDemarrage& d = prog.reglages;
    ReglagesFenetre& f = Etat().reglages;
    auto texte = [this](const char* nom) { return DepuisQString(Zone(nom)->text()); };
    d.langue = prog.langue;
    d.tempoPing = std::max<long long>(Nombre(Zone("txtTimeoutPing")), 100);
    f.actualiserEtat =
        std::clamp<long long>(Nombre(Zone("txtActualiserEtat")), 0, kActualiserEtatMax);
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
