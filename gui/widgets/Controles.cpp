#include "gui/widgets/Controles.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <cctype>
#include <cstdlib>

#include "common/platform/Outil.h"
#include "common/text/Commun.h"

namespace velmora::gui {

namespace {

// Selects the whole text once the focus has settled: a mouse click would otherwise move the
// caret after the selection was made. By then the focus may have moved on (a box crossed while
// a dialog opens, or disabled at once): such a box is left alone, since a box without the focus
// would show its text highlighted.
class SelectionALEntree : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* objet, QEvent* evenement) override {
        if (evenement->type() == QEvent::FocusIn) {
            auto* zone = qobject_cast<QWidget*>(objet);
            QTimer::singleShot(0, zone, [zone] {
                if (zone->hasFocus()) SelectionnerTout(zone);
            });
        }
        return false;
    }
};

bool g_toujoursAuDessus = false;
double g_facteurEchelle = 0.0;  // 0 = not computed yet

bool EstZoneTexte(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w);
}

}  // namespace

void SelectionnerToutALEntree(QWidget* zoneTexte) {
    if (!zoneTexte) return;
    zoneTexte->installEventFilter(new SelectionALEntree(zoneTexte));
}

void SelectionnerTout(QWidget* zoneTexte) {
    if (auto* l = qobject_cast<QLineEdit*>(zoneTexte)) {
        l->selectAll();
    } else if (auto* t = qobject_cast<QTextEdit*>(zoneTexte)) {
        t->selectAll();
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(zoneTexte)) {
        p->selectAll();
    } else if (auto* s = qobject_cast<QAbstractSpinBox*>(zoneTexte)) {
        s->selectAll();
    }
}

void ActiverAvecCouleur(QWidget* controle, bool actif) {
    if (!controle) return;
    controle->setEnabled(actif);
    if (!EstZoneTexte(controle)) return;
    const QPalette systeme = QApplication::palette();
    QPalette palette = controle->palette();
    const QColor fond =
        actif ? systeme.color(QPalette::Active, QPalette::Base) : systeme.color(QPalette::Button);
    palette.setColor(QPalette::Active, QPalette::Base, fond);
    palette.setColor(QPalette::Inactive, QPalette::Base, fond);
    palette.setColor(QPalette::Disabled, QPalette::Base, fond);
    controle->setPalette(palette);
}

QHBoxLayout* BarreOKAnnuler(QWidget* fenetre, QPushButton*& ok, QPushButton*& annuler) {
    ok = new QPushButton(QStringLiteral("&OK"), fenetre);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    annuler = new QPushButton(QStringLiteral("A&nnuler"), fenetre);
    annuler->setObjectName(QStringLiteral("btnAnnuler"));
    auto* barre = new QHBoxLayout;
    barre->addStretch();
    barre->addWidget(ok);
    barre->addWidget(annuler);
    return barre;
}

void SelectionnerToutesLesLignes(QAbstractItemView* liste, bool selectionner) {
    if (!liste) return;
    if (selectionner) {
        liste->selectAll();
    } else {
        liste->clearSelection();
    }
}

void MarqueTriEntete(QTreeView* liste, int colonne, std::optional<Qt::SortOrder> ordre) {
    if (!liste) return;
    QHeaderView* entete = liste->header();
    if (ordre) {
        entete->setSortIndicator(colonne, *ordre);
        entete->setSortIndicatorShown(true);
    } else if (entete->sortIndicatorSection() == colonne) {
        entete->setSortIndicatorShown(false);
    }
}

int NombreLignesSelectionnees(const QAbstractItemView* liste) {
    if (!liste || !liste->selectionModel()) return 0;
    return static_cast<int>(liste->selectionModel()->selectedRows().size());
}

void AjusterColonneAEntete(QTreeView* liste, int colonne) {
    if (!liste) return;
    liste->resizeColumnToContents(colonne);
    const int entete = liste->header()->sectionSizeHint(colonne);
    if (liste->columnWidth(colonne) < entete) liste->setColumnWidth(colonne, entete);
}

void FocusSilencieux(QWidget* controle) {
    if (controle && controle->isEnabled() && controle->focusPolicy() != Qt::NoFocus) {
        controle->setFocus(Qt::OtherFocusReason);
    }
    QCoreApplication::processEvents();
}

void HauteurListeDeroulante(QComboBox* liste, int hauteurTwips) {
    if (!liste) return;
    if (liste->count() == 0) {
        liste->setMaxVisibleItems(1);
        return;
    }
    const int ligne = qMax(1, liste->view()->sizeHintForRow(0));
    liste->setMaxVisibleItems(qMax(1, Pixels(hauteurTwips) / ligne));
}

std::string RepeterTexte(std::string_view texte, int n) {
    std::string resultat;
    for (int i = 0; i < n; ++i) resultat += texte;
    return resultat;
}

std::string CleTriIPv4(std::string_view texte) {
    const std::vector<std::string> parties = ExtraireChamp(texte, ".");
    if (parties.size() != 4) return {};
    std::string cle;
    for (const std::string& partie : parties) {
        if (partie.empty()) return {};
        for (char c : partie) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return {};
        }
        std::string nombre = partie.find_first_not_of('0') == std::string::npos
                                 ? "0"
                                 : partie.substr(partie.find_first_not_of('0'));
        if (nombre.size() < 3) nombre.insert(0, 3 - nombre.size(), '0');
        if (!cle.empty()) cle += ".";
        cle += nombre;
    }
    return cle;
}

bool OptionToujoursAuDessus() {
    for (QWidget* fenetre : QApplication::topLevelWidgets()) {
        if (fenetre->objectName() != QLatin1String("frmVelmora")) continue;
        if (auto* option =
                fenetre->findChild<QAction*>(QStringLiteral("mnuOptionsToujoursAuDessus")))
            return option->isChecked();
    }
    return g_toujoursAuDessus;
}

void DefinirToujoursAuDessus(bool actif) { g_toujoursAuDessus = actif; }

void AppliquerToujoursAuDessus(QWidget* fenetre) {
    AppliquerToujoursAuDessus(fenetre, OptionToujoursAuDessus());
}

void AppliquerToujoursAuDessus(QWidget* fenetre, bool dessus) {
    if (!fenetre) return;
    if (fenetre->testAttribute(Qt::WA_WState_Created) == false || !fenetre->isVisible()) {
        fenetre->setWindowFlag(Qt::WindowStaysOnTopHint, dessus);
        return;
    }
    if (fenetre->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == dessus) return;
    // Changing the flags hides the window: show it again where it was.
    const QRect cadre = fenetre->geometry();
    fenetre->setWindowFlag(Qt::WindowStaysOnTopHint, dessus);
    fenetre->setGeometry(cadre);
    fenetre->show();
}

std::string DevelopperEnvironnement(std::string_view texte) {
    std::string resultat;
    size_t i = 0;
    auto estNom = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    while (i < texte.size()) {
        const char c = texte[i];
        size_t fin = std::string_view::npos;
        std::string nom;
        if (c == '%') {
            fin = texte.find('%', i + 1);
            if (fin != std::string_view::npos) nom = std::string(texte.substr(i + 1, fin - i - 1));
        } else if (c == '$' && i + 1 < texte.size() && texte[i + 1] == '{') {
            fin = texte.find('}', i + 2);
            if (fin != std::string_view::npos) nom = std::string(texte.substr(i + 2, fin - i - 2));
        } else if (c == '$') {
            size_t j = i + 1;
            while (j < texte.size() && estNom(texte[j])) ++j;
            if (j > i + 1) {
                nom = std::string(texte.substr(i + 1, j - i - 1));
                fin = j - 1;
            }
        }
        const char* valeur = nom.empty() ? nullptr : std::getenv(nom.c_str());
        if (valeur) {
            resultat += valeur;
            i = fin + 1;
        } else {
            resultat += c;
            ++i;
        }
    }
    return resultat;
}

double FacteurEchelleTexte(const QFont& police) {
    return QFontMetricsF(police).horizontalAdvance(QStringLiteral("m i")) * kTwipsParPixel / 195.0;
}

double FacteurEchelle() {
    if (g_facteurEchelle <= 0.0) g_facteurEchelle = FacteurEchelleTexte(QApplication::font());
    return g_facteurEchelle;
}

void DefinirFacteurEchelle(double facteur) { g_facteurEchelle = facteur; }

}  // namespace velmora::gui
