#include "gui/dialogs/frmConfigCommande.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/i18n/Traduction.h"
#include "gui/dialogs/ListesConfigVerification.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

namespace {
QLabel* Etiquette(QWidget* parent, const char* nom, const QString& texte) {
    auto* label = new QLabel(texte, parent);
    label->setObjectName(QString::fromUtf8(nom));
    return label;
}
QLabel* Note(QWidget* parent, const char* nom, const QString& texte) {
    QLabel* label = Etiquette(parent, nom, texte);
    label->setWordWrap(true);
    return label;
}
}  // namespace

frmConfigCommande::frmConfigCommande(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConfigCommande"));
    setWindowTitle(QStringLiteral("Configuration commande personnalisée"));
    setModal(true);

    auto* grille = new QGridLayout(this);
    QLabel* lblNom = Etiquette(this, "lblCommandeNom", QStringLiteral("Nom (menu popup)"));
    m_nom = new QLineEdit(this);
    m_nom->setObjectName(QStringLiteral("txtCommandeNom"));
    m_lblLigne = Etiquette(this, "lblCommandeExec", QStringLiteral("Commande à exécuter"));
    m_ligne = new QLineEdit(this);
    m_ligne->setObjectName(QStringLiteral("txtCommandeExec"));
    m_ligne->setMinimumWidth(360);
    QLabel* explication = Note(
        this, "lblExplicationParamètres",
        QStringLiteral("Les variables %host%, %ip%, %mac%, %comm%, %login%, %password% et "
                       "%dossier% peuvent être utilisées dans le champ \"commande à exécuter\" "
                       "(en paramètre par exemple)."));
    m_auth = new QCheckBox(
        QStringLiteral("&Authentifier l'utilisateur avant d'exécuter la commande"), this);
    m_auth->setObjectName(QStringLiteral("chkCommandeAuthentificationRequise"));
    m_lblDuree = Etiquette(this, "lblCommandeDuréeSessionAuthentifiée",
                           QStringLiteral("Conserver la session authentifiée pendant"));
    m_duree = new QLineEdit(this);
    m_duree->setObjectName(QStringLiteral("txtCommandeDuréeSessionAuthentifiée"));
    m_duree->setAlignment(Qt::AlignRight);
    m_duree->setMaxLength(3);
    m_duree->setFixedWidth(48);
    m_lblDuree2 = Etiquette(this, "lblCommandeDuréeSessionAuthentifiée2", QStringLiteral("s."));
    QLabel* sousMenus =
        Note(this, "lblExplicationSousMenusEtSéparateur",
             QStringLiteral(
                 "Pour regrouper des commandes dans un sous-menu, nommez-les \"nom du "
                 "sous-menu\\nom de la commande\". Pour ajouter un séparateur, donnez pour "
                 "nom un tiret (signe moins), ou \"nom du sous-menu\\-\" dans un sous-menu."));

    auto* duree = new QHBoxLayout;
    duree->addWidget(m_lblDuree);
    duree->addWidget(m_duree);
    duree->addWidget(m_lblDuree2);
    duree->addStretch();

    QPushButton* ok = nullptr;
    QPushButton* annuler = nullptr;
    auto* boutons = BarreOKAnnuler(this, ok, annuler);

    grille->addWidget(lblNom, 0, 0);
    grille->addWidget(m_nom, 0, 1);
    grille->addWidget(m_lblLigne, 1, 0);
    grille->addWidget(m_ligne, 1, 1);
    grille->addWidget(explication, 2, 0, 1, 2);
    grille->addWidget(m_auth, 3, 0, 1, 2);
    grille->addLayout(duree, 4, 0, 1, 2);
    grille->addWidget(sousMenus, 5, 0, 1, 2);
    grille->addLayout(boutons, 6, 0, 1, 2);
    grille->setColumnStretch(1, 1);

    for (QLineEdit* zone : {m_nom, m_ligne, m_duree}) SelectionnerToutALEntree(zone);
    connect(m_nom, &QLineEdit::textChanged, this, &frmConfigCommande::NomModifie);
    connect(m_auth, &QCheckBox::clicked, this, &frmConfigCommande::RegleAuthentification);
    connect(m_duree, &QLineEdit::textEdited, this, &frmConfigCommande::DureeModifiee);
    connect(m_duree, &QLineEdit::editingFinished, this, [this] {
        if (m_duree->text().toInt() < 0) m_duree->setText(QStringLiteral("0"));
    });
    connect(ok, &QPushButton::clicked, this, &frmConfigCommande::btnOK_Click);
    connect(annuler, &QPushButton::clicked, this, &frmConfigCommande::btnAnnuler_Click);

    TraduireFeuille(this);
    Etat().annulation = true;
    AppliquerToujoursAuDessus(this);
    NomModifie();
}

void frmConfigCommande::DefinirAuthentificationDisponible(bool disponible) {
    m_authDisponible = disponible;
    NomModifie();
}

void frmConfigCommande::DefinirCommande(const std::string& nom, const std::string& ligne,
                                        bool authentification, const std::string& duree) {
    m_ligne->setText(VersQString(ligne));
    m_auth->setChecked(authentification);
    m_duree->setText(VersQString(duree));
    m_nom->setText(VersQString(nom));
    NomModifie();
}

std::string frmConfigCommande::Nom() const { return DepuisQString(m_nom->text()); }
std::string frmConfigCommande::Ligne() const { return DepuisQString(m_ligne->text()); }
bool frmConfigCommande::Authentification() const { return m_auth->isChecked(); }
std::string frmConfigCommande::Duree() const {
    return FiltrerNombre(DepuisQString(m_duree->text()));
}

void frmConfigCommande::NomModifie() {
    const bool separateur = EstSeparateur(Nom());
    if (separateur) {
        m_ligne->clear();
        m_auth->setChecked(false);
    }
    ActiverAvecCouleur(m_lblLigne, !separateur);
    ActiverAvecCouleur(m_ligne, !separateur);
    // Authentication stays off when the caller made it unavailable (no account configured).
    m_auth->setEnabled(!separateur && m_authDisponible);
    RegleAuthentification();
}

void frmConfigCommande::RegleAuthentification() {
    const bool actif = m_auth->isChecked() && m_auth->isEnabled();
    const bool devientActif = actif && !m_duree->isEnabled();
    ActiverAvecCouleur(m_lblDuree, actif);
    ActiverAvecCouleur(m_duree, actif);
    ActiverAvecCouleur(m_lblDuree2, actif);
    if (devientActif && m_duree->text().isEmpty()) m_duree->setText(QStringLiteral("1"));
}

void frmConfigCommande::DureeModifiee() {
    const QString filtre = VersQString(FiltrerNombre(DepuisQString(m_duree->text())));
    if (filtre != m_duree->text()) m_duree->setText(filtre);
}

void frmConfigCommande::btnOK_Click() {
    if (const auto refus = VerifierCommande(Nom(), Ligne())) {
        MsgBox(this, i18n::Tr(refus->cleMessage), 48, kNomApplication);
        FocusSilencieux(findChild<QWidget*>(VersQString(refus->champ)));
        return;
    }
    Etat().annulation = false;
    accept();
}

void frmConfigCommande::btnAnnuler_Click() { reject(); }

void frmConfigCommande::reject() {
    Etat().annulation = true;
    QDialog::reject();
}

void frmConfigCommande::closeEvent(QCloseEvent* evenement) {
    Etat().annulation = true;
    QDialog::closeEvent(evenement);
}

}  // namespace velmora::gui
