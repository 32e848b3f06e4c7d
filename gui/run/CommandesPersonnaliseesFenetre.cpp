// Custom commands run from the main window's popup menu, and their session timer.
#include <QTreeWidget>

#include "common/config/Programme.h"
#include "common/text/Commun.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/CommandesPersonnalisees.h"
#include "gui/widgets/Etat.h"

namespace velmora::gui {

namespace {
// The window's session list, created on first use and owned by the window.
GestionnaireSessions& Sessions(frmVelmora* fenetre) {
    static SessionsDistantes sansEffet;  // no lasting session on this platform
    auto* gestionnaire = fenetre->findChild<GestionnaireSessions*>(
        QStringLiteral("gestionnaireSessions"), Qt::FindDirectChildrenOnly);
    if (!gestionnaire) {
        gestionnaire = new GestionnaireSessions(
            sansEffet, fenetre->timDeconnecterApresCommandePersonnalisee(), fenetre);
        gestionnaire->setObjectName(QStringLiteral("gestionnaireSessions"));
    }
    return *gestionnaire;
}
}  // namespace

void frmVelmora::ExecuterCommandePersonnalisee(int numero) {
    const auto& commandes = Etat().reglages.commandes;
    if (numero < 1 || static_cast<size_t>(numero) > commandes.size()) return;
    std::vector<ValeursMachine> lignes;
    for (int i = 0; i < NombreLignes(); ++i) {
        if (!EstSelectionnee(i)) continue;
        const Machine m = LireMachine(i);
        lignes.push_back({m.adresse, m.adresseMAC, m.nom, m.commentaire, m.login,
                          DecoderMotDePasse(m.motDePasse)});
    }
    static SessionsDistantes sansEffet;
    LanceurSysteme lanceur;
    const ReglagesDemarrage& r = Prog().reglages;
    ContexteCommande contexte;
    contexte.lanceur = &lanceur;
    contexte.sessions = &sansEffet;
    contexte.gestionnaire = &Sessions(this);
    contexte.authentificationMode = r.authentificationMode;
    contexte.authentificationLogin = r.authentificationLogin;
    contexte.authentificationPassword = r.authentificationPassword;
    contexte.dossier = m_dossierCourant;
    contexte.parent = this;
    ExecuterCommande(commandes[static_cast<size_t>(numero - 1)], lignes, contexte);
}

void frmVelmora::timDeconnecterApresCommandePersonnalisee_Timer() {
    Sessions(this).Traiter(Etat().fermeture);
}

}  // namespace velmora::gui
