// Keyboard accelerators ("&" letters) of every menu and dialog, in French and in English: within
// what the user sees at once (a menu, or a window with the page of its tab strip on show, its
// menu bar titles included), no letter may serve twice, or Alt+letter reaches only one of them.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QtTest>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmAPropos.h"
#include "gui/dialogs/frmAstuceDuJour.h"
#include "gui/dialogs/frmConfigAction.h"
#include "gui/dialogs/frmConfigCommande.h"
#include "gui/dialogs/frmConfiguration.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/dialogs/frmMsgbox.h"
#include "gui/import/frmImportFichierText.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/ActionRun.h"
#include "gui/run/frmTraitementEnCours.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/TraduireFeuille.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// The accelerator letter of a caption, lower-cased; none for "&&" or no "&".
QChar Mnemonique(const QString& texte) {
    for (qsizetype i = 0; i + 1 < texte.size(); ++i) {
        if (texte[i] != QLatin1Char('&')) continue;
        if (texte[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return texte[i + 1].toLower();
    }
    return {};
}

// "where: letter 'x' in "A" and "B"" for each letter used twice among `libelles`.
QStringList Doublons(const QString& ou, const QStringList& libelles) {
    QStringList fautes;
    QMap<QChar, QString> vus;
    for (const QString& libelle : libelles) {
        const QChar lettre = Mnemonique(libelle);
        if (lettre.isNull()) continue;
        if (vus.contains(lettre))
            fautes << QString("%1: '%2' in \"%3\" and \"%4\"")
                          .arg(ou, QString(lettre), vus[lettre], libelle);
        else
            vus[lettre] = libelle;
    }
    return fautes;
}

QStringList Libelles(const QMenu* menu) {
    QStringList libelles;
    for (QAction* action : menu->actions())
        if (action->isVisible() && !action->isSeparator()) libelles << action->text();
    return libelles;
}

// The captions of a window on show: buttons, labels that lead to a control, checkable frames,
// tabs, and the titles of its menu bar.
QStringList Libelles(QWidget* fenetre) {
    QStringList libelles;
    for (QWidget* w : fenetre->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(fenetre) || w->objectName().startsWith("qt_")) continue;
        if (auto* bouton = qobject_cast<QAbstractButton*>(w)) {
            libelles << bouton->text();
        } else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy()) {
            libelles << label->text();
        } else if (auto* cadre = qobject_cast<QGroupBox*>(w); cadre && cadre->isCheckable()) {
            libelles << cadre->title();
        } else if (auto* onglets = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < onglets->count(); ++i) libelles << onglets->tabText(i);
        } else if (auto* barre = qobject_cast<QMenuBar*>(w)) {
            for (QAction* action : barre->actions())
                if (action->isVisible()) libelles << action->text();
        }
    }
    return libelles;
}

// A window and, when its tab strip selects pages, each of its pages in turn.
QStringList VerifierFenetre(const QString& ou, QWidget* fenetre, bool pages_ = true) {
    QStringList fautes;
    const QList<QTabBar*> barres = fenetre->findChildren<QTabBar*>();
    QTabBar* onglets = barres.isEmpty() || !pages_ ? nullptr : barres.front();
    const int pages = onglets ? std::max<int>(onglets->count(), 1) : 1;
    for (int i = 0; i < pages; ++i) {
        if (onglets) onglets->setCurrentIndex(i);
        QCoreApplication::processEvents();
        fautes << Doublons(onglets ? ou + " page " + QString::number(i + 1) : ou,
                           Libelles(fenetre));
    }
    return fautes;
}

struct CibleVide : CibleImport {
    int Trouver(const std::string&) const override { return -1; }
    void Ajouter(const MachineImportee&) override {}
    void Remplacer(int, const MachineImportee&) override {}
};

}  // namespace

class TestRaccourcis : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() {
        Prog().fichierLangue.clear();
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
    }

    void lettresUniques_data() {
        QTest::addColumn<QString>("langue");
        QTest::newRow("français") << QString();
        QTest::newRow("english") << QString(VELMORA_SOURCE_DIR "/lang/English.lng");
    }
    void lettresUniques() {
        QFETCH(QString, langue);
        Prog().fichierLangue = langue.toStdString();
        QVERIFY(i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, Prog().fichierLangue));
        QStringList fautes;

        frmVelmora principale;
        TraduireFeuille(&principale, Prog().fichierLangue);
        fautes << VerifierFenetre("frmVelmora", &principale, false);  // tabs are folders
        for (QMenu* menu : principale.findChildren<QMenu*>())
            fautes << Doublons(menu->objectName(), Libelles(menu));
        QStringList actions;
        for (const EntreeMenu& entree :
             ConstruireMenuActions(SourceMenu::Liste, true, false, false, 0, {"Bureau"}))
            actions << QString::fromStdString(entree.libelle);
        fautes << Doublons("actions menu", actions);

        frmMachine machine;
        fautes << VerifierFenetre("frmMachine", &machine);
        frmConfigAction action;
        fautes << VerifierFenetre("frmConfigAction", &action);
        frmConfiguration configuration({"Machines"});
        fautes << VerifierFenetre("frmConfiguration", &configuration);
        frmConfigCommande commande;
        fautes << VerifierFenetre("frmConfigCommande", &commande);
        ReglagesFenetre reglages;
        frmAstuceDuJour astuce(nullptr, reglages);
        fautes << VerifierFenetre("frmAstuceDuJour", &astuce);
        frmAPropos aPropos;
        fautes << VerifierFenetre("frmAPropos", &aPropos);
        frmMsgbox boite;
        boite.Preparer("texte", 48 + 1, "Velmora", true);
        fautes << VerifierFenetre("frmMsgbox", &boite);
        QWidget parent;
        frmTraitementEnCours traitement(&parent);
        fautes << VerifierFenetre("frmTraitementEnCours", &traitement);
        CibleVide cible;
        frmImportFichierText import({"a;1.1.1.1;00:11:22:33:44:55"}, cible);
        fautes << VerifierFenetre("frmImportFichierText", &import);

        if (!fautes.isEmpty()) QFAIL(qPrintable(fautes.join("\n")));
    }
};

QTEST_MAIN(TestRaccourcis)
#include "test_raccourcis.moc"
