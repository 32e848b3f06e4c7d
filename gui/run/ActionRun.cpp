#include "gui/run/ActionRun.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>

#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/ReveilInternet.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
constexpr const char* kTitreApplication = "Velmora";
constexpr const char* kResultat = "   -> ";
// The stop request as the worker thread's tool runs see it (copied from the window's flag).
std::atomic<bool> g_arret{false};

// The text of a key, or `defaut` when the table has none (a key without built-in text).
std::string TrOuDefaut(const char* cle, const char* defaut) {
    std::string texte = Tr(cle);
    return texte.empty() ? defaut : texte;
}
}  // namespace

struct ExecutionAction::Ligne {
    std::string nom, adresse, masque, port, adresseMAC, login, motDePasse;
};

void TraiterEvenementsPendant(const std::function<bool()>& fini) {
    while (!fini()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        g_arret = Etat().annulation;
    }
}

std::string VerbeAction(int code) {
    switch (code) {
        case ActionRedemarrer:
        case ActionRedemarrerWMI:
            return Tr("TXT_DE_REDEMARRER");
        case ActionEteindre:
        case ActionPowerOffWMI:
        case ActionEteindreWMI:
            return Tr("TXT_D_ETEINDRE");
        case ActionVerrouiller:
            return Tr("TXT_DE_VERROUILLER_LA_SESSION");
        case ActionFermerSession:
            return Tr("TXT_DE_FERMER_LA_SESSION");
        case ActionVeilleProlongee:
            return Tr("TXT_DE_METTRE_EN_VEILLE_PROLONGEE");
        default:
            return "";
    }
}

ExecutionAction::ExecutionAction(CibleAction& cible, net::OperationsReseau& operations)
    : m_cible(cible), m_operations(operations) {}

int ExecutionAction::ConfirmerAction() {
    const ReglagesFenetre& reglages = Etat().reglages;
    if (!reglages.confirmation) return 1;
    const int nombre = m_cible.NombreSelectionnees();
    if (nombre <= 1 && reglages.confirmationSiPlusieurs) return 1;
    const std::string texte =
        Tr("MSG_AGIR", {VerbeAction(Etat().action.code), std::to_string(nombre)});
    // OK/Cancel (1), question icon (32), Cancel as default button (256).
    return MsgBox(m_cible.Fenetre(), texte, 1 + 32 + 256, kTitreApplication);
}

void ExecutionAction::Journaliser(const std::string& ligne) {
    if (m_journal) m_journal->Ajouter(ligne);
}

bool ExecutionAction::Attendre(long long pauseMs) {
    // The pause polls in short slices whatever its length: the window and its stop button stay
    // live between them.
    return m_operations.Attendre(pauseMs, [] {
        QCoreApplication::processEvents();
        return Etat().annulation;
    });
}

BilanAction ExecutionAction::Executer() {
    BilanAction bilan;
    m_code = Etat().action.code;
    if (m_code != ActionReveiller && m_code != ActionReveillerViaInternet &&
        m_code != ActionAnnuler && ConfirmerAction() != 1)
        return bilan;
    bilan.execute = true;
    m_adressePriveeVue = false;
    m_cible.DebutTraitement();

    const ReglagesFenetre& reglages = Etat().reglages;
    const int selection = m_cible.NombreSelectionnees();
    if (!reglages.fenetreTraitementMultiselection || selection >= 2) {
        m_journal = m_cible.CreerJournal();
        m_journal->Afficher();
        bilan.journal = true;
    }
    long long pause = 0;
    if (m_code == ActionReveiller) pause = Prog().reglages.delaiEntreDeuxReveilsWOL;
    if (m_code == ActionReveillerViaInternet) pause = Prog().reglages.delaiEntreDeuxReveilsWOW;
    Etat().annulation = false;
    g_arret = false;
    m_operations.DefinirArret([] { return g_arret.load(); });  // stop cuts a remote call

    bool premiere = true;
    for (int ligne = 0; ligne < m_cible.NombreLignes(); ++ligne) {
        if (m_cible.EstSelectionnee(ligne)) {
            if (!premiere && pause >= 1) {
                Journaliser(Tr("TXT_ATTENTE", {std::to_string(pause)}));
                if (!Attendre(pause)) break;
            }
            bool quitter = false;
            TraiterMachine(ligne, bilan, quitter);
            premiere = false;
            if (quitter) break;
        }
        QCoreApplication::processEvents();
        if (Etat().annulation) break;
    }

    m_operations.DefinirArret({});
    const bool reveil = m_code == ActionReveiller || m_code == ActionReveillerViaInternet;
    if (reveil) {
        QThread::msleep(150);
        m_cible.DemarrerEffacementInfo();
    }
    m_cible.Sablier(false);
    bilan.arrete = Etat().annulation;
    if (m_journal) {
        if (bilan.arrete)
            bilan.titre = Tr("TXT_TRAITEMENT_ARRETE");
        else if (bilan.arreteSuiteErreur)
            bilan.titre = Tr("TXT_TRAITEMENT_ARRETE_SUITE_ERREUR");
        else if (bilan.erreur)
            bilan.titre = Tr("TXT_TRAITEMENT_TERMINE_AVEC_ERREUR");
        else
            bilan.titre = Tr("TXT_TRAITEMENT_TERMINE");
        Journaliser("");
        if (m_code == ActionReveillerViaInternet && m_adressePriveeVue) {
            const std::string avertissement = Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_IP_PRIVEE");
            for (const std::string& texte :
                 ExtraireChamp(Remplacer(avertissement, "\r\n", "\n"), "\n"))
                Journaliser(texte);
            Journaliser("");
        }
        Journaliser(bilan.titre + ".");
        Journaliser("");
        const bool fermer = reglages.fenetreTraitementFermer && !bilan.arrete && !bilan.erreur;
        m_journal->Terminer(bilan.titre, fermer);
        m_journal.reset();
    }
    const bool actualiser =
        ((m_code == ActionRedemarrer || m_code == ActionEteindre) && Etat().action.delai >= 1) ||
        m_code == ActionAnnuler;
    m_cible.FinTraitement(false, actualiser);
    return bilan;
}

void ExecutionAction::TraiterMachine(int ligne, BilanAction& bilan, bool& quitter) {
    const Machine machine = m_cible.LireMachine(ligne);
    Ligne valeurs;
    valeurs.nom = machine.nom;
    valeurs.adresse = NormaliserAdresseIP(machine.adresse);
    valeurs.masque = machine.masque.empty() ? Prog().reglages.masqueParDefaut : machine.masque;
    valeurs.port = machine.port;
    valeurs.adresseMAC = machine.adresseMAC;
    valeurs.login = machine.login;
    valeurs.motDePasse = DecoderMotDePasse(machine.motDePasse);

    if (m_journal) {
        const char* cle =
            m_code == ActionReveillerViaInternet ? "TXT_DEMANDE_VIA_INTERNET" : "TXT_DEMANDE";
        Journaliser(Tr(cle, {valeurs.adresse}) + " : " + valeurs.nom);
    }
    if (m_code == ActionReveiller) return Reveiller(ligne, valeurs);
    if (m_code == ActionReveillerViaInternet) return ReveillerViaInternet(ligne, valeurs);

    std::string erreur;
    const int issue = AgirADistance(ligne, valeurs, erreur);
    if (issue == 0) {
        Journaliser(std::string(kResultat) + Tr("TXT_TRAITEMENT_OK"));
        return;
    }
    if (m_journal) {
        Journaliser(kResultat + (issue == 1 ? Tr("TXT_NE_REPOND_PAS")
                                            : Tr("TXT_DEMANDE_REJETEE") + " : " + erreur));
        bilan.erreur = true;
        if (!Etat().reglages.nePasStopper) {
            bilan.arreteSuiteErreur = true;
            quitter = true;
        }
        return;
    }
    m_cible.Sablier(false);
    const std::string raison =
        issue == 1 ? Tr("TXT_NE_REPOND_PAS") : Tr("TXT_DEMANDE_REJETEE") + " " + erreur;
    MsgBox(m_cible.Fenetre(), Tr("MSG_ERREUR_ACTION", {valeurs.nom, MajusculeInitiale(raison)}), 16,
           kTitreApplication);
    bilan.erreur = true;
    quitter = true;
}

void ExecutionAction::Reveiller(int ligne, const Ligne& valeurs) {
    const long long port =
        valeurs.port.empty() ? Prog().reglages.portParDefautWOL : Val(valeurs.port);
    std::string adresseEnvoi, erreur;
    // A port that is not plain decimal 0-65535 is refused as typed, never sent as another.
    const bool portValide = valeurs.port.empty() || EstPort(valeurs.port);
    if (!portValide) erreur = i18n::TexteReseau("ERR_PORT_INVALIDE", {valeurs.port});
    const bool ok =
        portValide && SansBloquer([&] {
            return m_operations.EnvoyerPaquetMagique(valeurs.adresse, valeurs.masque, port,
                                                     valeurs.adresseMAC, adresseEnvoi, erreur);
        });
    if (ok) {
        const std::string texte = Tr("TXT_PAQUET_ENVOYE", {adresseEnvoi, std::to_string(port)});
        m_cible.AfficherInfo(texte);
        Journaliser(kResultat + texte);
        if (Etat().reglages.mettreEnRougeReveil) m_cible.DefinirIcone(ligne, "Rouge");
    } else {
        SignalerEchec(valeurs, erreur);
    }
}

void ExecutionAction::SignalerEchec(const Ligne& valeurs, const std::string& erreur) {
    if (m_journal) {
        Journaliser(kResultat + Tr("MSG_ERREUR_ACTION_COURT", {erreur}));
        return;
    }
    m_cible.Sablier(false);
    MsgBox(m_cible.Fenetre(), Tr("MSG_ERREUR_ACTION", {valeurs.nom, erreur}), 16,
           kTitreApplication);
    m_cible.Sablier(true);
}

void ExecutionAction::ReveillerViaInternet(int ligne, const Ligne& valeurs) {
    if (!valeurs.port.empty() && !EstPort(valeurs.port)) {
        // A port that is not plain decimal 0-65535 is refused as typed, never sent as another.
        SignalerEchec(valeurs, i18n::TexteReseau("ERR_PORT_INVALIDE", {valeurs.port}));
        return;
    }
    const long long port =
        valeurs.port.empty() ? Prog().reglages.portParDefautWOW : Val(valeurs.port);
    if (EstAdressePrivee(valeurs.adresse)) {
        m_adressePriveeVue = true;
        if (!Prog().reglages.wowSansConfirmation) {
            m_cible.Sablier(false);
            // A real question: OK/Cancel (1), exclamation (48), Cancel as default (256); the
            // close box counts as Cancel.
            const int reponse =
                MsgBoxEx(m_cible.Fenetre(),
                         Tr("MSG_REVEIL_VIA_INTERNET_IP_PRIVEE_CONFIRMATION", {valeurs.adresse}),
                         48 + 1 + 256, kTitreApplication, true);
            m_cible.Sablier(true);
            if (reponse < 0) {
                // The do-not-ask-again box is honoured at once, whatever the button pressed.
                Prog().reglages.wowSansConfirmation = true;
                std::string erreur;
                if (!EcrireIni(Prog().fichierConfig, cle::Config, cle::WOWSansConfirmation, "-1",
                               &erreur)) {
                    m_cible.Sablier(false);
                    MsgBox(m_cible.Fenetre(), Tr("MSG_ERREUR", {"0", erreur}), 16,
                           kTitreApplication);
                    m_cible.Sablier(true);
                }
            }
            if (std::abs(reponse) != 1) {
                Journaliser(kResultat +
                            TrOuDefaut("TXT_DEMANDE_REVEIL_VIA_INTERNET_ABANDONNE",
                                       "demande abandonnée (adresse privée non confirmée)"));
                return;
            }
        }
    }
    std::string reponse;
    const bool ok = SansBloquer([&] {
        return m_operations.ReveillerParInternet(valeurs.adresse, port, valeurs.adresseMAC,
                                                 reponse);
    });
    if (ok) {
        Journaliser(kResultat + reponse);
        if (Etat().reglages.mettreEnRougeReveil) m_cible.DefinirIcone(ligne, "Rouge");
    } else if (m_journal) {
        // The service's own answer says what to fix (a wrong key, what to configure).
        const std::string resume = net::ResumeReponse(reponse);
        Journaliser(kResultat + Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_COURT") +
                    (resume.empty() ? "" : " : " + resume));
    } else {
        const std::string resume = net::ResumeReponse(reponse);
        m_cible.Sablier(false);
        // The advice about Internet access, firewall and proxy fits only when nothing answered;
        // an answer (a refusal, an error page) is shown as the service gave it.
        MsgBox(m_cible.Fenetre(),
               resume.empty() ? Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_LONG")
                              : Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_REFUS") + "\n\n" + resume,
               16, kTitreApplication);
        m_cible.Sablier(true);
    }
}

int ExecutionAction::AgirADistance(int ligne, const Ligne& valeurs, std::string& erreur) {
    if (!SansBloquer([&] {
            std::string adresseReponse;
            return m_operations.Pinger(valeurs.adresse, adresseReponse);
        }))
        return 1;
    const RequeteAction requete = Etat().action;
    bool ok = false;
    if (m_code == ActionRedemarrer || m_code == ActionEteindre) {
        ok = SansBloquer([&] {
            return m_operations.ArreterADistance(valeurs.adresse, requete.delai, requete.message,
                                                 requete.forcer, m_code == ActionRedemarrer,
                                                 valeurs.login, valeurs.motDePasse, erreur);
        });
        if (ok) m_cible.DebutAttente(ligne, requete.delai);
    } else if (m_code == ActionAnnuler) {
        ok = SansBloquer([&] {
            return m_operations.AnnulerArret(valeurs.adresse, valeurs.login, valeurs.motDePasse,
                                             erreur);
        });
        if (ok) m_cible.FinAttente(ligne);
    } else {
        ok = SansBloquer([&] {
            return m_operations.ActionWMI(valeurs.adresse, m_code, valeurs.login,
                                          valeurs.motDePasse, erreur);
        });
    }
    return ok ? 0 : 2;
}

}  // namespace velmora::gui
