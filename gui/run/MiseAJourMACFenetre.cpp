// The MAC address update started from the main window's options menu.
#include <QApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QTreeWidget>

#include "common/i18n/Traduction.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/ActionRun.h"
#include "gui/run/MiseAJourMAC.h"
#include "gui/run/frmTraitementEnCours.h"
#include "gui/widgets/Etat.h"

namespace velmora::gui {

namespace {
class LignesFenetre : public ListeMAC {
  public:
    LignesFenetre(QTreeWidget* liste, bool& modifiee) : m_liste(liste), m_modifiee(modifiee) {}
    int Nombre() const override { return m_liste->topLevelItemCount(); }
    std::string Nom(int l) const override { return Texte(l, ColNom); }
    std::string Adresse(int l) const override { return Texte(l, ColAdresse); }
    std::string MAC(int l) const override { return Texte(l, ColAdresseMAC); }
    void DefinirMAC(int l, const std::string& mac) override {
        m_liste->topLevelItem(l)->setText(ColAdresseMAC, QString::fromStdString(mac));
        m_modifiee = true;
    }

  private:
    std::string Texte(int l, int colonne) const {
        return m_liste->topLevelItem(l)->text(colonne).toStdString();
    }
    QTreeWidget* m_liste;
    bool& m_modifiee;
};

class JournalFenetre : public JournalMAC {
  public:
    explicit JournalFenetre(frmTraitementEnCours& fenetre) : m_fenetre(fenetre) {}
    int Ajouter(const std::string& ligne) override {
        m_fenetre.Ajouter(ligne);
        return m_fenetre.lstTraitements()->count() - 1;
    }
    void Remplacer(int position, const std::string& ligne) override {
        QListWidgetItem* element = m_fenetre.lstTraitements()->item(position);
        if (!element) return;
        element->setText(QString::fromStdString(ligne));
        m_fenetre.lstTraitements()->setCurrentItem(element);
    }
    bool ArretDemande() override {
        QCoreApplication::processEvents();
        return Etat().annulation;
    }

  private:
    frmTraitementEnCours& m_fenetre;
};
}  // namespace

void frmVelmora::mnuOptionsMajMAC_Click() {
    Etat().annulation = false;
    DebutTraitement();
    frmTraitementEnCours fenetre(this);
    fenetre.Afficher();
    LignesFenetre lignes(m_liste, m_listeModifiee);
    JournalFenetre journal(fenetre);
    // The probes wait on the network: they run off the UI thread while the window answers.
    const bool arrete =
        MettreAJourMAC(lignes, journal, *m_operations, [](const std::function<void()>& f) {
            SansBloquer([&f] {
                f();
                return 0;
            });
        });
    const std::string titre = i18n::Tr(arrete ? "TXT_TRAITEMENT_ARRETE" : "TXT_TRAITEMENT_TERMINE");
    fenetre.Ajouter("");
    fenetre.Ajouter(titre + ".");
    fenetre.Ajouter("");
    Sablier(false);
    fenetre.Terminer(titre, false);
    FinTraitement(false, true);
}

}  // namespace velmora::gui
