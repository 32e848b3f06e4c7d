#include "gui/widgets/clsPopupMenu.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFont>
#include <QMenu>
#include <QWidget>
#include <stdexcept>

namespace velmora::gui {

namespace {
const char* const kIdentifiant = "idPopup";  // property holding an entry's identifier
}

clsPopupMenu::clsPopupMenu() : m_menu(std::make_unique<QMenu>()) {
    // Every separator added is drawn: two in a row mark a wider gap (before the custom
    // commands), which Qt would otherwise merge into one.
    m_menu->setSeparatorsCollapsible(false);
}

clsPopupMenu::~clsPopupMenu() = default;

void clsPopupMenu::AddItem(int identifiant, const QString& libelle, int drapeaux) {
    if (libelle == QLatin1String("-")) {
        m_menu->addSeparator();
        return;
    }
    if (drapeaux & NouvelleColonne) m_menu->addSeparator();
    QAction* entree = m_menu->addAction(libelle);
    entree->setProperty(kIdentifiant, identifiant);
    AppliquerDrapeaux(entree, drapeaux);
}

void clsPopupMenu::AddItem(int identifiant, clsPopupMenu& sousMenu, const QString& libelle,
                           int drapeaux) {
    if (drapeaux & NouvelleColonne) m_menu->addSeparator();
    sousMenu.m_menu->setTitle(libelle);
    QAction* entree = m_menu->addMenu(sousMenu.m_menu.get());
    entree->setProperty(kIdentifiant, identifiant);
    AppliquerDrapeaux(entree, drapeaux);
}

void clsPopupMenu::AppliquerDrapeaux(QAction* entree, int drapeaux) {
    if (drapeaux & Coche) {
        entree->setCheckable(true);
        entree->setChecked(true);
    }
    if (drapeaux & (Grise | Desactive)) entree->setEnabled(false);
    if (drapeaux & ParDefaut) {
        QFont police = entree->font();
        police.setBold(true);
        entree->setFont(police);
        m_menu->setDefaultAction(entree);
    }
}

QAction* clsPopupMenu::Item(int identifiant) const {
    const QList<QMenu*> menus = [this] {
        QList<QMenu*> tous{m_menu.get()};
        for (int i = 0; i < tous.size(); ++i) {
            for (QAction* a : tous[i]->actions())
                if (a->menu()) tous.append(a->menu());
        }
        return tous;
    }();
    for (QMenu* menu : menus) {
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator() && !a->menu() && a->property(kIdentifiant).toInt() == identifiant)
                return a;
        }
    }
    return nullptr;
}

QPoint clsPopupMenu::PositionAffichage(int x, int y, QWidget* ancre, bool alignerADroite) const {
    if (!ancre) {
        const QPoint curseur = QCursor::pos();
        return {x == -1 ? curseur.x() : x, y == -1 ? curseur.y() : y};
    }
    const QPoint basGauche = ancre->mapToGlobal(QPoint(0, ancre->height()));
    if (!alignerADroite) return basGauche;
    return {basGauche.x() + ancre->width() - m_menu->sizeHint().width(), basGauche.y()};
}

int clsPopupMenu::TrackPopup(QWidget* proprietaire, int x, int y, QWidget* ancre,
                             bool alignerADroite) {
    if (!proprietaire) {
        for (QWidget* fenetre : QApplication::topLevelWidgets()) {
            if (fenetre->isWindow() && fenetre != m_menu.get() && !qobject_cast<QMenu*>(fenetre)) {
                proprietaire = fenetre;
                break;
            }
        }
        if (!proprietaire)
            throw std::runtime_error(
                "cMenu.TrackPopup: Cannot find top window of current process!");
    }
    QAction* choix = m_menu->exec(PositionAffichage(x, y, ancre, alignerADroite));
    if (!choix) return 0;
    return choix->property(kIdentifiant).toInt();
}

}  // namespace velmora::gui
