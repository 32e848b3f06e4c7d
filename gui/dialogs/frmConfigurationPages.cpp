// The pages of settings (tabs 1 to 5) of the configuration dialog: their controls, object
// names and captions.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/dialogs/frmConfiguration.h"
#include "gui/widgets/Controles.h"

namespace velmora::gui {

namespace {
QLabel* Etiquette(QWidget* parent, const char* nom, const QString& texte, bool note = false) {
    auto* label = new QLabel(texte, parent);
    label->setObjectName(QString::fromUtf8(nom));
    label->setWordWrap(note);
    return label;
}

QLineEdit* NouvelleZone(QWidget* parent, const char* nom, int longueur = 0, int largeur = 0) {
    auto* zone = new QLineEdit(parent);
    zone->setObjectName(QString::fromUtf8(nom));
    if (longueur > 0) zone->setMaxLength(longueur);
    if (largeur > 0) zone->setFixedWidth(largeur);
    SelectionnerToutALEntree(zone);
    return zone;
}

QCheckBox* NouvelleCase(QWidget* parent, const char* nom, const QString& texte) {
    auto* c = new QCheckBox(texte, parent);
    c->setObjectName(QString::fromUtf8(nom));
    return c;
}

// label, box and optional unit on one row of a grid.
void Rangee(QGridLayout* grille, int rangee, QLabel* label, QWidget* zone,
            QLabel* unite = nullptr) {
    grille->addWidget(label, rangee, 0);
    auto* ligne = new QHBoxLayout;
    ligne->addWidget(zone);
    if (unite) ligne->addWidget(unite);
    ligne->addStretch();
    grille->addLayout(ligne, rangee, 1);
}

}  // namespace

QWidget* frmConfiguration::PageGeneral() {
    auto* page = new QWidget;
    auto* grille = new QGridLayout;
    m_langue = new QComboBox(page);
    m_langue->setObjectName(QStringLiteral("cboLangue"));
    m_langue->setMinimumWidth(160);
    auto* langue = new QHBoxLayout;
    langue->addWidget(m_langue);
    langue->addWidget(Etiquette(page, "lblRequiertRedémarrage",
                                QStringLiteral("(requiert un redémarrage du logiciel)")));
    langue->addStretch();
    grille->addWidget(Etiquette(page, "lblLangue", QStringLiteral("Langue")), 0, 0);
    grille->addLayout(langue, 0, 1);
    Rangee(grille, 1, Etiquette(page, "lblTimeoutPing", QStringLiteral("Timeout ping")),
           NouvelleZone(page, "txtTimeoutPing", 4, 60),
           Etiquette(page, "lblTimeoutPingUnité", QStringLiteral("ms.")));
    Rangee(grille, 2,
           Etiquette(page, "lblActualiserEtat",
                     QStringLiteral("Actualiser l'état des machines toutes les")),
           NouvelleZone(page, "txtActualiserEtat", 5, 60),
           Etiquette(page, "lblActualiserEtatUnité", QStringLiteral("secondes (0 = jamais)")));
    grille->setColumnStretch(1, 1);

    auto* colonne = new QVBoxLayout(page);
    colonne->addLayout(grille);
    colonne->addWidget(NouvelleCase(
        page, "chkConfirmation",
        QStringLiteral("Afficher un message de confirmation avant d'éteindre, redémarrer, "
                       "&verrouiller/fermer la session ou mettre en veille prolongée")));
    auto* retrait = new QHBoxLayout;
    retrait->addSpacing(20);
    retrait->addWidget(
        NouvelleCase(page, "chkConfirmationSiPlusieursMachinesUniquement",
                     QStringLiteral("Uniquement &si plusieurs machines sont sélectionnées")));
    colonne->addLayout(retrait);
    const std::pair<const char*, const char*> cases[] = {
        {"chkZapperFenêtreAction",
         "Ne &pas afficher la fenêtre 'agir' en cas de sélection des options "
         "redémarrer/éteindre (non WMI) du menu popup"},
        {"chkNePasStopper",
         "&Traiter toutes les machines sélectionnées (ne pas stopper en cas de non réponse au "
         "ping ou d'erreur)"},
        {"chkFenêtreTraitementFermerAutomatiquement",
         "&Fermer automatiquement la fenêtre de traitement (sauf erreur)"},
        {"chkFenêtreTraitementSeulementMultisélection",
         "N'afficher la fenêtre de traitement qu'en cas de sélection &multiple"},
        {"chkMettreEnRougeRéveil",
         "Mettre en rouge &l'icone des machines sur lesquelles une action de réveil (WOL ou WOW) "
         "est effectuée"}};
    for (const auto& [nom, texte] : cases)
        colonne->addWidget(NouvelleCase(page, nom, QString::fromUtf8(texte)));
    colonne->addStretch();
    return page;
}

QWidget* frmConfiguration::PageReveil() {
    auto* page = new QWidget;
    auto* cadre =
        new QGroupBox(QStringLiteral(" Réglages spécifiques WOL (réveil par le réseau) "), page);
    cadre->setObjectName(QStringLiteral("fraWOL"));
    auto* grille = new QGridLayout;
    Rangee(grille, 0, Etiquette(cadre, "lblPortParDéfautWOL", QStringLiteral("Port par défaut*")),
           NouvelleZone(cadre, "txtPortParDéfautWOL", 5, 60));
    Rangee(grille, 1, Etiquette(cadre, "lblMasqueParDéfaut", QStringLiteral("Masque par défaut*")),
           NouvelleZone(cadre, "txtMasqueParDéfaut", 15, 130));
    grille->addWidget(
        Etiquette(cadre, "lblMasqueParDéfautInfo",
                  QStringLiteral("Cette valeur est utilisée pour déterminer l'adresse (de "
                                 "broadcast en principe) qui sera utilisée comme destinataire du "
                                 "paquet magique."),
                  true),
        2, 1);
    Rangee(grille, 3,
           Etiquette(cadre, "lblDélaiEntreDeuxRéveilsWOL",
                     QStringLiteral("Délai entre deux réveils (en cas de sélection multiple)")),
           NouvelleZone(cadre, "txtDélaiEntreDeuxRéveilsWOL", 4, 60),
           Etiquette(cadre, "lblDélaiEntreDeuxRéveilsWOLUnité", QStringLiteral("ms.")));
    grille->setColumnStretch(1, 1);

    m_repli[0] = new QRadioButton(QStringLiteral("Adresse de &broadcast locale"), cadre);
    m_repli[0]->setObjectName(QStringLiteral("optRepliMode(0)"));
    m_repli[1] = new QRadioButton(QStringLiteral("Adresse alternati&ve"), cadre);
    m_repli[1]->setObjectName(QStringLiteral("optRepliMode(1)"));
    auto* alternative = new QHBoxLayout;
    alternative->addWidget(m_repli[1]);
    alternative->addWidget(NouvelleZone(cadre, "txtRepliAdresse", 15, 130));
    alternative->addStretch();

    auto* colonne = new QVBoxLayout(cadre);
    colonne->addLayout(grille);
    colonne->addWidget(Etiquette(
        cadre, "lblAdresseDeRepliInfo",
        QStringLiteral("Dans le cas où une machine a été désignée sous son nom NetBIOS ou DNS au "
                       "lieu de son adresse IP et que la résolution de ce nom (nécessaire pour "
                       "calculer l'adresse vers laquelle le paquet magique doit être envoyé) "
                       "n'a pas abouti, vers quelle adresse envoyer le paquet ?"),
        true));
    colonne->addWidget(m_repli[0]);
    colonne->addLayout(alternative);
    colonne->addWidget(
        Etiquette(cadre, "lblMasquePortDéfautInfo",
                  QStringLiteral("* Valeurs utilisées par défaut pour réveiller les machines pour "
                                 "lesquelles ces informations n'ont pas été renseignées "
                                 "individuellement..."),
                  true));
    auto* contenu = new QVBoxLayout(page);
    contenu->addWidget(cadre);
    contenu->addStretch();
    return page;
}

QWidget* frmConfiguration::PageRedemarrage() {
    auto* page = new QWidget;
    auto* colonne = new QVBoxLayout(page);
    colonne->addWidget(Etiquette(page, "lblRedémarrageExtinctionInfo",
                                 QStringLiteral("Ces réglages ne concernent que les "
                                                "fonctionnalités de redémarrage/extinction non "
                                                "WMI..."),
                                 true));
    auto* grille = new QGridLayout;
    Rangee(grille, 0,
           Etiquette(page, "lblDélaiAvantRedémarrageOuExtinction",
                     QStringLiteral("Délai avant redémarrage/extinction")),
           NouvelleZone(page, "txtDélaiAvantRedémarrageOuExtinction", 4, 60),
           Etiquette(page, "lblDélaiAvantRedémarrageOuExtinctionUnité", QStringLiteral("s.")));
    grille->setColumnStretch(1, 1);
    colonne->addLayout(grille);
    colonne->addWidget(Etiquette(page, "lblMessage",
                                 QStringLiteral("Message à afficher à l'utilisateur connecté :")));
    colonne->addWidget(NouvelleZone(page, "txtMessage"));
    colonne->addWidget(
        NouvelleCase(page, "chkForcer", QStringLiteral("&Forcer la fermeture des applications")));
    colonne->addStretch();
    return page;
}

QWidget* frmConfiguration::PageAuthentification() {
    auto* page = new QWidget;
    auto* colonne = new QVBoxLayout(page);
    colonne->addWidget(Etiquette(
        page, "lblAuthentificationInfo",
        QStringLiteral("Par défaut, les opérations distantes sont exécutées sous votre compte "
                       "(login/password avec lequel la session a été ouverte localement). Vous "
                       "pouvez toutefois spécifier un autre compte, reconnu sur les machines "
                       "distantes comme ayant des privilèges suffisants."),
        true));
    // Controls are created in screen order, which gives the tab order.
    m_authMode = new QComboBox(page);
    m_authMode->setObjectName(QStringLiteral("cboAuthentificationMode"));
    QLineEdit* login = NouvelleZone(page, "txtAuthentificationLogin", 0, 200);
    QLineEdit* motDePasse = NouvelleZone(page, "txtAuthentificationPassword", 0, 200);
    motDePasse->setEchoMode(QLineEdit::Password);
    auto* grille = new QGridLayout;
    Rangee(grille, 0, Etiquette(page, "lblAuthentificationMode", QStringLiteral("Mode")),
           m_authMode);
    Rangee(grille, 1, Etiquette(page, "lblAuthentificationLogin", QStringLiteral("Login")), login);
    Rangee(grille, 2, Etiquette(page, "lblAuthentificationPassword", QStringLiteral("Password")),
           motDePasse);
    grille->setColumnStretch(1, 1);
    colonne->addLayout(grille);
    colonne->addStretch();
    return page;
}

QWidget* frmConfiguration::PageReveilInternet() {
    auto* page = new QWidget;
    auto* grille = new QGridLayout;
    Rangee(grille, 0, Etiquette(page, "lblPortParDéfautWOW", QStringLiteral("Port par défaut")),
           NouvelleZone(page, "txtPortParDéfautWOW", 5, 60));
    Rangee(grille, 1,
           Etiquette(page, "lblDélaiEntreDeuxRéveilsWOW",
                     QStringLiteral("Délai entre deux réveils (en cas de sélection multiple)")),
           NouvelleZone(page, "txtDélaiEntreDeuxRéveilsWOW", 4, 60),
           Etiquette(page, "lblDélaiEntreDeuxRéveilsWOWUnité", QStringLiteral("ms.")));
    grille->setColumnStretch(1, 1);

    m_script[0] = new QRadioButton(
        QStringLiteral("&Script par défaut (n'existe pas : aucun script n'est hébergé)"), page);
    m_script[0]->setObjectName(QStringLiteral("optScriptWOW(0)"));
    m_script[1] = new QRadioButton(QStringLiteral("UR&L script"), page);
    m_script[1]->setObjectName(QStringLiteral("optScriptWOW(1)"));
    auto* url = new QHBoxLayout;
    url->addWidget(m_script[1]);
    url->addWidget(NouvelleZone(page, "txtScriptWOWUrl"), 1);

    // Controls are created in screen order, which gives the tab order: the private-address box
    // stands above the frame, and in the frame each row is read left to right.
    QCheckBox* sansConfirmation = NouvelleCase(
        page, "chkWOWTraiterIPPubliquesSansConfirmation",
        QStringLiteral("&Traiter les adresses IP privées sans faire apparaître la fenêtre "
                       "d'avertissement/confirmation"));
    auto* cadre = new QGroupBox(QStringLiteral(" Configuration de l'accès à Internet "), page);
    cadre->setObjectName(QStringLiteral("fraProxy"));
    m_proxyType = new QComboBox(cadre);
    m_proxyType->setObjectName(QStringLiteral("cboProxyType"));
    QLineEdit* adresse = NouvelleZone(cadre, "txtProxyAdresse");
    QLineEdit* port = NouvelleZone(cadre, "txtProxyPort", 5, 60);
    QLineEdit* login = NouvelleZone(cadre, "txtProxyLogin");
    QLineEdit* motDePasse = NouvelleZone(cadre, "txtProxyPassword", 0, 150);
    motDePasse->setEchoMode(QLineEdit::Password);
    auto* proxy = new QGridLayout(cadre);
    proxy->addWidget(Etiquette(cadre, "lblProxyType", QStringLiteral("Accès")), 0, 0);
    proxy->addWidget(m_proxyType, 0, 1, 1, 3);
    proxy->addWidget(Etiquette(cadre, "lblProxyAdresse", QStringLiteral("Adresse")), 1, 0);
    proxy->addWidget(adresse, 1, 1);
    proxy->addWidget(Etiquette(cadre, "lblProxyPort", QStringLiteral("Port")), 1, 2);
    proxy->addWidget(port, 1, 3);
    proxy->addWidget(Etiquette(cadre, "lblProxyLogin", QStringLiteral("Login")), 2, 0);
    proxy->addWidget(login, 2, 1);
    proxy->addWidget(Etiquette(cadre, "lblProxyPassword", QStringLiteral("Password")), 2, 2);
    proxy->addWidget(motDePasse, 2, 3);
    proxy->addWidget(
        NouvelleCase(cadre, "chkProxySiErreurTesterAussiAccèsDirect",
                     QStringLiteral("En cas d'échec de connexion à Internet, tester &aussi le "
                                    "mode \"connexion directe\"")),
        3, 0, 1, 4);
    proxy->setColumnStretch(1, 1);

    auto* colonne = new QVBoxLayout(page);
    colonne->addLayout(grille);
    colonne->addWidget(Etiquette(
        page, "lblScriptWOWInfo",
        QStringLiteral("Le réveil par Internet passe par un relais que vous hébergez vous-même "
                       "(velmora-relay, installé avec les programmes) : indiquez son adresse et "
                       "sa clé ci-dessous. Aucun script n'est hébergé sur le site de Velmora."),
        true));
    colonne->addWidget(m_script[0]);
    colonne->addLayout(url);
    colonne->addWidget(Etiquette(page, "lblScriptWOWInfoParams",
                                 QStringLiteral("Utilisez les variables %ip%, %mac% et %port% "
                                                "pour transmettre les valeurs au script."),
                                 true));
    colonne->addWidget(sansConfirmation);
    colonne->addWidget(cadre);
    colonne->addStretch();
    return page;
}

}  // namespace velmora::gui
