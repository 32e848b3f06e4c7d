#include "gui/import/frmImportFichierText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/i18n/Traduction.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
QPushButton* Bouton(QWidget* parent, const char* nom, const QString& texte) {
    auto* bouton = new QPushButton(texte, parent);
    bouton->setObjectName(QString::fromUtf8(nom));
    return bouton;
}
}  // namespace

frmImportFichierText::frmImportFichierText(const std::vector<std::string>& lignes,
                                           CibleImport& cible, QWidget* parent)
    : QDialog(parent), m_cible(cible) {
    setObjectName(QStringLiteral("frmImportFichierText"));
    setWindowTitle(QStringLiteral("Importation fichier texte"));
    setModal(true);
    resize(720, 480);

    auto* info = new QLabel(
        QStringLiteral("Veuillez sélectionner les champs à importer en cliquant dans les "
                       "en-têtes des colonnes. Seules trois informations doivent impérativement "
                       "être présentes : le nom de la machine ou de l'utilisateur, l'adresse IP "
                       "et l'adresse MAC."),
        this);
    info->setObjectName(QStringLiteral("lblInfo"));
    info->setWordWrap(true);

    m_apercu = new QTreeWidget(this);
    m_apercu->setObjectName(QStringLiteral("lvwImport"));
    m_apercu->setRootIsDecorated(false);
    m_apercu->setUniformRowHeights(true);
    m_apercu->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_apercu->header()->setSectionsClickable(true);
    m_apercu->header()->setStretchLastSection(false);
    connect(m_apercu->header(), &QHeaderView::sectionClicked, this,
            &frmImportFichierText::lvwImport_ColumnClick);

    auto* cadre = new QGroupBox(QStringLiteral(" Séparateur "), this);
    cadre->setObjectName(QStringLiteral("fraSéparateur"));
    const char* const libelles[] = {"Tabulation", "Point-virgule", "Virgule",
                                    "Espace",     "Pipe",          "Autre :"};
    auto* options = new QHBoxLayout(cadre);
    for (int i = 0; i < 6; ++i) {
        m_options[i] = new QRadioButton(QString::fromUtf8(libelles[i]), cadre);
        m_options[i]->setObjectName(QStringLiteral("optSéparateur(%1)").arg(i));
        options->addWidget(m_options[i]);
        connect(m_options[i], &QRadioButton::toggled, this, [this, i](bool coche) {
            if (!coche) return;
            LireSeparateur();
            if (i == 5) FocusSilencieux(m_autre);
        });
    }
    auto* caractere = new QLabel(QStringLiteral("Caractère :"), cadre);
    caractere->setObjectName(QStringLiteral("lblCaractère"));
    m_autre = new QLineEdit(cadre);
    m_autre->setObjectName(QStringLiteral("txtSéparateur"));
    m_autre->setMaxLength(1);
    m_autre->setFixedWidth(32);
    options->addWidget(caractere);
    options->addWidget(m_autre);
    options->addStretch();
    connect(m_autre, &QLineEdit::textChanged, this, [this] { LireSeparateur(); });

    auto* boutons = new QHBoxLayout;
    QPushButton* tout = Bouton(this, "btnSélectionnerTout", QStringLiteral("&Sélectionner tout"));
    QPushButton* rien =
        Bouton(this, "btnDésélectionnerTout", QStringLiteral("&Désélectionner tout"));
    QPushButton* ok = Bouton(this, "btnOK", QStringLiteral("&OK"));
    QPushButton* annuler = Bouton(this, "btnAnnuler", QStringLiteral("A&nnuler"));
    ok->setDefault(true);
    boutons->addWidget(tout);
    boutons->addWidget(rien);
    boutons->addStretch();
    boutons->addWidget(ok);
    boutons->addWidget(annuler);
    connect(tout, &QPushButton::clicked, this, &frmImportFichierText::btnSelectionnerTout_Click);
    connect(rien, &QPushButton::clicked, this, &frmImportFichierText::btnDeselectionnerTout_Click);
    connect(ok, &QPushButton::clicked, this, &frmImportFichierText::btnOK_Click);
    connect(annuler, &QPushButton::clicked, this, &frmImportFichierText::reject);

    auto* colonne = new QVBoxLayout(this);
    colonne->addWidget(info);
    colonne->addWidget(m_apercu, 1);
    colonne->addWidget(cadre);
    colonne->addLayout(boutons);

    TraduireFeuille(this);
    AppliquerToujoursAuDessus(this);
    Etat().annulation = true;
    m_modele.Charger(lignes);
    m_options[0]->setChecked(true);  // tab; fills the preview
}

void frmImportFichierText::ChoisirSeparateur(int option) {
    if (option >= 0 && option < 6) m_options[option]->setChecked(true);
}

void frmImportFichierText::LireSeparateur() {
    static const char* const separateurs[] = {"\t", ";", ",", " ", "|"};
    std::string separateur;
    for (int i = 0; i < 5; ++i)
        if (m_options[i]->isChecked()) separateur = separateurs[i];
    const bool autre = m_options[5]->isChecked();
    // An empty "other" box gives no separator: every line is one column.
    if (autre) separateur = DepuisQString(m_autre->text());
    ActiverAvecCouleur(m_autre, autre);
    m_modele.DefinirSeparateur(separateur);
    RemplirApercu();
}

void frmImportFichierText::RemplirApercu() {
    m_apercu->setUpdatesEnabled(false);
    m_apercu->clear();
    const int colonnes = static_cast<int>(m_modele.NbColonnes());
    QStringList entetes{VersQString(Tr("COL_LIGNE"))};
    for (int c = 1; c <= colonnes; ++c) entetes << QString();
    m_apercu->setColumnCount(colonnes + 1);
    m_apercu->setHeaderLabels(entetes);
    QList<QTreeWidgetItem*> elements;
    elements.reserve(static_cast<qsizetype>(m_modele.NbLignes()));
    for (size_t l = 0; l < m_modele.NbLignes(); ++l) {
        QStringList cellules{QString::number(l + 1)};
        for (int c = 1; c <= colonnes; ++c) cellules << VersQString(m_modele.Cellule(l, c));
        elements << new QTreeWidgetItem(cellules);
    }
    m_apercu->addTopLevelItems(elements);
    for (int c = 0; c <= colonnes; ++c) AjusterColonneAEntete(m_apercu, c);
    m_apercu->selectAll();
    m_apercu->setUpdatesEnabled(true);
}

void frmImportFichierText::lvwImport_ColumnClick(int colonne) {
    if (colonne == 0) {
        MsgBox(this, Tr("MSG_ERREUR_IMPORT_COLONNE_INDISPO"), 48, kNomApplication);
        return;
    }
    const int champ = m_modele.CliquerColonne(colonne);
    m_apercu->headerItem()->setText(colonne, VersQString(ImportTexte::NomChamp(champ)));
    m_apercu->headerItem()->setData(colonne, Qt::UserRole, champ);
    AjusterColonneAEntete(m_apercu, colonne);
}

void frmImportFichierText::btnSelectionnerTout_Click() { m_apercu->selectAll(); }
void frmImportFichierText::btnDeselectionnerTout_Click() { m_apercu->clearSelection(); }

void frmImportFichierText::btnOK_Click() {
    if (!m_modele.ChampsObligatoires()) {
        MsgBox(this, Tr("MSG_ERREUR_IMPORT_SELECTION_COLONNES"), 48, kNomApplication);
        return;
    }
    std::vector<size_t> lignes;
    for (int i = 0; i < m_apercu->topLevelItemCount(); ++i)
        if (m_apercu->topLevelItem(i)->isSelected()) lignes.push_back(static_cast<size_t>(i));
    const std::string fautes = m_modele.Verifier(lignes);
    if (!fautes.empty()) {
        MsgBox(this, fautes, 48, kNomApplication);
        return;
    }
    m_modele.Importer(lignes, m_cible, [this] {
        return MsgBox(this, Tr("MSG_IMPORTATION_REMPLACER_SI_EXISTANT"), 4 + 32, kNomApplication) ==
               6;
    });
    Etat().annulation = false;
    accept();
}

void frmImportFichierText::reject() {
    Etat().annulation = true;
    QDialog::reject();
}

}  // namespace velmora::gui
