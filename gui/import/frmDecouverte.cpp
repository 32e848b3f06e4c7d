#include "gui/import/frmDecouverte.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "common/i18n/Traduction.h"
#include "common/net/Decouverte.h"
#include "common/text/Commun.h"
#include "gui/import/ImportFenetre.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

using i18n::Tr;

namespace {

std::function<std::unique_ptr<net::SondesDecouverte>()>& Fabrique() {
    static std::function<std::unique_ptr<net::SondesDecouverte>()> fabrique;
    return fabrique;
}

// A row of the host list: the address column sorts in numeric order, the others as text.
class LigneHote : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& autre) const override {
        const int colonne = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (colonne != frmDecouverte::ColAdresse) return QTreeWidgetItem::operator<(autre);
        return data(colonne, Qt::UserRole).toString() <
               autre.data(colonne, Qt::UserRole).toString();
    }
};

constexpr std::size_t kParTour = 2000;

QPushButton* Bouton(QWidget* parent, const char* nom, const char* texte) {
    auto* bouton = new QPushButton(QString::fromUtf8(texte), parent);
    bouton->setObjectName(QString::fromUtf8(nom));
    bouton->setAutoDefault(false);
    return bouton;
}

}  // namespace

void DefinirSondesDecouverte(std::function<std::unique_ptr<net::SondesDecouverte>()> fabrique) {
    Fabrique() = std::move(fabrique);
}

// What the sweep's thread shares with the window; the thread holds it by shared pointer, so a
// window closed during a sweep leaves it harmless.
struct frmDecouverte::Travail {
    std::shared_ptr<net::SondesDecouverte> sondes;
    std::vector<std::string> adresses;
    std::atomic<bool> arret{false};
    std::atomic<bool> fini{false};
    std::mutex verrou;
    std::vector<net::HoteDecouvert> hotes;
    std::size_t fait = 0;
    std::size_t total = 0;
    bool description = false;  // the look-ups of the hosts that answered have begun
};

frmDecouverte::frmDecouverte(QTreeWidget* machines, QWidget* parent)
    : QDialog(parent), m_machines(machines), m_releve(new QTimer(this)) {
    setObjectName(QStringLiteral("frmDecouverte"));
    setWindowTitle(QStringLiteral("Découverte du réseau"));
    auto* libelle = new QLabel(QStringLiteral("&Réseau à explorer :"), this);
    libelle->setObjectName(QStringLiteral("lblPlage"));
    m_plage = new QLineEdit(this);
    m_plage->setObjectName(QStringLiteral("txtPlage"));
    m_plage->setMaxLength(64);
    libelle->setBuddy(m_plage);
    m_demarrer = Bouton(this, "cmdDemarrer", "&Démarrer");
    m_demarrer->setDefault(true);
    m_arreter = Bouton(this, "cmdArreter", "&Arrêter");
    m_progression = new QProgressBar(this);
    m_progression->setObjectName(QStringLiteral("pgbProgression"));
    m_progression->setValue(0);
    m_etat = new QLabel(this);
    m_etat->setObjectName(QStringLiteral("lblEtatDecouverte"));
    m_hotes = new QTreeWidget(this);
    m_hotes->setObjectName(QStringLiteral("lvwHotes"));
    m_hotes->setRootIsDecorated(false);
    m_hotes->setColumnCount(NbColonnes);
    QStringList titres;
    for (const char* cle :
         {"TXT_DECOUVERTE_COL_ADRESSE", "TXT_DECOUVERTE_COL_NOM", "TXT_DECOUVERTE_COL_MAC",
          "TXT_DECOUVERTE_COL_FABRICANT", "TXT_DECOUVERTE_COL_DOSSIER"})
        titres << VersQString(Tr(cle));
    m_hotes->setHeaderLabels(titres);
    m_hotes->setMinimumSize(640, 260);
    m_hotes->setColumnWidth(
        ColAdresse,
        m_hotes->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 40);
    m_ajouter = Bouton(this, "cmdAjouterAuDossier", "A&jouter au dossier");
    auto* fermer = Bouton(this, "cmdFermer", "&Fermer");

    auto* haut = new QHBoxLayout;
    haut->addWidget(libelle);
    haut->addWidget(m_plage, 1);
    haut->addWidget(m_demarrer);
    haut->addWidget(m_arreter);
    auto* bas = new QHBoxLayout;
    bas->addWidget(m_etat, 1);
    bas->addWidget(m_ajouter);
    bas->addWidget(fermer);
    auto* principal = new QVBoxLayout(this);
    principal->addLayout(haut);
    principal->addWidget(m_progression);
    principal->addWidget(m_hotes, 1);
    principal->addLayout(bas);

    TraduireFeuille(this);
    m_plage->setText(VersQString(net::PlageLocale()));
    AppliquerToujoursAuDessus(this);
    m_releve->setInterval(50);
    connect(m_releve, &QTimer::timeout, this, [this] { Relever(); });
    connect(m_demarrer, &QPushButton::clicked, this, [this] { Demarrer(); });
    connect(m_arreter, &QPushButton::clicked, this, &frmDecouverte::Arreter);
    connect(m_ajouter, &QPushButton::clicked, this, [this] { AjouterAuDossier(); });
    connect(fermer, &QPushButton::clicked, this, &QDialog::close);
    connect(m_hotes, &QTreeWidget::itemChanged, this, [this] { ActualiserBoutons(); });
    ActualiserBoutons();
}

frmDecouverte::~frmDecouverte() {
    if (m_travail) m_travail->arret = true;
}

bool frmDecouverte::Demarrer() {
    if (m_travail) return false;
    net::PlageIPv4 plage;
    const auto erreur = net::AnalyserPlage(DepuisQString(m_plage->text()), plage);
    if (erreur != net::ErreurPlage::Aucune) {
        MsgBox(this,
               Tr(erreur == net::ErreurPlage::TropGrande ? "MSG_DECOUVERTE_PLAGE_TROP_GRANDE"
                                                         : "MSG_DECOUVERTE_PLAGE_INVALIDE"),
               48, kNomApplication);
        m_plage->setFocus();
        return false;
    }
    m_plage->setText(VersQString(net::TextePlage(plage)));
    auto travail = std::make_shared<Travail>();
    travail->sondes = Fabrique() ? Fabrique()() : net::CreerSondesDecouverte();
    travail->adresses = net::AdressesDePlage(plage);
    travail->total = travail->adresses.size();
    m_hotes->setSortingEnabled(false);  // rows stay where they arrive while the sweep runs
    LirePresentes();
    m_recus = 0;
    m_hotes->clear();
    m_lignes.clear();
    m_progression->setRange(0, static_cast<int>(travail->total));
    m_progression->setValue(0);
    m_etat->setText(
        VersQString(Tr("TXT_DECOUVERTE_EN_COURS", {std::to_string(travail->adresses.size())})));
    m_travail = travail;
    std::thread([travail] {
        net::SuiviDecouverte suivi;
        suivi.surHote = [&](const net::HoteDecouvert& hote) {
            std::lock_guard<std::mutex> garde(travail->verrou);
            travail->hotes.push_back(hote);
        };
        suivi.surProgression = [&](std::size_t fait, std::size_t total) {
            std::lock_guard<std::mutex> garde(travail->verrou);
            travail->fait = fait;
            travail->total = total;
        };
        suivi.surDescription = [&](std::size_t fait, std::size_t total) {
            std::lock_guard<std::mutex> garde(travail->verrou);
            travail->description = true;
            travail->fait = fait;
            travail->total = total;
        };
        net::Decouvrir(travail->adresses, *travail->sondes, suivi, travail->arret);
        travail->fini = true;
    }).detach();
    m_releve->start();
    ActualiserBoutons();
    return true;
}

void frmDecouverte::Arreter() {
    if (!m_travail) return;
    m_travail->arret = true;
    Relever(true);  // what already came stays
    if (m_travail) Terminer();
}

void frmDecouverte::Relever(bool tout) {
    if (!m_travail) return;
    const bool fini = m_travail->fini;  // read before the results, so none is left behind
    std::vector<net::HoteDecouvert> arrives;
    std::size_t fait, total;
    bool reste, description;
    {
        // A few thousand rows per tick at most, so that a subnet where every address answers
        // still leaves the window free between two ticks.
        std::lock_guard<std::mutex> garde(m_travail->verrou);
        auto& hotes = m_travail->hotes;
        const std::size_t nombre =
            tout ? hotes.size() - m_recus : std::min(hotes.size() - m_recus, kParTour);
        arrives.assign(hotes.begin() + m_recus, hotes.begin() + m_recus + nombre);
        m_recus += nombre;
        reste = m_recus < hotes.size();
        if (!reste) {
            hotes.clear();
            m_recus = 0;
        }
        fait = m_travail->fait;
        total = m_travail->total;
        description = m_travail->description;
    }
    const QSignalBlocker bloque(m_hotes);
    QList<QTreeWidgetItem*> nouvelles;
    for (const auto& hote : arrives) {
        auto& ligne = m_lignes[hote.adresse];
        if (!ligne) {
            ligne = new LigneHote;
            ligne->setText(ColAdresse, VersQString(hote.adresse));
            ligne->setData(ColAdresse, Qt::UserRole, VersQString(CleTri(hote.adresse)));
            ligne->setFlags(ligne->flags() | Qt::ItemIsUserCheckable);
            ligne->setCheckState(ColAdresse, Qt::Unchecked);
            Marquer(ligne);
            nouvelles.append(ligne);
        }
        if (!hote.decrit) continue;
        ligne->setText(ColNom, VersQString(hote.nom));
        ligne->setText(ColMAC, VersQString(hote.mac));
        ligne->setText(ColFabricant, VersQString(hote.fabricant));
    }
    if (!nouvelles.isEmpty()) m_hotes->addTopLevelItems(nouvelles);
    // The bar counts the phase under way: the sweep, then the look-ups of names and MAC
    // addresses, which the status line names.
    m_progression->setRange(0, static_cast<int>(total));
    m_progression->setValue(static_cast<int>(fait));
    if (description && !m_travail->arret)
        m_etat->setText(VersQString(
            Tr("TXT_DECOUVERTE_DESCRIPTION", {std::to_string(fait), std::to_string(total)})));
    if (fini && !reste) Terminer();
}

void frmDecouverte::Terminer() {
    m_releve->stop();
    const bool arrete = m_travail && m_travail->arret;
    m_travail.reset();
    m_recus = 0;
    // Fitting the columns reads every row: past a few thousand the fixed widths stay.
    if (m_hotes->topLevelItemCount() <= static_cast<int>(kParTour))
        for (int c = 0; c < NbColonnes; ++c) AjusterColonneAEntete(m_hotes, c);
    m_hotes->setSortingEnabled(true);
    m_hotes->sortByColumn(ColAdresse, Qt::AscendingOrder);
    const std::string nombre = std::to_string(m_hotes->topLevelItemCount());
    m_etat->setText(
        VersQString(Tr(arrete ? "TXT_DECOUVERTE_ARRETEE" : "TXT_DECOUVERTE_TERMINEE", {nombre})));
    if (!arrete) m_progression->setValue(m_progression->maximum());
    ActualiserBoutons();
}

void frmDecouverte::LirePresentes() {
    m_presentes.clear();
    for (int i = 0; i < m_machines->topLevelItemCount(); ++i)
        m_presentes.push_back(
            NormaliserAdresseIP(LireElement(m_machines->topLevelItem(i)).adresse));
    std::sort(m_presentes.begin(), m_presentes.end());
}

void frmDecouverte::Marquer(QTreeWidgetItem* ligne) const {
    const bool presente = std::binary_search(m_presentes.begin(), m_presentes.end(),
                                             DepuisQString(ligne->text(ColAdresse)));
    ligne->setText(ColDossier, presente ? VersQString(Tr("TXT_DECOUVERTE_DEJA_PRESENTE")) : "");
    if (presente == ligne->font(ColAdresse).italic()) return;
    QFont police = ligne->font(ColAdresse);
    police.setItalic(presente);
    for (int c = 0; c < NbColonnes; ++c) ligne->setFont(c, police);
}

void frmDecouverte::ActualiserBoutons() {
    m_demarrer->setEnabled(!m_travail);
    m_plage->setEnabled(!m_travail);
    m_arreter->setEnabled(m_travail != nullptr);
    bool coche = false;
    for (int i = 0; i < m_hotes->topLevelItemCount() && !coche; ++i)
        coche = m_hotes->topLevelItem(i)->checkState(ColAdresse) == Qt::Checked;
    m_ajouter->setEnabled(coche);
}

int frmDecouverte::AjouterAuDossier() {
    std::vector<MachineImportee> machines;
    std::vector<QTreeWidgetItem*> lignes;
    for (int i = 0; i < m_hotes->topLevelItemCount(); ++i) {
        QTreeWidgetItem* ligne = m_hotes->topLevelItem(i);
        if (ligne->checkState(ColAdresse) != Qt::Checked) continue;
        MachineImportee m;
        m.adresse = DepuisQString(ligne->text(ColAdresse));
        m.nom = DepuisQString(ligne->text(ColNom));
        if (m.nom.empty()) m.nom = m.adresse;
        m.mac = DepuisQString(ligne->text(ColMAC));
        machines.push_back(std::move(m));
        lignes.push_back(ligne);
    }
    if (machines.empty()) return 0;
    CibleArbreMachines cible(m_machines);
    AjouterMachines(machines, cible, [this] {
        return MsgBox(this, Tr("MSG_IMPORTATION_REMPLACER_SI_EXISTANT"), 4 + 32, kNomApplication) ==
               6;
    });
    m_dossierModifie = true;
    {
        const QSignalBlocker bloque(m_hotes);
        for (QTreeWidgetItem* ligne : lignes) ligne->setCheckState(ColAdresse, Qt::Unchecked);
    }
    LirePresentes();
    {
        const QSignalBlocker bloque(m_hotes);
        for (int i = 0; i < m_hotes->topLevelItemCount(); ++i) Marquer(m_hotes->topLevelItem(i));
    }
    ActualiserBoutons();
    m_etat->setText(VersQString(Tr("TXT_DECOUVERTE_AJOUTEES", {std::to_string(machines.size())})));
    return static_cast<int>(machines.size());
}

void frmDecouverte::closeEvent(QCloseEvent* evenement) {
    Arreter();
    QDialog::closeEvent(evenement);
}

void frmDecouverte::reject() {
    Arreter();
    QDialog::reject();
}

void frmVelmora::mnuFichierDecouvrir_Click() {
    frmDecouverte fenetre(m_liste, this);
    fenetre.exec();
    if (!fenetre.DossierModifie()) return;
    m_listeModifiee = true;
    if (m_tri != 0) TrierListe();
    ActualiserBoutons();
}

}  // namespace velmora::gui
