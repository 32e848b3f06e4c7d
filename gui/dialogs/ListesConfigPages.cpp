// Pages 6 and 7 of the configuration dialog: the custom command list and the folder order.
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/dialogs/ListesConfig.h"
#include "gui/dialogs/frmConfigCommande.h"
#include "gui/dialogs/frmConfiguration.h"

namespace velmora::gui {

namespace {
QPushButton* Bouton(QWidget* parent, const char* nom, const QString& texte) {
    auto* bouton = new QPushButton(texte, parent);
    bouton->setObjectName(QString::fromUtf8(nom));
    return bouton;
}

QTreeWidget* Liste(QWidget* parent, const char* nom) {
    auto* liste = new QTreeWidget(parent);
    liste->setObjectName(QString::fromUtf8(nom));
    liste->setRootIsDecorated(false);
    liste->setSelectionMode(QAbstractItemView::ExtendedSelection);
    liste->setUniformRowHeights(true);
    liste->setDragEnabled(false);
    return liste;
}

// Caption of a column that follows the translation of a control.
QString Legende(const char* cle, const char* defaut) {
    const std::string& fichier = Prog().fichierLangue;
    return VersQString(fichier.empty() ? std::string(defaut)
                                       : i18n::LireTraduction(fichier, cle, defaut));
}

QPushButton* Trouver(const QWidget* fenetre, const char* nom) {
    return fenetre->findChild<QPushButton*>(QString::fromUtf8(nom));
}
}  // namespace

QWidget* frmConfiguration::PageCommandes() {
    auto* page = new QWidget;
    m_commandes = Liste(page, "lvwCommandes");
    m_commandes->setHeaderLabels(
        {Legende("lblCommandeNom", "Nom"), Legende("lblCommandeExec", "Commande à exécuter")});
    m_commandes->setColumnWidth(0, Pixels(2700));
    m_commandes->header()->setStretchLastSection(true);
    auto* boutons = new QVBoxLayout;
    boutons->addWidget(Bouton(page, "btnCommandesAjouter", QStringLiteral("&Ajouter...")));
    boutons->addWidget(Bouton(page, "btnCommandesModifier", QStringLiteral("&Modifier...")));
    boutons->addWidget(Bouton(page, "btnCommandesSupprimer", QStringLiteral("&Supprimer")));
    boutons->addSpacing(12);
    boutons->addWidget(Bouton(page, "btnCommandesMonter", QStringLiteral("Mon&ter")));
    boutons->addWidget(Bouton(page, "btnCommandesDescendre", QStringLiteral("&Descendre")));
    boutons->addStretch();
    auto* rangee = new QHBoxLayout;
    rangee->addWidget(m_commandes, 1);
    rangee->addLayout(boutons);
    auto* info = new QLabel(
        QStringLiteral("Vous pouvez ajouter ici des commandes personnalisées qui apparaîtront "
                       "alors dans le menu affiché par un clic-droit sur les machines de la "
                       "fenêtre principale."),
        page);
    info->setObjectName(QStringLiteral("lblCommandesInfo"));
    info->setWordWrap(true);
    auto* colonne = new QVBoxLayout(page);
    colonne->addWidget(info);
    colonne->addLayout(rangee, 1);

    connect(Trouver(page, "btnCommandesAjouter"), &QPushButton::clicked, this,
            &frmConfiguration::btnCommandesAjouter_Click);
    connect(Trouver(page, "btnCommandesModifier"), &QPushButton::clicked, this,
            &frmConfiguration::btnCommandesModifier_Click);
    connect(Trouver(page, "btnCommandesSupprimer"), &QPushButton::clicked, this,
            &frmConfiguration::btnCommandesSupprimer_Click);
    connect(Trouver(page, "btnCommandesMonter"), &QPushButton::clicked, this,
            &frmConfiguration::btnCommandesMonter_Click);
    connect(Trouver(page, "btnCommandesDescendre"), &QPushButton::clicked, this,
            &frmConfiguration::btnCommandesDescendre_Click);
    connect(m_commandes, &QTreeWidget::itemSelectionChanged, this,
            &frmConfiguration::ActualiserBoutonsListes);
    connect(m_commandes, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (Trouver(this, "btnCommandesModifier")->isEnabled()) btnCommandesModifier_Click();
    });
    m_commandes->installEventFilter(this);
    return page;
}

QWidget* frmConfiguration::PageDossiers() {
    auto* page = new QWidget;
    m_dossiers = Liste(page, "lvwDossiers");
    m_dossiers->setHeaderLabels({Legende("COL_DOSSIER_NOM", "Dossiers")});
    auto* boutons = new QVBoxLayout;
    boutons->addWidget(Bouton(page, "btnDossiersMonter", QStringLiteral("Mon&ter")));
    boutons->addWidget(Bouton(page, "btnDossiersDescendre", QStringLiteral("&Descendre")));
    boutons->addStretch();
    auto* rangee = new QHBoxLayout;
    rangee->addWidget(m_dossiers, 1);
    rangee->addLayout(boutons);
    auto* info = new QLabel(
        QStringLiteral("Utilisez les boutons \"Monter\" et \"Descendre\" ou sélectionnez et "
                       "glissez les éléments directement dans la liste pour modifier l'ordre "
                       "des dossiers."),
        page);
    info->setObjectName(QStringLiteral("lblDossiersInfo"));
    info->setWordWrap(true);
    auto* colonne = new QVBoxLayout(page);
    colonne->addWidget(info);
    colonne->addLayout(rangee, 1);
    connect(Trouver(page, "btnDossiersMonter"), &QPushButton::clicked, this,
            &frmConfiguration::btnDossiersMonter_Click);
    connect(Trouver(page, "btnDossiersDescendre"), &QPushButton::clicked, this,
            &frmConfiguration::btnDossiersDescendre_Click);
    connect(m_dossiers, &QTreeWidget::itemSelectionChanged, this,
            &frmConfiguration::ActualiserBoutonsListes);
    return page;
}

void frmConfiguration::RemplirListes(const std::vector<std::string>& dossiers) {
    m_commandes->clear();
    for (const CommandePersonnalisee& commande : Etat().reglages.commandes)
        AjouterElementCommande(m_commandes, commande);
    m_dossiers->clear();
    for (const std::string& dossier : dossiers) {
        if (dossier == "+") continue;  // the tab that creates a folder
        new QTreeWidgetItem(m_dossiers, QStringList{VersQString(dossier)});
    }
    auto rafraichir = [this] { ActualiserBoutonsListes(); };
    m_glisserCommandes = new GlissementListe(m_commandes, m_retardateur, rafraichir, this);
    m_glisserDossiers = new GlissementListe(m_dossiers, m_retardateur, rafraichir, this);
    ActualiserBoutonsListes();
}

void frmConfiguration::ActualiserBoutonsListes() {
    const EtatBoutonsListe commandes = CalculerBoutons(m_commandes);
    Trouver(this, "btnCommandesModifier")->setEnabled(commandes.modifier);
    Trouver(this, "btnCommandesSupprimer")->setEnabled(commandes.supprimer);
    Trouver(this, "btnCommandesMonter")->setEnabled(commandes.monter);
    Trouver(this, "btnCommandesDescendre")->setEnabled(commandes.descendre);
    const EtatBoutonsListe dossiers = CalculerBoutons(m_dossiers);
    Trouver(this, "btnDossiersMonter")->setEnabled(dossiers.monter);
    Trouver(this, "btnDossiersDescendre")->setEnabled(dossiers.descendre);
}

void frmConfiguration::EditerCommande(bool modification) {
    QTreeWidgetItem* element = nullptr;
    if (modification) {
        const auto selection = m_commandes->selectedItems();
        if (selection.size() != 1) return;
        element = selection.front();
    }
    frmConfigCommande dialogue(this);
    dialogue.DefinirAuthentificationDisponible(
        findChild<QComboBox*>(QStringLiteral("cboAuthentificationMode"))->currentIndex() == 1);
    if (element) {
        const std::string tag = TagCommande(element);
        const bool authentification = tag != "-1";
        dialogue.DefinirCommande(DepuisQString(element->text(0)), DepuisQString(element->text(1)),
                                 authentification, authentification ? tag : "");
    }
    dialogue.exec();
    const bool accepte = !Etat().annulation;
    Etat().annulation = true;  // this dialog is still open
    if (!accepte) return;
    const std::string tag = dialogue.Authentification() ? dialogue.Duree() : "-1";
    if (!element) element = new QTreeWidgetItem(m_commandes);
    EcrireElementCommande(element, dialogue.Nom(), dialogue.Ligne(), tag);
    ActualiserBoutonsListes();
}

void frmConfiguration::btnCommandesAjouter_Click() { EditerCommande(false); }
void frmConfiguration::btnCommandesModifier_Click() { EditerCommande(true); }

void frmConfiguration::btnCommandesSupprimer_Click() {
    SupprimerSelection(m_commandes);
    ActualiserBoutonsListes();
}
void frmConfiguration::btnCommandesMonter_Click() {
    MonterSelection(m_commandes);
    ActualiserBoutonsListes();
}
void frmConfiguration::btnCommandesDescendre_Click() {
    DescendreSelection(m_commandes);
    ActualiserBoutonsListes();
}
void frmConfiguration::btnDossiersMonter_Click() {
    MonterSelection(m_dossiers);
    ActualiserBoutonsListes();
}
void frmConfiguration::btnDossiersDescendre_Click() {
    DescendreSelection(m_dossiers);
    ActualiserBoutonsListes();
}

void frmConfiguration::AppliquerListes() {
    std::vector<CommandePersonnalisee> commandes;
    for (int i = 0; i < m_commandes->topLevelItemCount(); ++i)
        commandes.push_back(LireCommande(TexteElementCommande(m_commandes->topLevelItem(i))));
    Etat().reglages.commandes = std::move(commandes);
    m_ordreDossiers.clear();
    for (int i = 0; i < m_dossiers->topLevelItemCount(); ++i)
        m_ordreDossiers.push_back(DepuisQString(m_dossiers->topLevelItem(i)->text(0)));
}

std::vector<std::string> frmConfiguration::Dossiers() const { return m_ordreDossiers; }

}  // namespace velmora::gui
