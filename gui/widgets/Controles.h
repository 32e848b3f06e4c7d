// Small routines on controls shared by every window of the windowed program: text selection on
// entry, enabled state with colour, list view helpers, program title, IPv4 sort key, window
// order, environment expansion, and the conversions between std::string (UTF-8) and QString.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

class QAbstractItemView;
class QComboBox;
class QFont;
class QHBoxLayout;
class QPushButton;
class QTreeView;
class QWidget;

namespace velmora::gui {

// UTF-8 std::string <-> QString.
inline QString VersQString(std::string_view texte) {
    return QString::fromUtf8(texte.data(), static_cast<qsizetype>(texte.size()));
}
inline std::string DepuisQString(const QString& texte) { return texte.toStdString(); }

// Pixels per twip: 15 twips = 1 pixel.
constexpr int kTwipsParPixel = 15;
constexpr int Pixels(int twips) { return twips / kTwipsParPixel; }

// Makes a text box (QLineEdit, QTextEdit, QPlainTextEdit, spin box) select its whole text each
// time it receives the focus, whatever the way (tab, click, program).
void SelectionnerToutALEntree(QWidget* zoneTexte);
// Selects the whole text of a text box now; other controls are left alone.
void SelectionnerTout(QWidget* zoneTexte);

// Enables or disables a control; a text box also takes the window background colour when
// enabled and the button-face colour when disabled.
void ActiverAvecCouleur(QWidget* controle, bool actif);

// The bottom bar of a dialog: "&OK" (btnOK, the default button) and "A&nnuler" (btnAnnuler),
// right-aligned. The two buttons are returned through `ok` and `annuler`.
QHBoxLayout* BarreOKAnnuler(QWidget* fenetre, QPushButton*& ok, QPushButton*& annuler);

// Selects (true) or clears (false) every row of a list view in one request.
void SelectionnerToutesLesLignes(QAbstractItemView* liste, bool selectionner);
// Shows the sort mark on a column header (ascending or descending), or removes it from that
// column when `ordre` is empty.
void MarqueTriEntete(QTreeView* liste, int colonne, std::optional<Qt::SortOrder> ordre);
// Number of selected rows of a list view; 0 for a null view.
int NombreLignesSelectionnees(const QAbstractItemView* liste);
// Sizes a column to fit both its content and its header caption.
void AjusterColonneAEntete(QTreeView* liste, int colonne);

// The application title.
inline constexpr const char* kNomApplication = "Velmora";

// Gives the focus to a control when it can take it (no failure reported), then lets pending
// window events run.
void FocusSilencieux(QWidget* controle);

// Sizes the open list of a drop-down so that it is about `hauteurTwips` high (at least one row;
// an empty list shows no rows).
void HauteurListeDeroulante(QComboBox* liste, int hauteurTwips);

// `texte` repeated n times (nothing for n <= 0).
std::string RepeterTexte(std::string_view texte, int n);

// Sort key of a dotted address of exactly four numeric parts: each part written with three
// digits, joined by dots (192.168.0.5 -> 192.168.000.005). Any other text gives "".
std::string CleTriIPv4(std::string_view texte);

// True when the main window's always-on-top option (mnuOptionsToujoursAuDessus) is ticked.
// Without a main window, the value last given to DefinirToujoursAuDessus (false at start).
bool OptionToujoursAuDessus();
void DefinirToujoursAuDessus(bool actif);
// Puts a window above all others when the always-on-top option is ticked, back among ordinary
// windows otherwise, without moving or sizing it.
void AppliquerToujoursAuDessus(QWidget* fenetre);
void AppliquerToujoursAuDessus(QWidget* fenetre, bool dessus);

// Expands the environment variables of a text: %NAME% forms (the form of the stored
// commands), $NAME and ${NAME}. Unknown variables stay as written. No length limit.
std::string DevelopperEnvironnement(std::string_view texte);

// Text scale factor with which dialogs size their labels: the width of "m i" in the font
// (pixels) divided by 13 (195 twips at 15 twips per pixel). 1.0 for the usual 8-9 pt fonts.
double FacteurEchelleTexte(const QFont& police);
// The factor computed once by the main window (DefinirFacteurEchelle); computed from the
// application font when nobody set it.
double FacteurEchelle();
void DefinirFacteurEchelle(double facteur);

}  // namespace velmora::gui
