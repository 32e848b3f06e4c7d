// The two ordered lists of the configuration dialog (custom commands, folder order): button
// states, up, down, delete, and drag to reorder. They work on the QTreeWidget itself, which is
// the model of each list while the dialog is open.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "common/config/Config.h"

class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmora::gui {

struct EtatBoutonsListe {
    bool modifier = false;   // exactly one item selected
    bool supprimer = false;  // at least one selected
    bool monter = false;     // selection, and the first selected is not the first item
    bool descendre = false;  // selection, and the last selected is not the last item
};
EtatBoutonsListe CalculerBoutons(const QTreeWidget* liste);

// Moves every selected item one place up (down), keeping it selected with all its data.
void MonterSelection(QTreeWidget* liste);
void DescendreSelection(QTreeWidget* liste);
// Removes every selected item, then selects the item now at the first removed position (or the
// last item when that position is past the end).
void SupprimerSelection(QTreeWidget* liste);

// Command items: text = name, column 1 = command line, tag = session time text ("-1" none).
void AjouterElementCommande(QTreeWidget* liste, const CommandePersonnalisee& commande);
void EcrireElementCommande(QTreeWidgetItem* element, const std::string& nom,
                           const std::string& ligne, const std::string& tag);
std::string TagCommande(const QTreeWidgetItem* element);
// The stored form of an item: name|tag|command line.
std::string TexteElementCommande(const QTreeWidgetItem* element);

// Drag to reorder within one list: a left press on an item arms tmrRetardateur; when it fires
// (200 ms later) the item becomes the dragged one, and every mouse move over another item runs
// "down" or "up" once (when allowed). Release ends the drag. A press anywhere else (empty space,
// another button) clears the selection.
class GlissementListe : public QObject {
    Q_OBJECT
  public:
    // `changement` is called after every move or selection change made here.
    GlissementListe(QTreeWidget* liste, QTimer* retardateur, std::function<void()> changement,
                    QObject* parent = nullptr);
    QTreeWidgetItem* ElementGlisse() const { return m_glisse; }
    // Stops any drag (another list is being used).
    void Abandonner();

  protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;

  private:
    void Armer();
    QPointer<QTreeWidget> m_liste;
    QTimer* m_retardateur;
    std::function<void()> m_changement;
    QTreeWidgetItem* m_attente = nullptr;
    QTreeWidgetItem* m_glisse = nullptr;
};

}  // namespace velmora::gui
