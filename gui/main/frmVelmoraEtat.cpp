// frmVelmora: window state kept between sessions, tray icon, and the closing steps that write
// the settings, the folder list and the current folder.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLayout>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
constexpr int kTwips = 15;         // twips per pixel
constexpr int kCadreFenetre = 16;  // width of a window manager's left and right borders
std::string S(const QString& texte) { return texte.toStdString(); }

std::function<void(const QString&, const QStringList&)>& LanceurRedemarrage() {
    static std::function<void(const QString&, const QStringList&)> lanceur;
    return lanceur;
}
}  // namespace

void frmVelmora::DefinirLanceurRedemarrage(
    std::function<void(const QString& programme, const QStringList& arguments)> lanceur) {
    LanceurRedemarrage() = std::move(lanceur);
}

void frmVelmora::AppliquerEtatFenetre() {
    const ReglagesFenetre& r = Etat().reglages;
    m_mnuMemoriserTaille->setChecked(r.memoriserTaille);
    m_mnuMemoriserPosition->setChecked(r.memoriserPosition);
    // Column widths first: the design width of the window depends on them.
    if (!r.colonnes.empty()) {
        m_mnuMemoriserColonnes->setChecked(true);
        const std::vector<std::string> largeurs = ExtraireChamp(r.colonnes, ";");
        for (size_t c = 0; c < largeurs.size() && c < NombreColonnes; ++c)
            if (auto valeur = LireNombre(largeurs[c]); valeur && *valeur >= 0)
                m_liste->header()->resizeSection(static_cast<int>(c),
                                                 static_cast<int>(*valeur / kTwips));
    }
    QSize taille(11400 / kTwips, 7300 / kTwips);
    if (r.memoriserTaille)
        taille = QSize(static_cast<int>(r.largeur / kTwips), static_cast<int>(r.hauteur / kTwips));
    else
        taille.setWidth(LargeurPourColonnes(taille));
    taille = taille.expandedTo(minimumSize());
    resize(taille);
    QPoint position;
    if (r.memoriserPosition) {
        position = QPoint(static_cast<int>(r.gauche / kTwips), static_cast<int>(r.haut / kTwips));
    } else if (QScreen* ecran = QGuiApplication::primaryScreen()) {
        const QRect zone = ecran->availableGeometry();
        position = QPoint(zone.left() + (zone.width() - taille.width()) / 2,
                          zone.top() + (zone.height() - taille.height()) / 2);
    }
    move(position);
    m_boundsNormaux = QRect(position, taille);
    if (r.memoriserTaille && r.etat == 2) setWindowState(Qt::WindowMaximized);
    m_mnuMinimiserSystray->setChecked(r.minimiserSystray);
    m_mnuToujoursAuDessus->setChecked(r.toujoursAuDessus);
    DefinirToujoursAuDessus(r.toujoursAuDessus);
    if (r.toujoursAuDessus) AppliquerToujoursAuDessus(this, true);
}

int frmVelmora::LargeurPourColonnes(QSize taille) {
    // What the window needs beside the list's viewport, measured on the laid-out window.
    resize(taille);
    if (layout()) layout()->activate();
    if (centralWidget()->layout()) centralWidget()->layout()->activate();
    // (The list's own geometry is set by the layout even while hidden; its viewport's is not.)
    const int autour = width() - m_liste->width() + 2 * m_liste->frameWidth() +
                       m_liste->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_liste);
    // Every column at its width; the last one, which stretches, at least at its design width.
    int colonnes = kLargeursColonnes[NombreColonnes - 1] / kTwips;
    for (int c = 0; c + 1 < NombreColonnes; ++c) colonnes += m_liste->header()->sectionSize(c);
    int largeur = std::max(taille.width(), autour + colonnes);
    if (const QScreen* ecran = QGuiApplication::primaryScreen()) {
        // The whole window, frame included, stays on the screen. The window manager's frame is
        // known only once the window is shown: until then room is kept for a usual one.
        const int cadre = isVisible() ? frameGeometry().width() - width() : kCadreFenetre;
        largeur = std::min(largeur, ecran->availableGeometry().width() - cadre);
    }
    return largeur;
}

void frmVelmora::OptionModifiee() { Etat().optionsFenetreModifiees = true; }

void frmVelmora::mnuSystrayRestaurer_Click() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    RetirerSystray();
    ActiverApresAffichage(10);
}

void frmVelmora::ActiverApresAffichage(int essais) {
    // The window manager gives the focus only to a window it has mapped again, which happens
    // after show() returns: asked again until the window is the active one.
    raise();
    activateWindow();
    if (essais > 0 && !isActiveWindow())
        QTimer::singleShot(50, this, [this, essais] {
            if (isVisible() && !isActiveWindow()) ActiverApresAffichage(essais - 1);
        });
}

void frmVelmora::AjouterSystray() {
    hide();
    if (m_systray) m_systray->show();
    m_dansSystray = true;
}

void frmVelmora::RetirerSystray() {
    if (!m_dansSystray) return;
    if (m_systray) m_systray->hide();
    m_dansSystray = false;
    show();
}

void frmVelmora::changeEvent(QEvent* evenement) {
    QMainWindow::changeEvent(evenement);
    if (evenement->type() == QEvent::ActivationChange && isActiveWindow() && !m_betaAnnoncee &&
        platform::TexteVersion().find("beta") != std::string::npos) {
        // Once per session: the message box itself would activate the window again.
        m_betaAnnoncee = true;
        QTimer::singleShot(
            0, this, [this] { MsgBox(this, "ATTENTION, version bêta !", 0, TitreApplication()); });
    }
    if (evenement->type() != QEvent::WindowStateChange) return;
    if (isMinimized()) {
        // Without a notification area the window stays on the task bar rather than vanish.
        if (m_mnuMinimiserSystray->isChecked() && QSystemTrayIcon::isSystemTrayAvailable())
            QTimer::singleShot(0, this, [this] {
                if (isMinimized()) AjouterSystray();
            });
        return;
    }
    if (m_dansSystray) RetirerSystray();
}

void frmVelmora::resizeEvent(QResizeEvent* evenement) {
    QMainWindow::resizeEvent(evenement);
    if (windowState() == Qt::WindowNoState && isVisible()) m_boundsNormaux.setSize(size());
}

void frmVelmora::moveEvent(QMoveEvent* evenement) {
    QMainWindow::moveEvent(evenement);
    if (windowState() == Qt::WindowNoState && isVisible()) m_boundsNormaux.moveTopLeft(pos());
}

void frmVelmora::SignalerErreurEcriture(const std::string& erreur) {
    QApplication::restoreOverrideCursor();
    MsgBox(this, Tr("MSG_ERREUR", {"0", erreur}), 16, TitreApplication());
}

bool frmVelmora::SauvegarderConfiguration() {
    const std::string& fichier = Prog().fichierConfig;
    std::string erreur;
    if (Etat().configModifiee) {
        if (!SauverReglages(fichier, Prog().reglages, Etat().reglages, &erreur)) {
            SignalerErreurEcriture(erreur);
            return false;
        }
        Etat().configModifiee = false;
    }
    if (windowState() == Qt::WindowNoState && isVisible()) m_boundsNormaux.moveTopLeft(pos());
    const bool options = Etat().optionsFenetreModifiees;
    const ReglagesFenetre& r = Etat().reglages;
    std::vector<std::string> dossiers = Dossiers();
    // Every window key in one rewrite of the file.
    const bool ok = ModifierIni(
        fichier,
        [&](IniDocument& ini) {
            auto ecrire = [&ini](const char* cle, const std::string& valeur) {
                ini.Set(cle::Config, cle, valeur);
            };
            if (options) {
                ecrire(cle::FenetreMemoriserTaille,
                       TexteBooleen(m_mnuMemoriserTaille->isChecked()));
                ecrire(cle::FenetreMemoriserPosition,
                       TexteBooleen(m_mnuMemoriserPosition->isChecked()));
                ecrire(cle::MinimiserSystray, TexteBooleen(m_mnuMinimiserSystray->isChecked()));
                ecrire(cle::ToujoursAuDessus, TexteBooleen(m_mnuToujoursAuDessus->isChecked()));
                ini.Remove(cle::Config, cle::DernierDossierOuvert);
                ini.Remove(cle::Config, cle::Tri);
            }
            if (m_mnuMemoriserPosition->isChecked()) {
                ecrire(cle::FenetreGauche, std::to_string(m_boundsNormaux.left() * kTwips));
                ecrire(cle::FenetreHaut, std::to_string(m_boundsNormaux.top() * kTwips));
            }
            if (m_mnuMemoriserTaille->isChecked()) {
                const int etat = isMinimized() || m_dansSystray ? 0 : isMaximized() ? 2 : 0;
                ecrire(cle::FenetreEtat, std::to_string(etat));
                ecrire(cle::FenetreLargeur, std::to_string(m_boundsNormaux.width() * kTwips));
                ecrire(cle::FenetreHauteur, std::to_string(m_boundsNormaux.height() * kTwips));
            }
            if (m_mnuMemoriserColonnes->isChecked()) {
                std::vector<std::string> largeurs;
                for (int c = 0; c < NombreColonnes; ++c)
                    largeurs.push_back(std::to_string(m_liste->header()->sectionSize(c) * kTwips));
                ecrire(cle::FenetreColonnes, Joindre(largeurs, ";"));
            } else {
                ini.Remove(cle::Config, cle::FenetreColonnes);
            }
            if (m_mnuMemoriserDossier->isChecked() && m_onglets->currentIndex() >= 0)
                ecrire(cle::DernierDossierOuvert, S(m_onglets->tabText(m_onglets->currentIndex())));
            if (m_mnuMemoriserTri->isChecked()) ecrire(cle::Tri, std::to_string(m_tri));
            ecrire(cle::FichierImport, r.fichierImport);
            ecrire(cle::ListeDossiers, Joindre(dossiers, "|"));
        },
        &erreur);
    if (!ok) {
        SignalerErreurEcriture(erreur);
        return false;
    }
    Etat().optionsFenetreModifiees = false;
    Etat().dossiersModifies = false;
    if (m_listeModifiee && !SauverDossier()) return false;
    QApplication::restoreOverrideCursor();
    return true;
}

void frmVelmora::mnuFichierSauvegarder_Click() { SauvegarderConfiguration(); }

void frmVelmora::closeEvent(QCloseEvent* evenement) {
    if (m_actionEnCours) {
        // A run writes to this window until it ends: closing only asks it to stop.
        Etat().annulation = true;
        evenement->ignore();
        return;
    }
    if (m_testEnCours) {
        m_arretTest = true;
        evenement->ignore();
        return;
    }
    if (!m_fermetureFaite) {
        Etat().fermeture = true;
        // Session clean-up of the custom commands.
        timDeconnecterApresCommandePersonnalisee_Timer();
        if (!SauvegarderConfiguration() && !m_fermetureRefusee) {
            // The list could not be written: keep the window open once so that nothing is lost
            // unnoticed; a second close quits.
            m_fermetureRefusee = true;
            Etat().fermeture = false;
            evenement->ignore();
            return;
        }
        m_fermetureFaite = true;
        if (m_systray) m_systray->hide();
        if (Etat().redemarrage) {
            QStringList arguments = QCoreApplication::arguments();
            arguments.removeFirst();
            if (LanceurRedemarrage())
                LanceurRedemarrage()(QCoreApplication::applicationFilePath(), arguments);
            else
                QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
        }
        // Closing the main window ends the program, even when the window is hidden in the tray
        // (Qt only quits by itself when the last visible window closes). Queued, so that the
        // close completes first; it does nothing outside the event loop.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    QMainWindow::closeEvent(evenement);
}

}  // namespace velmora::gui
