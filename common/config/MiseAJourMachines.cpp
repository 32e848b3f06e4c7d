#include "common/config/MiseAJourMachines.h"

#include <algorithm>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/text/Commun.h"

namespace velmora {

namespace {

// Fields joined by "|" as they are: unlike Joindre, a leading empty field keeps its place.
std::string JoindreChamps(const std::vector<std::string>& champs) {
    std::string ligne;
    for (size_t i = 0; i < champs.size(); ++i) {
        if (i > 0) ligne += '|';
        ligne += champs[i];
    }
    return ligne;
}

bool MemeMachine(const Machine& a, const Machine& b) {
    return a.nom == b.nom && a.adresse == b.adresse;
}

// The key of the line that holds the machine now, or "" when it is no longer in its folder.
std::string CleActuelle(const IniDocument& doc, const NouvelleMAC& c) {
    const long long nombre = LireEntier(doc.Get(c.dossier, cle::NbMachines).value_or("0"), 0);
    if (nombre <= 0) return {};
    const Machine lue = LireLigneMachine(c.ligneLue);
    if (static_cast<long long>(c.numero) <= nombre) {
        auto ligne = doc.Get(c.dossier, CleMachine(c.numero));
        if (ligne && !ligne->empty() && MemeMachine(LireLigneMachine(*ligne), lue))
            return CleMachine(c.numero);
    }
    // The folder was saved again meanwhile and the machine moved to another number.
    for (long long k = 1; k <= nombre; ++k) {
        auto ligne = doc.Get(c.dossier, CleMachine(static_cast<size_t>(k)));
        if (!ligne) {
            if (k > 100000) break;  // a damaged count cannot make the search crawl
            continue;
        }
        if (!ligne->empty() && MemeMachine(LireLigneMachine(*ligne), lue))
            return CleMachine(static_cast<size_t>(k));
    }
    return {};
}

// Field by field: the value changed here (`ici` differs from `base`), else the file's.
Machine Fusionner(const Machine& base, const Machine& ici, const Machine& fichier) {
    Machine m = fichier;
    auto champ = [](std::string Machine::*c, const Machine& b, const Machine& i, Machine& r) {
        if (i.*c != b.*c) r.*c = i.*c;
    };
    for (auto c :
         {&Machine::nom, &Machine::adresse, &Machine::masque, &Machine::port, &Machine::adresseMAC,
          &Machine::login, &Machine::motDePasse, &Machine::commentaire})
        champ(c, base, ici, m);
    return m;
}

}  // namespace

std::string LigneAvecNouvelleMAC(const std::string& ligne, const std::string& mac) {
    std::vector<std::string> champs = ExtraireChamp(ligne, "|");
    if (champs.size() <= 4) {
        // Older layout (name, comment, address, MAC): written in the six-field layout.
        Machine m = LireLigneMachine(ligne);
        return JoindreChamps({m.nom, m.adresse, "", "", mac, m.commentaire});
    }
    champs[4] = mac;  // every other field keeps its stored text
    return JoindreChamps(champs);
}

bool EcrireNouvellesMAC(const std::string& fichier, const std::vector<NouvelleMAC>& changements,
                        std::vector<bool>* ecrites, std::string* erreur) {
    std::vector<bool> resultat(changements.size(), false);
    const bool ok = ModifierIni(
        fichier,
        [&](IniDocument& doc) {
            for (size_t i = 0; i < changements.size(); ++i) {
                const NouvelleMAC& c = changements[i];
                const std::string cle = CleActuelle(doc, c);
                if (cle.empty()) continue;
                doc.Set(c.dossier, cle, LigneAvecNouvelleMAC(*doc.Get(c.dossier, cle), c.mac));
                resultat[i] = true;
            }
        },
        erreur);
    if (!ok) resultat.assign(changements.size(), false);
    if (ecrites) *ecrites = std::move(resultat);
    return ok;
}

bool SauvegarderDossierFusion(const std::string& fichier, std::string_view dossier,
                              const std::vector<LigneSauvee>& lignes,
                              const std::vector<std::string>& chargees,
                              std::vector<Machine>* ecrites, std::string* erreur) {
    if (EstNomDossierReserve(dossier)) return SauvegarderDossier(fichier, dossier, {}, erreur);
    std::vector<Machine> resultat;
    const bool ok = ModifierIni(
        fichier,
        [&](IniDocument& doc) {
            resultat.clear();
            // The folder's lines as they are now; each may serve one row only.
            const long long nombre =
                std::min<long long>(LireEntier(doc.Get(dossier, cle::NbMachines).value_or("0"), 0),
                                    static_cast<long long>(doc.Keys(dossier).size()));
            std::vector<std::optional<std::string>> actuelles;
            for (long long k = 1; k <= nombre; ++k)
                actuelles.push_back(doc.Get(dossier, CleMachine(static_cast<size_t>(k))));
            std::vector<bool> prise(actuelles.size(), false);
            auto prendre = [&](const auto& correspond) -> std::optional<std::string> {
                for (size_t i = 0; i < actuelles.size(); ++i) {
                    if (prise[i] || !actuelles[i] || !correspond(*actuelles[i])) continue;
                    prise[i] = true;
                    return actuelles[i];
                }
                return std::nullopt;
            };
            for (const LigneSauvee& l : lignes) {
                if (!l.ligneChargee) {
                    resultat.push_back(l.machine);  // added here
                    continue;
                }
                const Machine base = LireLigneMachine(*l.ligneChargee);
                auto ligne = prendre([&](const std::string& a) { return a == *l.ligneChargee; });
                if (!ligne)
                    ligne = prendre([&](const std::string& a) {
                        return MemeMachine(LireLigneMachine(a), base);
                    });
                if (LigneMachine(l.machine) == *l.ligneChargee) {
                    // Not changed here: the file's line, or nothing when it was deleted.
                    if (ligne) resultat.push_back(LireLigneMachine(*ligne));
                } else {
                    // Changed here: the fields changed here, the others as the file has them.
                    resultat.push_back(ligne ? Fusionner(base, l.machine, LireLigneMachine(*ligne))
                                             : l.machine);
                }
            }
            // The lines loaded here whose rows were deleted here.
            std::vector<std::string> supprimees = chargees;
            for (const LigneSauvee& l : lignes) {
                if (!l.ligneChargee) continue;
                auto it = std::find(supprimees.begin(), supprimees.end(), *l.ligneChargee);
                if (it != supprimees.end()) supprimees.erase(it);
            }
            // Any other line of the file was added meanwhile by another program: it is kept.
            for (size_t i = 0; i < actuelles.size(); ++i) {
                if (prise[i] || !actuelles[i] || actuelles[i]->empty()) continue;
                auto it = std::find(supprimees.begin(), supprimees.end(), *actuelles[i]);
                if (it == supprimees.end()) {
                    const Machine m = LireLigneMachine(*actuelles[i]);
                    it = std::find_if(
                        supprimees.begin(), supprimees.end(),
                        [&](const std::string& s) { return MemeMachine(LireLigneMachine(s), m); });
                }
                if (it != supprimees.end())
                    supprimees.erase(it);  // deleted here: stays deleted
                else
                    resultat.push_back(LireLigneMachine(*actuelles[i]));
            }
            RemplacerDossier(doc, dossier, resultat);
        },
        erreur);
    if (ok && ecrites) *ecrites = std::move(resultat);
    return ok;
}

EcritureGroupeeMAC::EcritureGroupeeMAC(std::string fichier, std::chrono::milliseconds intervalle)
    : m_fichier(std::move(fichier)), m_intervalle(intervalle), m_fil([this] { Boucle(); }) {}

EcritureGroupeeMAC::~EcritureGroupeeMAC() {
    {
        std::lock_guard verrou(m_mutex);
        m_fin = true;
    }
    m_signal.notify_all();
    m_fil.join();
    Vider();
}

size_t EcritureGroupeeMAC::Ajouter(NouvelleMAC changement) {
    size_t numero = 0;
    {
        std::lock_guard verrou(m_mutex);
        if (m_enAttente.empty()) m_premier = std::chrono::steady_clock::now();
        m_enAttente.push_back(std::move(changement));
        numero = m_etats.size();
        m_etats.push_back(m_erreur ? Etat::Echec : Etat::EnAttente);
        if (m_erreur) m_enAttente.pop_back();  // nothing more is written after a failure
    }
    m_signal.notify_all();
    return numero;
}

EcritureGroupeeMAC::Etat EcritureGroupeeMAC::EtatLigne(size_t numero) const {
    std::lock_guard verrou(m_mutex);
    return numero < m_etats.size() ? m_etats[numero] : Etat::Echec;
}

std::optional<std::string> EcritureGroupeeMAC::Erreur() const {
    std::lock_guard verrou(m_mutex);
    return m_erreur;
}

size_t EcritureGroupeeMAC::Reecritures() const {
    std::lock_guard verrou(m_mutex);
    return m_reecritures;
}

// Writes the waiting lines; called with m_mutex held, released during the write. One write at
// a time, so the lines reach the file in the order they were found.
void EcritureGroupeeMAC::Ecrire(std::unique_lock<std::mutex>& verrou) {
    m_signal.wait(verrou, [this] { return !m_ecritureEnCours; });
    if (m_erreur) {  // after a failed write, the lines still waiting fail too
        for (size_t i = m_etats.size() - m_enAttente.size(); i < m_etats.size(); ++i)
            m_etats[i] = Etat::Echec;
        m_enAttente.clear();
    }
    if (m_enAttente.empty()) return;
    std::vector<NouvelleMAC> lot;
    lot.swap(m_enAttente);
    // The waiting lines are the last ones added, in order.
    const size_t premier = m_etats.size() - lot.size();
    m_ecritureEnCours = true;
    verrou.unlock();
    std::string erreur;
    std::vector<bool> ecrites;
    const bool ok = EcrireNouvellesMAC(m_fichier, lot, &ecrites, &erreur);
    verrou.lock();
    m_ecritureEnCours = false;
    ++m_reecritures;
    for (size_t i = 0; i < lot.size(); ++i)
        m_etats[premier + i] = !ok ? Etat::Echec : ecrites[i] ? Etat::Ecrite : Etat::Disparue;
    if (!ok && !m_erreur) m_erreur = erreur;
    m_signal.notify_all();
}

void EcritureGroupeeMAC::Boucle() {
    std::unique_lock verrou(m_mutex);
    while (!m_fin) {
        m_signal.wait(verrou, [this] { return m_fin || (!m_enAttente.empty() && !m_erreur); });
        if (m_fin) break;
        // Wait until the first waiting line is `intervalle` old, gathering those that follow.
        if (m_signal.wait_until(verrou, m_premier + m_intervalle, [this] { return m_fin; })) break;
        Ecrire(verrou);
    }
}

bool EcritureGroupeeMAC::Vider(std::string* erreur) {
    std::unique_lock verrou(m_mutex);
    Ecrire(verrou);
    if (m_erreur && erreur) *erreur = *m_erreur;
    return !m_erreur;
}

}  // namespace velmora
