// A popup menu built entry by entry and shown at a point or under a control, returning the
// identifier of the chosen entry. Used for the actions menu and the machine menu.
#pragma once

#include <QPoint>
#include <QString>
#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace velmora::gui {

class clsPopupMenu {
  public:
    // Entry flags (may be combined).
    enum Drapeau : int {
        Grise = 1,            // greyed
        Desactive = 2,        // disabled
        ParDefaut = 4,        // the default (bold) entry
        Coche = 8,            // ticked
        NouvelleColonne = 16  // starts a new column (a separator in this implementation)
    };

    clsPopupMenu();
    ~clsPopupMenu();
    clsPopupMenu(const clsPopupMenu&) = delete;
    clsPopupMenu& operator=(const clsPopupMenu&) = delete;

    // Appends a text entry; the caption "-" gives a separator whatever the flags.
    void AddItem(int identifiant, const QString& libelle, int drapeaux = 0);
    // Appends a sub-menu entry showing `sousMenu` under `libelle`. The sub-menu must outlive
    // the showing of this menu; destroying it removes its entry.
    void AddItem(int identifiant, clsPopupMenu& sousMenu, const QString& libelle, int drapeaux = 0);

    // Shows the menu and waits for a choice; returns the chosen entry's identifier, 0 when the
    // menu was dismissed.
    // - `proprietaire`: the owner window; nullptr means the first top-level window of the
    //   process (std::runtime_error "Cannot find top window of current process!" when none).
    // - without `ancre`: at (x, y) in screen pixels, the cursor position replacing -1 values;
    //   left-aligned.
    // - with `ancre`: under the anchor's bottom edge, at its left edge, or at its right edge
    //   and right-aligned when `alignerADroite`.
    int TrackPopup(QWidget* proprietaire, int x, int y, QWidget* ancre = nullptr,
                   bool alignerADroite = false);

    // Where TrackPopup would show the menu (screen pixels), for the same arguments.
    QPoint PositionAffichage(int x, int y, QWidget* ancre, bool alignerADroite) const;

    // The underlying menu (for context menus and tests) and an entry by identifier.
    QMenu* Menu() const { return m_menu.get(); }
    QAction* Item(int identifiant) const;

  private:
    void AppliquerDrapeaux(QAction* entree, int drapeaux);
    std::unique_ptr<QMenu> m_menu;
};

}  // namespace velmora::gui
