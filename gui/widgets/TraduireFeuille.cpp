#include "gui/widgets/TraduireFeuille.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>
#include <filesystem>
#include <system_error>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/widgets/Controles.h"

namespace velmora::gui {

namespace {

class Traducteur {
  public:
    explicit Traducteur(const std::string& fichier) : m_fichier(fichier) {}

    QString Lire(const QString& cle, const QString& defaut) const {
        return VersQString(
            i18n::LireTraduction(m_fichier, DepuisQString(cle), DepuisQString(defaut)));
    }

    void Controle(QObject* objet) const {
        const QString nom = objet->objectName();
        if (nom.isEmpty() || nom.startsWith(QLatin1String("qt_"))) return;
        if (auto* bouton = qobject_cast<QAbstractButton*>(objet)) {
            Appliquer(bouton->text(), Lire(nom, bouton->text()),
                      [bouton](const QString& t) { bouton->setText(t); });
        } else if (auto* etiquette = qobject_cast<QLabel*>(objet)) {
            Appliquer(etiquette->text(), Lire(nom, etiquette->text()),
                      [etiquette](const QString& t) { etiquette->setText(t); });
        } else if (auto* action = qobject_cast<QAction*>(objet)) {
            if (action->isSeparator()) return;
            Appliquer(action->text(), Lire(nom, action->text()),
                      [action](const QString& t) { action->setText(t); });
        } else if (auto* menu = qobject_cast<QMenu*>(objet)) {
            Appliquer(menu->title(), Lire(nom, menu->title()),
                      [menu](const QString& t) { menu->setTitle(t); });
        } else if (auto* cadre = qobject_cast<QGroupBox*>(objet)) {
            const QString texte =
                QLatin1Char(' ') + Lire(nom, cadre->title().trimmed()).trimmed() + QLatin1Char(' ');
            Appliquer(cadre->title(), texte, [cadre](const QString& t) { cadre->setTitle(t); });
        } else if (auto* ligne = qobject_cast<QLineEdit*>(objet)) {
            Appliquer(ligne->text(), Lire(nom, ligne->text()),
                      [ligne](const QString& t) { ligne->setText(t); });
        } else if (auto* texte = qobject_cast<QTextEdit*>(objet)) {
            Appliquer(texte->toPlainText(), Lire(nom, texte->toPlainText()),
                      [texte](const QString& t) { texte->setPlainText(t); });
        } else if (auto* brut = qobject_cast<QPlainTextEdit*>(objet)) {
            Appliquer(brut->toPlainText(), Lire(nom, brut->toPlainText()),
                      [brut](const QString& t) { brut->setPlainText(t); });
        } else if (auto* onglets = qobject_cast<QTabWidget*>(objet)) {
            for (int i = 0; i < onglets->count(); ++i) {
                const QString cle =
                    nom + QLatin1Char('(') + QString::number(i + 1) + QLatin1Char(')');
                onglets->setTabText(i, Lire(cle, onglets->tabText(i)));
            }
        } else if (auto* barre = qobject_cast<QTabBar*>(objet)) {
            for (int i = 0; i < barre->count(); ++i) {
                const QString cle =
                    nom + QLatin1Char('(') + QString::number(i + 1) + QLatin1Char(')');
                barre->setTabText(i, Lire(cle, barre->tabText(i)));
            }
        }
    }

  private:
    template <typename F>
    static void Appliquer(const QString& actuel, const QString& nouveau, F&& ecrire) {
        if (nouveau != actuel) ecrire(nouveau);
    }
    std::string m_fichier;
};

}  // namespace

void TraduireFeuille(QWidget* fenetre) { TraduireFeuille(fenetre, Prog().fichierLangue); }

void TraduireFeuille(QWidget* fenetre, const std::string& fichierLangue) {
    if (!fenetre || fichierLangue.empty()) return;
    std::error_code erreur;
    if (!std::filesystem::is_regular_file(fichierLangue, erreur)) return;
    const Traducteur traducteur(fichierLangue);
    if (!fenetre->objectName().isEmpty()) {
        fenetre->setWindowTitle(traducteur.Lire(fenetre->objectName(), fenetre->windowTitle()));
    }
    // Translating one control can delete others (a label given new text drops the internal
    // text control it had made): each one is reached through a guard that knows.
    QList<QPointer<QObject>> objets;
    for (QObject* objet : fenetre->findChildren<QObject*>()) objets.append(objet);
    for (const QPointer<QObject>& objet : objets)
        if (objet) traducteur.Controle(objet);
}

}  // namespace velmora::gui
