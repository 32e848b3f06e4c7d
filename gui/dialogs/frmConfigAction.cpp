#include "gui/dialogs/frmConfigAction.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

namespace {
constexpr long long kDelaiMax = 32767;  // s: the delay is held as a 16-bit number
}

const std::array<ElementAction, 8>& VerificationAction::Elements() {
    static const std::array<ElementAction, 8> elements{{
        {"TXT_REDEMARRER", ActionRedemarrer},
        {"TXT_ETEINDRE", ActionEteindre},
        {"TXT_VERROUILLER_LA_SESSION", ActionVerrouiller},
        {"TXT_FERMER_LA_SESSION", ActionFermerSession},
        {"TXT_METTRE_EN_VEILLE_PROLONGEE", ActionVeilleProlongee},
        {"TXT_REDEMARRER_WMI", ActionRedemarrerWMI},
        {"TXT_POWEROFF_WMI", ActionPowerOffWMI},
        {"TXT_ETEINDRE_WMI", ActionEteindreWMI},
    }};
    return elements;
}

int VerificationAction::PositionDuCode(int32_t code) {
    const auto& e = Elements();
    for (size_t i = 0; i < e.size(); ++i) {
        if (e[i].code == code) return static_cast<int>(i);
    }
    return -1;
}

bool VerificationAction::ChampsDelaiActifs(int position) { return position <= 1; }

std::optional<RefusAction> VerificationAction::Verifier(int position, bool delaiActif,
                                                        const std::string& delai) {
    if (position < 0 || position >= static_cast<int>(Elements().size()))
        return RefusAction{"MSG_ERREUR_OMISSION_ACTION", RefusAction::Champ::Action};
    if (!delaiActif) return std::nullopt;
    const bool chiffres = !delai.empty() && std::all_of(delai.begin(), delai.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (!chiffres || delai.size() > 5 || std::stoll(delai) > kDelaiMax)
        return RefusAction{"MSG_ERREUR_DELAI", RefusAction::Champ::Delai};
    return std::nullopt;
}

RequeteAction VerificationAction::RequeteParDefaut(int32_t code) {
    const ReglagesDemarrage& r = Prog().reglages;
    RequeteAction requete;
    requete.code = code;
    requete.delai = static_cast<int16_t>(std::clamp(r.delaiAvantRedemarrage, 0LL, kDelaiMax));
    requete.message = r.messageParDefaut;
    requete.forcer = r.forcerParDefaut;
    return requete;
}

frmConfigAction::frmConfigAction(QWidget* parent)
    : QDialog(parent), m_estNT(platform::EstWindowsNT()) {
    setObjectName(QStringLiteral("frmConfigAction"));
    setWindowTitle(QStringLiteral("Agir à distance"));
    Construire();
    TraduireFeuille(this);

    m_action->clear();
    for (const ElementAction& e : VerificationAction::Elements()) {
        m_action->addItem(VersQString(Remplacer(i18n::Tr(e.cle), "&", "")), e.code);
    }
    m_action->setCurrentIndex(VerificationAction::PositionDuCode(Etat().action.code));
    ActionChoisie(m_action->currentIndex());

    const ReglagesDemarrage& r = Prog().reglages;
    // Shown within the range the request holds: a longer number would be cut by the box.
    m_delai->setText(QString::number(std::clamp(r.delaiAvantRedemarrage, 0LL, kDelaiMax)));
    m_message->setPlainText(VersQString(r.messageParDefaut));
    m_forcer->setChecked(r.forcerParDefaut);
    Etat().annulation = true;
    AppliquerToujoursAuDessus(this);

    connect(m_action, &QComboBox::activated, this,
            [this](int position) { ActionChoisie(position); });
}

void frmConfigAction::Construire() {
    auto* lblAction = new QLabel(QStringLiteral("Action"), this);
    lblAction->setObjectName(QStringLiteral("lblAction"));
    m_action = new QComboBox(this);
    m_action->setObjectName(QStringLiteral("cboAction"));
    m_lblDelai = new QLabel(QStringLiteral("Délai avant redémarrage/extinction"), this);
    m_lblDelai->setObjectName(QStringLiteral("lblDélaiAvantRedémarrageOuExtinction"));
    m_delai = new QLineEdit(this);
    m_delai->setObjectName(QStringLiteral("txtDélai"));
    m_delai->setMaxLength(5);
    m_delai->setAlignment(Qt::AlignRight);
    m_delai->setFixedWidth(m_delai->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    SelectionnerToutALEntree(m_delai);
    auto* unite = new QLabel(QStringLiteral("s."), this);
    unite->setObjectName(QStringLiteral("lblDélaiAvantRedémarrageOuExtinction2"));
    m_lblMessage =
        new QLabel(QStringLiteral("Message à afficher à l'utilisateur connecté :"), this);
    m_lblMessage->setObjectName(QStringLiteral("lblMessage"));
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("txtMessage"));
    m_message->setTabChangesFocus(true);
    m_message->setFixedHeight(m_message->fontMetrics().lineSpacing() * 5 + 10);
    SelectionnerToutALEntree(m_message);
    m_forcer = new QCheckBox(QStringLiteral("&Forcer la fermeture des applications"), this);
    m_forcer->setObjectName(QStringLiteral("chkForcer"));

    // Each label takes the width of its caption; its control starts 120 twips after it.
    auto* ligneAction = new QHBoxLayout;
    ligneAction->setSpacing(Pixels(120));
    ligneAction->addWidget(lblAction);
    ligneAction->addWidget(m_action, 1);
    auto* ligneDelai = new QHBoxLayout;
    ligneDelai->setSpacing(Pixels(120));
    ligneDelai->addWidget(m_lblDelai);
    ligneDelai->addWidget(m_delai);
    ligneDelai->addWidget(unite);
    ligneDelai->addStretch();
    auto* grille = new QVBoxLayout;
    grille->addLayout(ligneAction);
    grille->addLayout(ligneDelai);
    grille->addWidget(m_lblMessage);
    grille->addWidget(m_message);
    grille->addWidget(m_forcer);

    QPushButton* ok = nullptr;
    QPushButton* annuler = nullptr;
    auto* barre = BarreOKAnnuler(this, ok, annuler);
    auto* principal = new QVBoxLayout(this);
    principal->addLayout(grille);
    principal->addLayout(barre);
    setMinimumWidth(Pixels(6000));

    connect(ok, &QPushButton::clicked, this, [this] { Valider(); });
    connect(annuler, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_delai, &QLineEdit::textChanged, this, [this](const QString& texte) {
        const QString nombre =
            texte.isEmpty()
                ? QStringLiteral("0")
                : VersQString(VerificationMachine::TexteNumerique(DepuisQString(texte)));
        if (nombre != texte) m_delai->setText(nombre);
    });
}

void frmConfigAction::ActionChoisie(int position) {
    if (position >= 2 && !m_estNT) {
        MsgBox(this, i18n::Tr("MSG_FONTIONNALITE_RESERVEE_NT"), 48, "");
        m_action->setCurrentIndex(-1);
        position = -1;
    }
    const bool actifs = VerificationAction::ChampsDelaiActifs(position);
    for (QWidget* w : {static_cast<QWidget*>(m_lblDelai), static_cast<QWidget*>(m_lblMessage)})
        w->setEnabled(actifs);
    ActiverAvecCouleur(m_delai, actifs);
    ActiverAvecCouleur(m_message, actifs);
    m_forcer->setEnabled(actifs);
}

bool frmConfigAction::Valider() {
    const int position = m_action->currentIndex();
    const auto refus = VerificationAction::Verifier(position, m_delai->isEnabled(),
                                                    DepuisQString(m_delai->text()));
    if (refus) {
        MsgBox(this, i18n::Tr(refus->cleMessage), 48, "");
        if (refus->champ == RefusAction::Champ::Action) {
            m_action->setFocus(Qt::OtherFocusReason);
        } else {
            m_delai->setFocus(Qt::OtherFocusReason);
            m_delai->selectAll();
        }
        return false;
    }
    RequeteAction& requete = Etat().action;
    requete.code = m_action->itemData(position).toInt();
    // A disabled delay box may hold anything: the WMI actions do not use the delay.
    requete.delai = m_delai->isEnabled() ? static_cast<int16_t>(m_delai->text().toInt()) : 0;
    requete.message = DepuisQString(m_message->toPlainText());
    requete.forcer = m_forcer->isChecked();
    Etat().annulation = false;
    accept();
    return true;
}

bool frmConfigAction::Editer() {
    Etat().annulation = true;
    exec();
    return !Etat().annulation;
}

void frmConfigAction::showEvent(QShowEvent* evenement) {
    QDialog::showEvent(evenement);
    QTimer::singleShot(0, this, [this] { FocusSilencieux(m_action); });
}

}  // namespace velmora::gui
