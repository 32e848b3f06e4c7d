#include "gui/widgets/ArbreVisible.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <memory>

#include "common/platform/Fichiers.h"

namespace velmora::gui {

namespace {

QJsonArray Rect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// The widget's rectangle in screen pixels.
QRect Global(const QWidget* w, const QRect& local) {
    return QRect(w->mapToGlobal(local.topLeft()), local.size());
}

QString Texte(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    if (auto* p = qobject_cast<const QProgressBar*>(w)) return p->text();
    return {};
}

void AjouterWidget(const QWidget* w, const QRect& visibleParent, QJsonArray& sortie) {
    const QRect rect = Global(w, w->rect());
    const QRect visible = rect.intersected(visibleParent);
    QJsonObject o;
    o["classe"] = QString::fromLatin1(w->metaObject()->className());
    o["nom"] = w->objectName();
    o["texte"] = Texte(w);
    o["rect"] = Rect(rect);
    o["visible"] = Rect(visible);
    o["min"] = QJsonArray{w->minimumSizeHint().width(), w->minimumSizeHint().height()};
    o["parent"] = w->parentWidget() ? w->parentWidget()->objectName() : QString();
    if (auto* l = qobject_cast<const QLabel*>(w)) o["retour"] = l->wordWrap();
    // The width of the text as drawn (a mnemonic's "&" takes no room).
    QString affiche = Texte(w);
    affiche.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(QLatin1Char('&'));
    affiche.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    int largeurTexte = 0;
    for (const QString& ligne : affiche.split(QLatin1Char('\n')))
        largeurTexte = std::max(largeurTexte, w->fontMetrics().horizontalAdvance(ligne));
    o["largeurTexte"] = largeurTexte;
    if (auto* c = qobject_cast<const QComboBox*>(w)) {
        QJsonArray elements;
        for (int i = 0; i < c->count(); ++i) elements.append(c->itemText(i));
        o["elements"] = elements;
    }
    if (auto* t = qobject_cast<const QTabBar*>(w)) {
        QJsonArray onglets;
        for (int i = 0; i < t->count(); ++i)
            onglets.append(QJsonObject{{"texte", t->tabText(i)},
                                       {"rect", Rect(Global(w, t->tabRect(i)))},
                                       {"courant", i == t->currentIndex()}});
        o["onglets"] = onglets;
    }
    if (auto* h = qobject_cast<const QHeaderView*>(w)) {
        QJsonArray colonnes;
        for (int i = 0; i < h->count(); ++i) {
            const auto* arbre = qobject_cast<const QTreeWidget*>(h->parentWidget());
            colonnes.append(
                QJsonObject{{"texte", arbre ? arbre->headerItem()->text(i) : QString()},
                            {"rect", Rect(Global(w, QRect(h->sectionViewportPosition(i), 0,
                                                          h->sectionSize(i), h->height())))}});
        }
        o["colonnes"] = colonnes;
    }
    auto actions = [&](const QList<QAction*>& liste, auto geometrie) {
        QJsonArray elements;
        for (QAction* a : liste) {
            if (!a->isVisible() || a->isSeparator()) continue;
            elements.append(QJsonObject{{"nom", a->objectName()},
                                        {"texte", a->text()},
                                        {"actif", a->isEnabled()},
                                        {"rect", Rect(Global(w, geometrie(a)))}});
        }
        o["actions"] = elements;
    };
    if (auto* m = qobject_cast<const QMenuBar*>(w))
        actions(m->actions(), [m](QAction* a) { return m->actionGeometry(a); });
    if (auto* m = qobject_cast<const QMenu*>(w))
        actions(m->actions(), [m](QAction* a) { return m->actionGeometry(a); });
    sortie.append(o);
    for (const QObject* enfant : w->children()) {
        auto* e = qobject_cast<const QWidget*>(enfant);
        if (e && !e->isWindow() && e->isVisible()) AjouterWidget(e, visible, sortie);
    }
}

QString Etat(const QWidget* w) {
    if (w->isMinimized()) return "minimise";
    if (w->isMaximized()) return "maximise";
    if (w->isFullScreen()) return "plein";
    return "normal";
}

}  // namespace

QString DecrireArbreVisible() {
    QJsonObject racine;
    if (const QScreen* ecran = QGuiApplication::primaryScreen()) {
        racine["ecran"] = Rect(ecran->geometry());
        racine["disponible"] = Rect(ecran->availableGeometry());
    }
    const QWidget* actif = QApplication::activeWindow();
    QJsonArray fenetres;
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        QJsonObject f;
        f["classe"] = QString::fromLatin1(w->metaObject()->className());
        f["nom"] = w->objectName();
        f["titre"] = w->windowTitle();
        f["cadre"] = Rect(w->frameGeometry());
        f["geometrie"] = Rect(w->geometry());
        f["etat"] = Etat(w);
        f["actif"] = w == actif;
        f["modal"] = w->isModal();
        f["expose"] = w->windowHandle() && w->windowHandle()->isExposed();
        QJsonArray widgets;
        AjouterWidget(w, Global(w, w->rect()), widgets);
        f["widgets"] = widgets;
        fenetres.append(f);
    }
    racine["fenetres"] = fenetres;
    // The notification-area icon, where the tray shows it.
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (const auto* icone = w->findChild<const QSystemTrayIcon*>())
            if (icone->isVisible()) racine["plateau"] = Rect(icone->geometry());
    return QString::fromUtf8(QJsonDocument(racine).toJson(QJsonDocument::Indented));
}

void InstallerArbreVisible(QWidget* fenetrePrincipale) {
    const QString fichier = qEnvironmentVariable("VELMORA_ARBRE_VISIBLE");
    if (fichier.isEmpty() || !fenetrePrincipale) return;
    auto* minuterie = new QTimer(fenetrePrincipale);
    auto dernier = std::make_shared<QString>();
    QObject::connect(minuterie, &QTimer::timeout, fenetrePrincipale,
                     [fenetrePrincipale, fichier, dernier] {
                         QWindow* fenetre = fenetrePrincipale->windowHandle();
                         if (!fenetre || !fenetre->isExposed()) {
                             if (dernier->isEmpty()) return;  // not on the screen yet
                         }
                         const QString texte = DecrireArbreVisible();
                         if (texte == *dernier) return;
                         *dernier = texte;
                         platform::RemplacerFichier(fichier.toStdString(), texte.toStdString());
                     });
    minuterie->start(200);
}

}  // namespace velmora::gui
