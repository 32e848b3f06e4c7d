// Tab order of the dialogs: pressing Tab from the first control visits the controls as the eye
// reads them, top to bottom and, on one row, left to right (a page of a tab strip at a time).
#include <QApplication>
#include <QTabBar>
#include <QtTest>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmConfigAction.h"
#include "gui/dialogs/frmConfigCommande.h"
#include "gui/dialogs/frmConfiguration.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/widgets/Etat.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

QRect Cadre(QWidget* w, QWidget* fenetre) {
    return QRect(w->mapTo(fenetre, QPoint(0, 0)), w->size());
}

// True when `b` comes after `a` in reading order: on the same row (each one's middle within the
// other's height) and to its right, or below it.
bool Apres(const QRect& a, const QRect& b) {
    const bool memeRangee = (b.center().y() >= a.top() && b.center().y() <= a.bottom()) ||
                            (a.center().y() >= b.top() && a.center().y() <= b.bottom());
    if (memeRangee) return b.left() > a.left();
    return b.center().y() > a.center().y();
}

QString Nom(QWidget* w) {
    return w ? (w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName())
             : "(none)";
}

// Walks the focus chain (disabled controls included: they take their place in it once enabled)
// from the first control on screen: every step must go forward in reading order, except the
// one step back to the start.
QStringList VerifierTabulation(const QString& ou, QWidget* fenetre) {
    QList<QWidget*> chaine;
    for (QWidget* w = fenetre->nextInFocusChain(); w && w != fenetre; w = w->nextInFocusChain())
        if (w->isVisibleTo(fenetre) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() &&
            !chaine.contains(w))
            chaine << w;
    if (chaine.isEmpty()) return {};
    qsizetype debut = 0;
    for (qsizetype i = 1; i < chaine.size(); ++i)
        if (Apres(Cadre(chaine[i], fenetre), Cadre(chaine[debut], fenetre))) debut = i;
    QList<QWidget*> parcours = chaine.mid(debut) + chaine.mid(0, debut);
    QStringList noms;
    for (QWidget* w : parcours) noms << Nom(w);
    QStringList fautes;
    for (int i = 0; i + 1 < parcours.size(); ++i)
        if (!Apres(Cadre(parcours[i], fenetre), Cadre(parcours[i + 1], fenetre)))
            fautes << QString("%1: %2 before %3 (order: %4)")
                          .arg(ou, Nom(parcours[i]), Nom(parcours[i + 1]), noms.join(", "));
    return fautes;
}

QStringList Montrer(const QString& ou, QWidget* fenetre) {
    fenetre->show();
    QCoreApplication::processEvents();
    return VerifierTabulation(ou, fenetre);
}

}  // namespace

class TestOrdreTabulation : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        Prog().fichierLangue.clear();
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
    }

    void dialoguesDansLOrdreDeLEcran() {
        QStringList fautes;
        frmMachine machine;
        fautes << Montrer("frmMachine", &machine);
        machine.hide();

        frmConfiguration configuration({"Machines"});
        configuration.show();
        QTabBar* onglets = configuration.findChild<QTabBar*>();
        for (int i = 0; i < onglets->count(); ++i) {
            onglets->setCurrentIndex(i);
            fautes << Montrer("frmConfiguration page " + QString::number(i + 1), &configuration);
        }
        configuration.hide();

        frmConfigAction action;
        fautes << Montrer("frmConfigAction", &action);
        action.hide();
        frmConfigCommande commande;
        fautes << Montrer("frmConfigCommande", &commande);
        commande.hide();
        if (!fautes.isEmpty()) QFAIL(qPrintable(fautes.join("\n")));
    }
};

QTEST_MAIN(TestOrdreTabulation)
#include "test_ordre_tabulation.moc"
