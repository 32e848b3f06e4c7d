#include "gui/dialogs/frmMsgbox.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/widgets/Controles.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

frmMsgbox::frmMsgbox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMsgbox"));
    setWindowTitle(QStringLiteral("Attention"));
    setModal(false);

    m_icone = new QLabel(this);
    m_icone->setObjectName(QStringLiteral("picIcône"));
    m_icone->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_nePlusAfficher =
        new QCheckBox(QStringLiteral("Ne plus &afficher ce message à l'avenir"), this);
    m_nePlusAfficher->setObjectName(QStringLiteral("chkNePlusAfficher"));

    m_fondBoutons = new QWidget(this);
    m_fondBoutons->setObjectName(QStringLiteral("picFondBoutons"));
    m_fondBoutons->setBackgroundRole(QPalette::Button);
    m_fondBoutons->setAutoFillBackground(true);
    m_ok = new QPushButton(QStringLiteral("&OK"), m_fondBoutons);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setDefault(true);
    m_defaut = m_ok;
    m_annuler = new QPushButton(QStringLiteral("A&nnuler"), m_fondBoutons);
    m_annuler->setObjectName(QStringLiteral("btnAnnuler"));
    auto* barre = new QHBoxLayout(m_fondBoutons);
    barre->addStretch();
    barre->addWidget(m_ok);
    barre->addWidget(m_annuler);

    auto* corps = new QHBoxLayout;
    corps->setContentsMargins(12, 12, 12, 4);
    corps->setSpacing(12);
    corps->addWidget(m_icone, 0, Qt::AlignTop);
    corps->addWidget(m_message, 1);
    auto* principal = new QVBoxLayout(this);
    principal->setContentsMargins(0, 0, 0, 0);
    principal->addLayout(corps);
    auto* coche = new QHBoxLayout;
    coche->setContentsMargins(12, 0, 12, 8);
    coche->addWidget(m_nePlusAfficher);
    principal->addLayout(coche);
    principal->addWidget(m_fondBoutons);
    principal->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ok, &QPushButton::clicked, this, [this] { Terminer(1); });
    connect(m_annuler, &QPushButton::clicked, this, [this] { Terminer(2); });
}

int frmMsgbox::LargeurMaximale() {
    const QScreen* ecran = QApplication::primaryScreen();
    const int largeur = ecran ? ecran->availableGeometry().width() / 2 : 400;
    return qMax(300, largeur);
}

void frmMsgbox::Preparer(const std::string& texte, int styleBoite, const std::string& titre,
                         bool nePlusAfficher) {
    TraduireFeuille(this);
    setWindowTitle(VersQString(titre));

    QStyle::StandardPixmap icone = QStyle::SP_CustomBase;
    switch (styleBoite & 0x70) {
        case 16:
            icone = QStyle::SP_MessageBoxCritical;
            break;
        case 32:
            icone = QStyle::SP_MessageBoxQuestion;
            break;
        case 48:
            icone = QStyle::SP_MessageBoxWarning;
            break;
        case 64:
            icone = QStyle::SP_MessageBoxInformation;
            break;
        default:
            break;
    }
    if (icone != QStyle::SP_CustomBase) {
        const int taille = this->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        m_icone->setPixmap(this->style()->standardIcon(icone, nullptr, this).pixmap(taille));
        m_icone->setVisible(true);
    } else {
        m_icone->setVisible(false);
    }

    // Lines are broken at spaces so that none is wider than the allowed width; the label
    // takes the width of its longest line.
    const QString message = VersQString(texte);
    m_message->setText(message);
    const QFontMetrics mesure(m_message->font());
    const QRect cadre = mesure.boundingRect(QRect(0, 0, LargeurMaximale(), 100000),
                                            Qt::TextWordWrap | Qt::AlignLeft, message);
    m_message->setFixedWidth(qMax(cadre.width() + 4, 200));

    m_nePlusAfficher->setVisible(nePlusAfficher);
    m_nePlusAfficher->setChecked(false);
    const bool annuler = (styleBoite & 0x0F) == 1;
    m_annuler->setVisible(annuler);
    // Default button: the second one (Cancel) with style 256, else OK.
    m_defaut = annuler && (styleBoite & 0x300) == 0x100 ? m_annuler : m_ok;
    m_ok->setDefault(m_defaut == m_ok);
    m_annuler->setDefault(m_defaut == m_annuler);
    AppliquerToujoursAuDessus(this);
    adjustSize();
}

int frmMsgbox::Attendre() {
    m_bouton = 0;
    if (const QScreen* ecran = QApplication::primaryScreen()) {
        move(ecran->availableGeometry().center() - rect().center());
    }
    QApplication::beep();
    // The caller's window may be disabled during a run: this window must still answer.
    setEnabled(true);
    show();
    raise();
    activateWindow();
    m_defaut->setFocus();
    QEventLoop boucle;
    m_boucle = &boucle;
    if (m_bouton == 0) boucle.exec();
    m_boucle = nullptr;
    hide();
    const int bouton = m_bouton == 0 ? 1 : m_bouton;
    return m_nePlusAfficher->isChecked() ? -bouton : bouton;
}

void frmMsgbox::Terminer(int bouton) {
    if (m_bouton != 0) return;
    m_bouton = bouton;
    if (m_boucle) m_boucle->quit();
}

void frmMsgbox::reject() { Terminer(m_annuler->isVisible() ? 2 : 1); }

void frmMsgbox::closeEvent(QCloseEvent* evenement) {
    // The close box answers like Escape: Cancel when it is offered, else OK.
    Terminer(m_annuler->isVisible() ? 2 : 1);
    evenement->accept();
}

int frmMsgbox::Afficher(QWidget* parent, const std::string& texte, int style,
                        const std::string& titre, bool nePlusAfficher) {
    frmMsgbox fenetre(parent);
    fenetre.Preparer(texte, style, titre, nePlusAfficher);
    return fenetre.Attendre();
}

}  // namespace velmora::gui
