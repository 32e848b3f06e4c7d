#include "gui/run/frmTraitementEnCours.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/i18n/Traduction.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

namespace {
constexpr int kTwips = 15;  // twips per pixel

std::string TexteOuDefaut(const char* cle, const char* defaut) {
    std::string texte = i18n::Tr(cle);
    return texte.empty() ? defaut : texte;
}
QString Q(const std::string& texte) { return QString::fromStdString(texte); }
}  // namespace

frmTraitementEnCours::frmTraitementEnCours(QWidget* fenetrePrincipale)
    : QDialog(fenetrePrincipale) {
    setObjectName("frmTraitementEnCours");
    setWindowTitle(QString::fromUtf8("Traitement en cours"));
    m_liste = new QListWidget(this);
    m_liste->setObjectName("lstTraitements");
    m_liste->setSelectionMode(QAbstractItemView::SingleSelection);
    m_bouton = new QPushButton(Q(TexteOuDefaut("BTNSTOP", "&Arrêter !")), this);
    m_bouton->setObjectName("btnStop");
    m_bouton->setMinimumWidth(1455 / kTwips);
    m_bouton->setAutoDefault(false);
    // Margins of 120 twips around the list and 240 twips between the list and the button.
    auto* disposition = new QVBoxLayout(this);
    disposition->setContentsMargins(120 / kTwips, 120 / kTwips, 120 / kTwips, 120 / kTwips);
    disposition->setSpacing(240 / kTwips);
    disposition->addWidget(m_liste, 1);
    disposition->addWidget(m_bouton, 0, Qt::AlignHCenter);
    setMinimumSize(4000 / kTwips, 2500 / kTwips);
    resize(9495 / kTwips, 4335 / kTwips);
    connect(m_bouton, &QPushButton::clicked, this, &frmTraitementEnCours::btnStop_Click);
    TraduireFeuille(this);
    m_bouton->setText(Q(TexteOuDefaut("BTNSTOP", "&Arrêter !")));
    if (fenetrePrincipale) {
        // Centred on the main window.
        const QRect cadre = fenetrePrincipale->frameGeometry();
        move(cadre.left() + (cadre.width() - width()) / 2,
             cadre.top() + (cadre.height() - height()) / 2);
        if (fenetrePrincipale->windowFlags() & Qt::WindowStaysOnTopHint)
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
}

void frmTraitementEnCours::Afficher() {
    show();
    QCoreApplication::processEvents();
}

void frmTraitementEnCours::Ajouter(const std::string& ligne) {
    m_liste->addItem(Q(ligne));
    m_liste->setCurrentRow(m_liste->count() - 1);
    m_liste->scrollToBottom();
}

void frmTraitementEnCours::Terminer(const std::string& titre, bool fermer) {
    m_termine = true;
    setWindowTitle(Q(titre));
    m_liste->setCurrentRow(m_liste->count() - 1);
    m_liste->scrollToBottom();
    m_liste->clearSelection();
    m_bouton->setText(Q(TexteOuDefaut("TXT_FERMER", "&Fermer")));
    m_bouton->setFocus();
    if (fermer) {
        close();
        return;
    }
    hide();
    exec();
}

void frmTraitementEnCours::btnStop_Click() {
    if (m_bouton->text() == Q(TexteOuDefaut("TXT_FERMER", "&Fermer"))) {
        m_termine = true;
        done(QDialog::Accepted);
        hide();
        return;
    }
    Etat().annulation = true;
}

void frmTraitementEnCours::closeEvent(QCloseEvent* evenement) {
    // The run writes to this window until it ends: closing it during the run only asks the run
    // to stop.
    if (!m_termine) {
        Etat().annulation = true;
        evenement->ignore();
        return;
    }
    QDialog::closeEvent(evenement);
}

void frmTraitementEnCours::keyPressEvent(QKeyEvent* evenement) {
    if (evenement->key() == Qt::Key_Escape && !m_termine) {
        Etat().annulation = true;
        return;
    }
    QDialog::keyPressEvent(evenement);
}

}  // namespace velmora::gui
