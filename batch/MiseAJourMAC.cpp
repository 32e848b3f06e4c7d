// The MAC address update of the console program (/u).
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <deque>
#include <thread>

#include "batch/Execution.h"
#include "batch/ListeTravail.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/config/MiseAJourMachines.h"
#include "common/text/Commun.h"

namespace velmora::batch {

namespace {

// While the update runs, SIGTERM and SIGINT first write the lines found so far, then end the
// process as the signal would have: a stopped run loses nothing it reported. The signals are
// blocked in the threads of the run and received by a watcher thread of this object.
class ArretPropre {
  public:
    ArretPropre() {
        sigemptyset(&m_signaux);
        sigaddset(&m_signaux, SIGTERM);
        sigaddset(&m_signaux, SIGINT);
        ::pthread_sigmask(SIG_BLOCK, &m_signaux, &m_ancien);
        m_signal = ::signalfd(-1, &m_signaux, SFD_CLOEXEC);
        m_arret = ::eventfd(0, EFD_CLOEXEC);
    }
    // Starts watching; `ecriture` must outlive this object's watch (until its destruction).
    void Surveiller(EcritureGroupeeMAC& ecriture) {
        if (m_signal < 0 || m_arret < 0) return;
        m_fil = std::thread([this, &ecriture] {
            pollfd fds[2] = {{m_signal, POLLIN, 0}, {m_arret, POLLIN, 0}};
            while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
            }
            if (!(fds[0].revents & POLLIN)) return;
            signalfd_siginfo info{};
            if (::read(m_signal, &info, sizeof info) != sizeof info) return;
            ecriture.Vider();
            const int numero = static_cast<int>(info.ssi_signo);
            ::signal(numero, SIG_DFL);
            sigset_t seul;
            sigemptyset(&seul);
            sigaddset(&seul, numero);
            ::pthread_sigmask(SIG_UNBLOCK, &seul, nullptr);
            ::raise(numero);
        });
    }
    // Stops watching (before the writer goes away); a signal then waits for ~ArretPropre.
    void Arreter() {
        if (!m_fil.joinable()) return;
        const uint64_t un = 1;
        (void)!::write(m_arret, &un, sizeof un);
        m_fil.join();
    }
    ~ArretPropre() {
        Arreter();
        if (m_signal >= 0) ::close(m_signal);
        if (m_arret >= 0) ::close(m_arret);
        ::pthread_sigmask(SIG_SETMASK, &m_ancien, nullptr);
    }
    ArretPropre(const ArretPropre&) = delete;
    ArretPropre& operator=(const ArretPropre&) = delete;

  private:
    sigset_t m_signaux{};
    sigset_t m_ancien{};
    int m_signal = -1;
    int m_arret = -1;
    std::thread m_fil;
};

}  // namespace

void MettreAJourMAC(const std::string& etendue, ContexteBatch& contexte) {
    Console& console = contexte.console;
    net::OperationsReseau& ops = contexte.operations;
    std::vector<std::string> champs = ExtraireChamp(etendue, ",");
    if (champs.size() > 1) {
        console.TerminerBatch(1, Texte("MSG_ERREUR_NOMBRE_PARAMETRES_INCORRECT"), false);
    }
    const std::string dossierDemande = Rogner(champs.empty() ? "" : champs[0]);
    const IniDocument document = LireDocumentIni(contexte.fichierConfig);
    if (!dossierDemande.empty() && !DossierExiste(document, dossierDemande)) {
        console.TerminerBatch(2, Texte("MSG_ERREUR_DOSSIER_NON_TROUVE", {dossierDemande}), false);
    }
    console.EcrireConsole(Texte("TXT_ACTION") + " " + Texte("TXT_MAJ_MAC") + kFinLigne);

    // Stops the update on a write error: the lines written before stay.
    ArretPropre arret;  // before the writer, whose thread inherits the blocked signals
    EcritureGroupeeMAC ecriture(contexte.fichierConfig);
    arret.Surveiller(ecriture);
    struct FinSurveillance {
        ArretPropre& arret;
        ~FinSurveillance() { arret.Arreter(); }
    } finSurveillance{arret};
    auto arreterSiErreur = [&](const std::optional<std::string>& erreur) {
        if (!erreur) return;
        console.EcrireConsole(kFinLigne);
        console.TerminerBatch(
            1, Texte("MSG_ERREUR", {std::to_string(kErreurEcritureFichier), "\t" + *erreur}),
            false);
    };
    // A machine's line is printed once its result is known: "adresse modifiée" only when the
    // new address reached the file. Lines stay in order, so those after a line still waiting
    // for its write wait too.
    struct LigneConsole {
        std::string debut;
        std::string resultat;          // when known at once
        std::optional<size_t> numero;  // the line given to the writer
        std::string ancienne, nouvelle;
    };
    std::deque<LigneConsole> aAfficher;
    auto afficher = [&](bool tout) {
        if (tout) ecriture.Vider();
        bool echec = false;
        while (!aAfficher.empty()) {
            const LigneConsole& l = aAfficher.front();
            std::string resultat = l.resultat;
            if (l.numero) {
                switch (ecriture.EtatLigne(*l.numero)) {
                    case EcritureGroupeeMAC::Etat::EnAttente:
                        return;
                    case EcritureGroupeeMAC::Etat::Ecrite:
                        resultat = Texte("TXT_MAC_NOUVELLE", {l.ancienne, l.nouvelle});
                        break;
                    case EcritureGroupeeMAC::Etat::Disparue:
                        resultat = Texte("TXT_MAC_MACHINE_DISPARUE", {l.nouvelle});
                        break;
                    case EcritureGroupeeMAC::Etat::Echec:
                        resultat = Texte("TXT_MAC_NON_ENREGISTREE", {l.ancienne, l.nouvelle});
                        echec = true;
                        break;
                }
            }
            console.EcrireConsole(l.debut + resultat + kFinLigne);
            aAfficher.pop_front();
        }
        if (echec) arreterSiErreur(ecriture.Erreur());
    };

    const std::vector<std::string> dossiers = dossierDemande.empty()
                                                  ? DossiersMachines(document)
                                                  : std::vector<std::string>{dossierDemande};
    for (const std::string& dossier : dossiers) {
        // The machines of a folder are pinged together, in one sweep.
        const std::vector<LigneNumerotee> lignes = LignesDossier(document, dossier);
        std::vector<std::string> adresses;
        for (const LigneNumerotee& ligne : lignes)
            adresses.push_back(NormaliserAdresseIP(LireLigneMachine(ligne.texte).adresse));
        std::vector<std::string> reponses = ops.PingerTout(adresses);
        reponses.resize(lignes.size());
        for (size_t k = 0; k < lignes.size(); ++k) {
            const LigneNumerotee& ligne = lignes[k];
            const Machine m = LireLigneMachine(ligne.texte);
            const std::string& adresse = adresses[k];
            LigneConsole ligneConsole{
                dossier + "!" + m.nom + " (" + adresse + ") : ", {}, std::nullopt, {}, {}};
            std::string resultat;
            const std::string& adresseRepondante = reponses[k];
            if (adresseRepondante.empty()) {
                resultat = Texte("TXT_NE_REPOND_PAS");
            } else {
                // A host name is looked up by the address that answered for it.
                const std::string mac =
                    ops.ChercherAdresseMAC(EstAdresseIP(adresse) ? adresse : adresseRepondante);
                if (mac.empty()) {
                    resultat = Texte("TXT_MAC_IMPOSSIBLE");
                } else if (mac == m.adresseMAC) {
                    resultat = Texte("TXT_MAC_INCHANGEE");
                } else {
                    ligneConsole.numero =
                        ecriture.Ajouter({dossier, ligne.numero, ligne.texte, mac});
                    ligneConsole.ancienne = m.adresseMAC;
                    ligneConsole.nouvelle = mac;
                }
            }
            ligneConsole.resultat = resultat;
            aAfficher.push_back(std::move(ligneConsole));
            afficher(false);
        }
    }
    afficher(true);
    std::string erreur;
    if (!ecriture.Vider(&erreur)) arreterSiErreur(erreur);
    console.EcrireConsole(kFinLigne);
    console.TerminerBatch(0, Texte("MSG_SUCCES") + kFinLigne, false);
    throw FinBatch{0};  // not reached
}

}  // namespace velmora::batch
