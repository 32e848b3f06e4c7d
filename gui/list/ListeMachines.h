// Room gui/list/: the machine list and its folder tabs: rows, folders, clipboard, sort,
// type-ahead, add/modify/delete and the ping test of the rows.
//
// The rows of the machine list (lvwMachines) and the list operations that need no window:
// columns, status icons, row data, sort keys, the clipboard format, folder-name checks and the
// type-ahead search.
//
// A row holds the seven visible fields of a Machine in columns 1..7, its status icon key
// ("Vert", "Rouge", "Gris") and a tag made of the stored (encoded) password and the pending
// deadline of a remote restart or shutdown (none when the row is not pending).
#pragma once

#include <QDateTime>
#include <QIcon>
#include <QTreeWidgetItem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/config/Machine.h"

namespace velmora::gui {

// Column positions of lvwMachines, in creation order.
enum Colonne : int {
    ColEtat = 0,
    ColNom,
    ColAdresse,
    ColMasque,
    ColPort,
    ColAdresseMAC,
    ColLogin,
    ColCommentaire,
    NombreColonnes
};
// Header text keys and design widths (twips) of the columns, by position.
extern const char* const kClesColonnes[NombreColonnes];
extern const int kLargeursColonnes[NombreColonnes];

// Status icon keys.
inline constexpr const char* kVert = "Vert";
inline constexpr const char* kRouge = "Rouge";
inline constexpr const char* kGris = "Gris";
// Separator of the two fields of a row tag (unit separator).
inline constexpr char kSeparateurTag = '\x1f';

// The status picture of a key ("" for an unknown key).
QIcon IconeEtat(const std::string& cle);

// One row. Sorting compares the key prepared by PreparerTri (addresses numerically, the status
// column by icon key), without regard to case.
class ElementMachine : public QTreeWidgetItem {
  public:
    explicit ElementMachine(const Machine& machine);
    bool operator<(const QTreeWidgetItem& autre) const override;
    // Computes the sort key of column `colonne` (before a sort).
    void PreparerTri(int colonne);

  private:
    QString m_cleTri;
};

// Row fields. LireElement gives the Machine of a row (password in its stored form).
Machine LireElement(const QTreeWidgetItem* element);
// Rewrites the seven cells and the stored password (the deadline is kept).
void EcrireElement(QTreeWidgetItem* element, const Machine& machine);
std::string CleIcone(const QTreeWidgetItem* element);
// The machine line a row was loaded from (or last saved as): at save time, a row whose machine
// still gives this line was not changed here, and takes the line as it is in the file then.
// nullopt for a row added since.
void DefinirLigneChargee(QTreeWidgetItem* element, const std::optional<std::string>& ligne);
std::optional<std::string> LigneChargee(const QTreeWidgetItem* element);
void DefinirIcone(QTreeWidgetItem* element, const std::string& cle);
// The pending deadline; an invalid QDateTime when the row is not pending.
QDateTime Echeance(const QTreeWidgetItem* element);
void DefinirEcheance(QTreeWidgetItem* element, const QDateTime& echeance);
// The tag text: stored password + kSeparateurTag + deadline text ("" when none).
std::string TagElement(const QTreeWidgetItem* element);

// Sort key of a cell text: a dotted IPv4 address becomes its four numbers written with three
// digits ("192.168.0.5" -> "192.168.000.005"); any other text is kept.
std::string CleTri(std::string_view texte);

// Clipboard text of machines: one line per machine (CR LF between lines, none after the last),
// eight tab-separated fields: name, address, mask, port, MAC, login, comment, stored password.
std::string TexteCopie(const std::vector<Machine>& machines);
// The machines of a clipboard text (lines split at CR LF or LF). std::nullopt when any line is
// not exactly eight fields, has an empty name or address, or a MAC address that is not one.
std::optional<std::vector<Machine>> AnalyserCollage(std::string_view texte);

// Checks a folder name against the other folder names (`ignorer`: index of the folder's own
// entry when renaming, -1 otherwise). Returns the message key of the refusal, or "" when the
// name is accepted. An empty name is refused with "" too: callers treat it as a cancel.
std::string VerifierNomDossier(const std::string& nom, const std::vector<std::string>& dossiers,
                               int ignorer = -1);

// Type-ahead: the first row after `courant` (wrapping once to the top; -1 = none current)
// whose text starts with `recherche`, case ignored; -1 when none.
int ChercherLigne(const std::vector<std::string>& textes, int courant,
                  const std::string& recherche);

}  // namespace velmora::gui
