#include "gui/dialogs/ListesConfig.h"

#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>

namespace velmora::gui {

namespace {
constexpr int kRoleTag = Qt::UserRole + 1;

// Positions of the first and last selected items; first = count, last = -1 when none.
std::pair<int, int> Bornes(const QTreeWidget* liste) {
    const int n = liste->topLevelItemCount();
    int premier = n, dernier = -1;
    for (int i = 0; i < n; ++i) {
        if (!liste->topLevelItem(i)->isSelected()) continue;
        premier = std::min(premier, i);
        dernier = i;
    }
    return {premier, dernier};
}

int NombreSelectionnes(const QTreeWidget* liste) {
    int n = 0;
    for (int i = 0; i < liste->topLevelItemCount(); ++i)
        n += liste->topLevelItem(i)->isSelected() ? 1 : 0;
    return n;
}

// Takes item `de` out and puts it back at `vers`, selected.
void Deplacer(QTreeWidget* liste, int de, int vers) {
    QTreeWidgetItem* element = liste->takeTopLevelItem(de);
    liste->insertTopLevelItem(vers, element);
    element->setSelected(true);
}
}  // namespace

EtatBoutonsListe CalculerBoutons(const QTreeWidget* liste) {
    const int selection = NombreSelectionnes(liste);
    const auto [premier, dernier] = Bornes(liste);
    EtatBoutonsListe etat;
    etat.modifier = selection == 1;
    etat.supprimer = selection > 0;
    etat.monter = selection > 0 && premier >= 1;
    etat.descendre = selection > 0 && dernier < liste->topLevelItemCount() - 1;
    return etat;
}

void MonterSelection(QTreeWidget* liste) {
    liste->setUpdatesEnabled(false);
    QTreeWidgetItem* courant = liste->currentItem();
    for (int i = 1; i < liste->topLevelItemCount(); ++i)
        if (liste->topLevelItem(i)->isSelected() && !liste->topLevelItem(i - 1)->isSelected())
            Deplacer(liste, i, i - 1);
    if (courant) liste->setCurrentItem(courant, 0, QItemSelectionModel::NoUpdate);
    liste->setUpdatesEnabled(true);
}

void DescendreSelection(QTreeWidget* liste) {
    liste->setUpdatesEnabled(false);
    QTreeWidgetItem* courant = liste->currentItem();
    for (int i = liste->topLevelItemCount() - 2; i >= 0; --i)
        if (liste->topLevelItem(i)->isSelected() && !liste->topLevelItem(i + 1)->isSelected())
            Deplacer(liste, i, i + 1);
    if (courant) liste->setCurrentItem(courant, 0, QItemSelectionModel::NoUpdate);
    liste->setUpdatesEnabled(true);
}

void SupprimerSelection(QTreeWidget* liste) {
    liste->setUpdatesEnabled(false);
    int premier = -1;
    for (int i = liste->topLevelItemCount() - 1; i >= 0; --i) {
        if (!liste->topLevelItem(i)->isSelected()) continue;
        delete liste->takeTopLevelItem(i);
        premier = i;
    }
    const int n = liste->topLevelItemCount();
    if (premier >= 0 && n > 0) {
        liste->clearSelection();
        QTreeWidgetItem* element = liste->topLevelItem(std::min(premier, n - 1));
        liste->setCurrentItem(element);
        element->setSelected(true);
    }
    liste->setUpdatesEnabled(true);
}

void AjouterElementCommande(QTreeWidget* liste, const CommandePersonnalisee& commande) {
    auto* element = new QTreeWidgetItem(liste);
    EcrireElementCommande(element, commande.libelle, commande.ligne,
                          std::to_string(commande.duree));
}

void EcrireElementCommande(QTreeWidgetItem* element, const std::string& nom,
                           const std::string& ligne, const std::string& tag) {
    element->setText(0, QString::fromStdString(nom));
    element->setText(1, QString::fromStdString(ligne));
    element->setData(0, kRoleTag, QString::fromStdString(tag));
}

std::string TagCommande(const QTreeWidgetItem* element) {
    return element->data(0, kRoleTag).toString().toStdString();
}

std::string TexteElementCommande(const QTreeWidgetItem* element) {
    return element->text(0).toStdString() + "|" + TagCommande(element) + "|" +
           element->text(1).toStdString();
}

GlissementListe::GlissementListe(QTreeWidget* liste, QTimer* retardateur,
                                 std::function<void()> changement, QObject* parent)
    : QObject(parent),
      m_liste(liste),
      m_retardateur(retardateur),
      m_changement(std::move(changement)) {
    liste->viewport()->installEventFilter(this);
    connect(retardateur, &QTimer::timeout, this, &GlissementListe::Armer);
}

void GlissementListe::Abandonner() {
    m_attente = nullptr;
    m_glisse = nullptr;
    if (m_liste) m_liste->viewport()->unsetCursor();
}

void GlissementListe::Armer() {
    if (!m_attente) return;
    m_retardateur->stop();
    m_glisse = m_attente;
    m_attente = nullptr;
    if (m_liste) m_liste->viewport()->setCursor(Qt::SizeVerCursor);
}

bool GlissementListe::eventFilter(QObject* objet, QEvent* evenement) {
    // Only the viewport's mouse events matter. Anything else is let through before the list is
    // touched: the viewport also sends events while the list around it is being destroyed, when
    // the list is no longer a QTreeWidget to call.
    const QEvent::Type type = evenement->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    if (!m_liste || objet != m_liste->viewport()) return false;
    switch (type) {
        case QEvent::MouseButtonPress: {
            auto* souris = static_cast<QMouseEvent*>(evenement);
            QTreeWidgetItem* element = m_liste->itemAt(souris->position().toPoint());
            if (souris->button() == Qt::LeftButton && element) {
                m_attente = element;
                m_retardateur->start();
                return false;
            }
            m_liste->clearSelection();
            if (m_changement) m_changement();
            return true;
        }
        case QEvent::MouseMove: {
            auto* souris = static_cast<QMouseEvent*>(evenement);
            if (!m_glisse || !(souris->buttons() & Qt::LeftButton)) return false;
            QTreeWidgetItem* dessous = m_liste->itemAt(souris->position().toPoint());
            if (dessous && dessous != m_glisse) {
                const int ici = m_liste->indexOfTopLevelItem(dessous);
                const int glisse = m_liste->indexOfTopLevelItem(m_glisse);
                const EtatBoutonsListe etat = CalculerBoutons(m_liste);
                if (ici > glisse && etat.descendre)
                    DescendreSelection(m_liste);
                else if (ici < glisse && etat.monter)
                    MonterSelection(m_liste);
                if (m_changement) m_changement();
            }
            return true;  // no rubber-band selection while dragging
        }
        case QEvent::MouseButtonRelease:
            m_retardateur->stop();
            Abandonner();
            if (m_changement) m_changement();
            return false;
        default:
            return false;
    }
}

}  // namespace velmora::gui
