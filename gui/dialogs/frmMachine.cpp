#include "gui/dialogs/frmMachine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

namespace {

// A right curly brace drawn over the widget's height, joining a pair of fields to their note.
class Accolade : public QWidget {
  public:
    explicit Accolade(QWidget* parent) : QWidget(parent) { setFixedWidth(12); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::WindowText), 1.2));
        const qreal g = 2, d = width() - 2, m = (g + d) / 2, h = height() - 4, y0 = 2;
        QPainterPath c;
        c.moveTo(g, y0);
        c.quadTo(m, y0, m, y0 + h * 0.15);
        c.lineTo(m, y0 + h * 0.40);
        c.quadTo(m, y0 + h * 0.5, d, y0 + h * 0.5);
        c.quadTo(m, y0 + h * 0.5, m, y0 + h * 0.60);
        c.lineTo(m, y0 + h * 0.85);
        c.quadTo(m, y0 + h, g, y0 + h);
        p.drawPath(c);
    }
};

// A text of the language file for keys outside the built-in table, with its French default.
std::string TexteOuDefaut(const char* cle, const char* defaut) {
    std::string texte = i18n::Tr(cle);
    return texte.empty() ? i18n::LireTraduction(Prog().fichierLangue, cle, defaut) : texte;
}

QLineEdit* NouvelleZone(QWidget* parent, const char* nom, int longueurMax = 0) {
    auto* zone = new QLineEdit(parent);
    zone->setObjectName(QString::fromUtf8(nom));
    if (longueurMax > 0) zone->setMaxLength(longueurMax);
    SelectionnerToutALEntree(zone);
    return zone;
}

QLabel* NouvelleEtiquette(QWidget* parent, const char* nom, const char* texte) {
    auto* etiquette = new QLabel(QString::fromUtf8(texte), parent);
    etiquette->setObjectName(QString::fromUtf8(nom));
    return etiquette;
}

// Text of a box with line breaks turned into spaces: a line break would split the stored line.
std::string TexteSurUneLigne(const QLineEdit* zone) {
    QString texte = zone->text();
    texte.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return DepuisQString(texte);
}

}  // namespace

frmMachine::frmMachine(QWidget* parent, std::shared_ptr<net::OperationsReseau> operations)
    : QDialog(parent),
      m_operations(operations ? std::move(operations) : net::OperationsCourantes()) {
    setObjectName(QStringLiteral("frmMachine"));
    setWindowTitle(QStringLiteral("Configuration machine"));
    Construire();
    TraduireFeuille(this);
    m_chercherIP->setToolTip(VersQString(i18n::Tr("TXT_TOOLTIP_CHERCHE_IP")));
    m_chercherMAC->setToolTip(VersQString(i18n::Tr("TXT_TOOLTIP_CHERCHE_MAC")));
    Etat().annulation = true;
    AppliquerToujoursAuDessus(this);
}

void frmMachine::Construire() {
    auto* obligatoires = new QGroupBox(QStringLiteral(" Informations obligatoires "), this);
    obligatoires->setObjectName(QStringLiteral("fraInformationsObligatoires"));
    // Created in screen order, which gives the tab order: each look-up button follows its box.
    m_nom = NouvelleZone(obligatoires, "txtMachineUtilisateur");
    m_adresseIP = NouvelleZone(obligatoires, "txtAdresseIP");
    m_chercherIP = new QPushButton(QStringLiteral("..."), obligatoires);
    m_chercherIP->setObjectName(QStringLiteral("btnChercherAdresseIP"));
    m_adresseMAC = NouvelleZone(obligatoires, "txtAdresseMAC", 17);
    m_chercherMAC = new QPushButton(QStringLiteral("..."), obligatoires);
    m_chercherMAC->setObjectName(QStringLiteral("btnChercherAdresseMAC"));
    for (QPushButton* b : {m_chercherIP, m_chercherMAC}) {
        b->setAutoDefault(false);
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    }
    auto* g1 = new QGridLayout(obligatoires);
    g1->addWidget(
        NouvelleEtiquette(obligatoires, "lblMachineUtilisateur", "Machine ou utilisateur"), 0, 0);
    g1->addWidget(m_nom, 0, 1, 1, 2);
    g1->addWidget(NouvelleEtiquette(obligatoires, "lblAdresseIP", "Adresse IP (ou nom)"), 1, 0);
    g1->addWidget(m_adresseIP, 1, 1);
    g1->addWidget(m_chercherIP, 1, 2);
    g1->addWidget(NouvelleEtiquette(obligatoires, "lblAdresseMAC", "Adresse MAC"), 2, 0);
    g1->addWidget(m_adresseMAC, 2, 1);
    g1->addWidget(m_chercherMAC, 2, 2);
    g1->setColumnStretch(1, 1);

    auto* facultatives = new QGroupBox(QStringLiteral(" Informations facultatives "), this);
    facultatives->setObjectName(QStringLiteral("fraInformationsFacultatives"));
    m_masque = NouvelleZone(facultatives, "txtMasque", 15);
    m_port = NouvelleZone(facultatives, "txtPort", 5);
    m_login = NouvelleZone(facultatives, "txtLogin");
    m_motDePasse = NouvelleZone(facultatives, "txtPassword");
    m_motDePasse->setEchoMode(QLineEdit::Password);
    m_commentaire = NouvelleZone(facultatives, "txtCommentaire");
    const int largeur =
        m_masque->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 16;
    for (QLineEdit* z : {m_masque, m_port, m_login, m_motDePasse}) z->setFixedWidth(largeur);
    auto* info1 = NouvelleEtiquette(
        facultatives, "lblInfo1",
        "A renseigner si les valeurs par défaut définies dans la fenêtre de configuration ne "
        "sont pas applicables pour cette machine.");
    auto* info2 = NouvelleEtiquette(
        facultatives, "lblInfo2",
        "Utilisées par les commandes d'extinction, redémarrage, mise en veille prolongée, "
        "verrouillage/fermeture de session et les commandes personnalisées.");
    for (QLabel* info : {info1, info2}) {
        info->setWordWrap(true);
        info->setMinimumWidth(260);
        info->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    auto* g2 = new QGridLayout(facultatives);
    g2->addWidget(NouvelleEtiquette(facultatives, "lblMasque", "Masque"), 0, 0);
    g2->addWidget(m_masque, 0, 1);
    g2->addWidget(NouvelleEtiquette(facultatives, "lblPort", "Port"), 1, 0);
    g2->addWidget(m_port, 1, 1);
    g2->addWidget(new Accolade(facultatives), 0, 2, 2, 1);
    g2->addWidget(info1, 0, 3, 2, 1);
    g2->addWidget(NouvelleEtiquette(facultatives, "lblLogin", "Login"), 2, 0);
    g2->addWidget(m_login, 2, 1);
    g2->addWidget(NouvelleEtiquette(facultatives, "lblPassword", "Password"), 3, 0);
    g2->addWidget(m_motDePasse, 3, 1);
    g2->addWidget(new Accolade(facultatives), 2, 2, 2, 1);
    g2->addWidget(info2, 2, 3, 2, 1);
    g2->addWidget(NouvelleEtiquette(facultatives, "lblCommentaire", "Commentaire"), 4, 0);
    g2->addWidget(m_commentaire, 4, 1, 1, 3);
    g2->setColumnStretch(3, 1);
    // The labels of both frames share one width, so that the boxes line up.
    const int colonne = qMax(g1->itemAtPosition(0, 0)->sizeHint().width(),
                             g2->itemAtPosition(0, 0)->sizeHint().width());
    g1->setColumnMinimumWidth(0, colonne);
    g2->setColumnMinimumWidth(0, colonne);

    QPushButton* ok = nullptr;
    QPushButton* annuler = nullptr;
    auto* barre = BarreOKAnnuler(this, ok, annuler);
    auto* principal = new QVBoxLayout(this);
    principal->addWidget(obligatoires);
    principal->addWidget(facultatives);
    principal->addLayout(barre);
    principal->setSizeConstraint(QLayout::SetMinimumSize);

    connect(ok, &QPushButton::clicked, this, [this] { Valider(); });
    connect(annuler, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_chercherIP, &QPushButton::clicked, this, [this] { ChercherAdresseIP(); });
    connect(m_chercherMAC, &QPushButton::clicked, this, [this] { ChercherAdresseMAC(); });
    connect(m_adresseMAC, &QLineEdit::editingFinished, this, [this] {
        const QString mac =
            VersQString(VerificationMachine::ReformaterMAC(DepuisQString(m_adresseMAC->text())));
        if (mac != m_adresseMAC->text()) m_adresseMAC->setText(mac);
    });
    connect(m_port, &QLineEdit::textChanged, this, [this](const QString& texte) {
        const QString nombre =
            VersQString(VerificationMachine::TexteNumerique(DepuisQString(texte)));
        if (nombre != texte) m_port->setText(nombre);
    });
}

QLineEdit* frmMachine::Zone(ChampMachine champ) const {
    switch (champ) {
        case ChampMachine::Nom:
            return m_nom;
        case ChampMachine::AdresseIP:
            return m_adresseIP;
        case ChampMachine::AdresseMAC:
            return m_adresseMAC;
        case ChampMachine::Masque:
            return m_masque;
        case ChampMachine::Port:
            return m_port;
        case ChampMachine::Login:
            return m_login;
        case ChampMachine::MotDePasse:
            return m_motDePasse;
    }
    return m_nom;
}

void frmMachine::DefinirMachine(const Machine& machine) {
    m_nom->setText(VersQString(machine.nom));
    m_adresseIP->setText(VersQString(machine.adresse));
    m_masque->setText(VersQString(machine.masque));
    m_port->setText(VersQString(machine.port));
    m_adresseMAC->setText(VersQString(machine.adresseMAC));
    m_login->setText(VersQString(machine.login));
    m_motDePasse->setText(VersQString(DecoderMotDePasse(machine.motDePasse)));
    m_commentaire->setText(VersQString(machine.commentaire));
}

Machine frmMachine::Saisie() const {
    Machine m;
    m.nom = TexteSurUneLigne(m_nom);
    m.adresse = TexteSurUneLigne(m_adresseIP);
    m.masque = TexteSurUneLigne(m_masque);
    m.port = TexteSurUneLigne(m_port);
    m.adresseMAC = TexteSurUneLigne(m_adresseMAC);
    m.login = TexteSurUneLigne(m_login);
    m.motDePasse = DepuisQString(m_motDePasse->text());
    m.commentaire = TexteSurUneLigne(m_commentaire);
    return m;
}

Machine frmMachine::LireMachine() const {
    Machine m = Saisie();
    m.motDePasse = CoderMotDePasse(m.motDePasse).value_or(std::string());
    return m;
}

bool frmMachine::Editer() {
    Etat().annulation = true;
    AppliquerToujoursAuDessus(this);
    exec();
    return !Etat().annulation;
}

void frmMachine::showEvent(QShowEvent* evenement) {
    QDialog::showEvent(evenement);
    QTimer::singleShot(0, this, [this] { FocusSilencieux(m_nom); });
}

void frmMachine::closeEvent(QCloseEvent* evenement) {
    if (m_rechercheEnCours) {
        evenement->ignore();
        return;
    }
    QDialog::closeEvent(evenement);
}

void frmMachine::Refuser(const std::string& cleMessage, QWidget* champ) {
    const std::string texte =
        cleMessage == kMsgMotDePasseCaracteres
            ? TexteOuDefaut(kMsgMotDePasseCaracteres,
                            "Le mot de passe contient un caractère qui ne peut pas être enregistré "
                            "(seuls les caractères d'Europe occidentale sont acceptés)...")
            : i18n::Tr(cleMessage);
    MsgBox(this, texte, 48, "");
    champ->setFocus(Qt::OtherFocusReason);
    SelectionnerTout(champ);
}

bool frmMachine::Valider() {
    const QString mac =
        VersQString(VerificationMachine::ReformaterMAC(DepuisQString(m_adresseMAC->text())));
    if (mac != m_adresseMAC->text()) m_adresseMAC->setText(mac);
    if (const auto refus = VerificationMachine::Verifier(Saisie())) {
        Refuser(refus->cleMessage, Zone(refus->champ));
        return false;
    }
    Etat().annulation = false;
    done(QDialog::Accepted);  // hides; the caller reads the boxes, then deletes the dialog
    return true;
}

void frmMachine::AvertirSansReponse(const char* cleTexte) {
    MsgBox(this, MajusculeInitiale(i18n::Tr(cleTexte)), 48, "");
}

void frmMachine::Patienter(const std::function<void()>& travail) {
    m_rechercheEnCours = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
    QEventLoop boucle;
    QThread* fil = QThread::create(travail);
    connect(fil, &QThread::finished, &boucle, &QEventLoop::quit);
    fil->start();
    if (!fil->isFinished()) boucle.exec();
    fil->wait();
    delete fil;
    setEnabled(true);
    QApplication::restoreOverrideCursor();
    m_rechercheEnCours = false;
}

void frmMachine::ChercherAdresseIP() {
    const std::string nom = TexteSurUneLigne(m_nom);
    if (nom.empty()) {
        Refuser("MSG_ERREUR_MACHINE", m_nom);
        return;
    }
    bool repond = false;
    std::string adresse;
    Patienter([&] { repond = m_operations->Pinger(nom, adresse); });
    if (repond) {
        m_adresseIP->setText(VersQString(adresse));
    } else {
        AvertirSansReponse("TXT_NE_REPOND_PAS");
    }
}

void frmMachine::ChercherAdresseMAC() {
    const std::string saisie = TexteSurUneLigne(m_adresseIP);
    if (saisie.empty()) {
        Refuser("MSG_ERREUR_OMISSION_ADRESSEIP", m_adresseIP);
        return;
    }
    bool repond = false;
    std::string adresse;
    std::string mac;
    Patienter([&] {
        repond = m_operations->Pinger(saisie, adresse);
        // A host name is replaced by the address that answered.
        if (repond)
            mac = m_operations->ChercherAdresseMAC(
                EstAdresseIP(saisie) ? NormaliserAdresseIP(saisie) : adresse);
    });
    if (!repond) {
        AvertirSansReponse("TXT_NE_REPOND_PAS");
    } else if (mac.empty()) {
        AvertirSansReponse("TXT_MAC_IMPOSSIBLE");
    } else {
        m_adresseMAC->setText(VersQString(mac));
    }
}

}  // namespace velmora::gui
