// Room gui/import/: the two imports of machine lists (scanner export and delimited text file),
// their options dialog and the main window's list as their target.
//
// The machine list of the main window (lvwMachines) as the target of an import.
#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include "gui/import/ImportCible.h"

class QTreeWidget;
class QWidget;
class QTreeWidgetItem;

namespace velmora::gui {

// Looks names up through an index built once, and adds the new rows in one go at the end, so
// that a file of thousands of lines imports at once.
class CibleArbreMachines : public CibleImport {
  public:
    explicit CibleArbreMachines(QTreeWidget* liste);
    ~CibleArbreMachines() override;
    int Trouver(const std::string& nom) const override;
    void Ajouter(const MachineImportee& machine) override;
    void Remplacer(int position, const MachineImportee& machine) override;
    void Terminer() override;
    bool Modifiee() const { return m_modifiee; }

  private:
    QTreeWidgetItem* Element(int position) const;
    QTreeWidget* m_liste;
    int m_existants;
    QList<QTreeWidgetItem*> m_nouveaux;
    QHash<QString, int> m_index;
    bool m_modifiee = false;
};

// The path the open-file dialog of an import starts from: FichierImport, or the configuration
// folder's "trellide.txt" when it is empty.
std::string FichierImportInitial();
// Asks for the file of an import (open-file dialog, existing file only); "" when cancelled.
std::string ChoisirFichierImport(QWidget* parent);

}  // namespace velmora::gui
