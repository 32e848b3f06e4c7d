#include "gui/dialogs/frmAstuceDuJour.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

int Astuces::Suivante(long long derniere) {
    return derniere >= 0 && derniere < kNombre ? static_cast<int>(derniere) + 1 : 1;
}

std::string Astuces::Texte(int numero) {
    const std::string entete =
        i18n::Tr("TXT_ASTUCE_NUMERO", {std::to_string(numero), std::to_string(kNombre)});
    std::string texte = i18n::Tr("TXT_ASTUCE" + std::to_string(numero));
    return entete + "\n\n" + Remplacer(texte, "\r\n", "\n");
}

bool EcrireReglageImmediat(QWidget* parent, const char* cle, const std::string& valeur) {
    if (!Prog().configInutilisable.empty()) return true;  // read-only: told at start
    std::string erreur;
    if (EcrireIni(Prog().fichierConfig, cle::Config, cle, valeur, &erreur)) return true;
    MsgBox(parent, i18n::Tr("MSG_ERREUR", {"0", erreur}), 16, "");
    return false;
}

frmAstuceDuJour::frmAstuceDuJour(QWidget* parent, ReglagesFenetre& reglages)
    : QDialog(parent), m_reglages(reglages) {
    setObjectName(QStringLiteral("frmAstuceDuJour"));
    setWindowTitle(QStringLiteral("Astuce du jour"));
    auto* savezVous = new QLabel(QStringLiteral("Savez-vous..."), this);
    savezVous->setObjectName(QStringLiteral("lblSavezVous"));
    QFont grand = savezVous->font();
    grand.setBold(true);
    grand.setPointSizeF(grand.pointSizeF() * 1.4);
    savezVous->setFont(grand);
    m_texte = new QPlainTextEdit(this);
    m_texte->setObjectName(QStringLiteral("txtTexteAstuce"));
    m_texte->setReadOnly(true);
    m_texte->setMinimumSize(420, 160);
    m_afficher = new QCheckBox(QStringLiteral("&Afficher les astuces au démarrage"), this);
    m_afficher->setObjectName(QStringLiteral("chkAstucesAfficherAuDémarrage"));
    auto* suivante = new QPushButton(QStringLiteral("&Suivante >"), this);
    suivante->setObjectName(QStringLiteral("btnAstuceSuivante"));
    suivante->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);

    auto* barre = new QHBoxLayout;
    barre->addWidget(m_afficher);
    barre->addStretch();
    barre->addWidget(suivante);
    barre->addWidget(ok);
    auto* principal = new QVBoxLayout(this);
    principal->addWidget(savezVous);
    principal->addWidget(m_texte, 1);
    principal->addLayout(barre);

    TraduireFeuille(this);
    m_afficher->setChecked(m_reglages.astucesAfficher);
    m_numero = static_cast<int>(m_reglages.astucesDerniere);
    AstuceSuivante();
    AppliquerToujoursAuDessus(this);

    connect(suivante, &QPushButton::clicked, this, [this] { AstuceSuivante(); });
    connect(ok, &QPushButton::clicked, this, [this] { Valider(); });
}

void frmAstuceDuJour::AstuceSuivante() {
    m_numero = Astuces::Suivante(m_numero);
    m_texte->setPlainText(VersQString(Astuces::Texte(m_numero)));
}

void frmAstuceDuJour::Valider() {
    const bool afficher = m_afficher->isChecked();
    if (afficher != m_reglages.astucesAfficher) {
        m_reglages.astucesAfficher = afficher;
        EcrireReglageImmediat(this, cle::AstucesAfficher, TexteBooleen(afficher));
    }
    accept();
}

void frmAstuceDuJour::EnregistrerNumero() {
    if (m_numeroEnregistre) return;
    m_numeroEnregistre = true;
    m_reglages.astucesDerniere = m_numero;
    EcrireReglageImmediat(this, cle::AstucesDerniere, std::to_string(m_numero));
}

void frmAstuceDuJour::done(int resultat) {
    EnregistrerNumero();
    QDialog::done(resultat);
}

void frmAstuceDuJour::closeEvent(QCloseEvent* evenement) {
    EnregistrerNumero();
    QDialog::closeEvent(evenement);
}

}  // namespace velmora::gui
