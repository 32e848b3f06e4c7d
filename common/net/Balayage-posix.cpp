// Balayer: names resolved on a few threads, then every address pinged through one ICMP socket
// (datagram, else raw); the ping tool on a few threads only when no socket can be had.
#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <random>

#include "common/config/Programme.h"
#include "common/net/Balayage.h"
#include "common/net/BalayageInterne.h"
#include "common/net/ErreursIcmp.h"
#include "common/net/Outil.h"
#include "common/net/SondesInterne.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

using Horloge = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Sequence numbers are 16 bits: one socket sweeps at most this many addresses at a time.
constexpr std::size_t kParSocket = 65536;
// How long a send may be refused for lack of room before the address counts as silent: long
// enough for the neighbour entries of silent hosts to fail and be collected (3 s by default).
constexpr milliseconds kRefusMax{10000};
// The longest single wait, so that a stop request is seen quickly (ms).
constexpr int kAttenteMaxMs = 50;

std::uint16_t SommeControle(const std::uint8_t* donnees, std::size_t taille) {
    std::uint32_t somme = 0;
    for (std::size_t i = 0; i + 1 < taille; i += 2) somme += (donnees[i] << 8) | donnees[i + 1];
    if (taille & 1) somme += donnees[taille - 1] << 8;
    while (somme >> 16) somme = (somme & 0xFFFF) + (somme >> 16);
    return static_cast<std::uint16_t>(~somme);
}

std::uint16_t Lire16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::string Texte(std::uint32_t adresse) {
    in_addr a{adresse};
    char tampon[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, tampon, sizeof tampon);
    return tampon;
}

long long MsEntre(Horloge::time_point debut, Horloge::time_point fin) {
    return std::chrono::duration_cast<milliseconds>(fin - debut).count();
}

// Errors of a send that say "not now": the kernel has no room for the request yet.
bool EstManqueDePlace(int erreur) {
    return erreur == ENOBUFS || erreur == EAGAIN || erreur == ENOMEM || erreur == EINTR;
}

bool Arrete(const std::atomic<bool>* arret) { return arret && arret->load(); }

// An ICMP socket of one kind, closed on destruction.
class SocketIcmp {
  public:
    explicit SocketIcmp(MethodePing methode) : m_brut(methode == MethodePing::SocketBrut) {
        m_fd = ::socket(AF_INET, (m_brut ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC | SOCK_NONBLOCK,
                        IPPROTO_ICMP);
        if (m_fd < 0) return;
        // Thousands of replies may arrive within a millisecond: room for them (beyond rmem_max
        // when the process may).
        // Requests to silent neighbours wait in the kernel (and count against the send buffer)
        // until address resolution fails, 3 s later: room for thousands of them too.
        const int taille = 4 << 20;
        if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &taille, sizeof taille) != 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &taille, sizeof taille);
        if (::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUFFORCE, &taille, sizeof taille) != 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &taille, sizeof taille);
        if (m_brut) {
            icmp_filter filtre{};
            filtre.data =
                ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_TIME_EXCEEDED));
            ::setsockopt(m_fd, SOL_RAW, ICMP_FILTER, &filtre, sizeof filtre);
        } else {
            // Error reports for our requests come on the error queue.
            const int oui = 1;
            ::setsockopt(m_fd, SOL_IP, IP_RECVERR, &oui, sizeof oui);
        }
    }
    ~SocketIcmp() {
        if (m_fd >= 0) ::close(m_fd);
    }
    SocketIcmp(const SocketIcmp&) = delete;
    SocketIcmp& operator=(const SocketIcmp&) = delete;
    int fd() const { return m_fd; }
    bool brut() const { return m_brut; }

  private:
    int m_fd = -1;
    bool m_brut;
};

// One sweep of at most kParSocket addresses on one socket. The sequence number of a request is
// the address's position in `m_cibles`; on a raw socket the identifier is ours, on a datagram
// socket the kernel sets it and hands us only our own replies.
class Vague {
  public:
    Vague(const SocketIcmp& socket, const std::vector<CibleBalayage>& cibles, long long tempoMs,
          const OptionsBalayage& options, const SurReponseBalayage& surReponse)
        : m_socket(socket),
          m_cibles(cibles),
          m_tempo(milliseconds(tempoMs)),
          m_options(options),
          m_surReponse(surReponse),
          m_etats(cibles.size()),
          m_restants(cibles.size()) {
        std::random_device alea;
        m_id = static_cast<std::uint16_t>(alea());
        // Requests to addresses on a link of this machine are paced (each one to an unknown
        // neighbour is an ARP broadcast and a neighbour entry); those behind a router are not.
        const std::string routes = options.cadenceSurLien > 0 ? LireTableNet("route") : "";
        for (std::size_t i = 0; i < cibles.size(); ++i) {
            const bool lien = !routes.empty() && DestinationSurLien(routes, cibles[i].adresse);
            (lien ? m_aEnvoyerLien : m_aEnvoyer).push_back(i);
        }
        m_jetons = 1;
        m_recharge = Horloge::now();
    }

    bool Executer(const std::atomic<bool>* arret) {
        auto prochaineRafale = Horloge::now();
        while (m_restants > 0) {
            if (Arrete(arret)) return false;
            if (ResteAEnvoyer() && Horloge::now() >= prochaineRafale) {
                const bool plein = EnvoyerRafale();
                const int pauseUs =
                    std::max({m_options.pauseRafaleUs, plein ? 2000 : 0, AttenteJetonUs()});
                prochaineRafale = Horloge::now() + std::chrono::microseconds(pauseUs);
            }
            Attendre(prochaineRafale);
            Lire();
            Expirer();
        }
        return true;
    }

  private:
    enum class Etat : std::uint8_t { AEnvoyer, EnVol, Decide };
    struct Suivi {
        Etat etat = Etat::AEnvoyer;
        Horloge::time_point envoi{};         // when its request left
        Horloge::time_point premierRefus{};  // first send refused for lack of room
    };

    bool ResteAEnvoyer() const { return !m_aEnvoyer.empty() || !m_aEnvoyerLien.empty(); }

    bool PeutEnvoyer() const {
        return ResteAEnvoyer() &&
               (m_options.enVolMax <= 0 || m_enVol < static_cast<std::size_t>(m_options.enVolMax));
    }

    // On-link requests spend one token each; tokens come at cadenceSurLien a second, at most
    // 10 ms worth kept.
    void Recharger() {
        const auto maintenant = Horloge::now();
        const double cadence = m_options.cadenceSurLien;
        const double plafond = std::max(1.0, cadence / 100);
        m_jetons = std::min(
            plafond,
            m_jetons + cadence * std::chrono::duration<double>(maintenant - m_recharge).count());
        m_recharge = maintenant;
    }

    // How long until an on-link request waiting for its token may leave (us); 0 when none waits.
    int AttenteJetonUs() const {
        if (m_aEnvoyerLien.empty() || m_jetons >= 1 || m_options.cadenceSurLien <= 0) return 0;
        return static_cast<int>((1 - m_jetons) * 1e6 / m_options.cadenceSurLien) + 1;
    }

    // Sends up to one burst: on-link requests while tokens last, the others freely. True when
    // the kernel had no room for more.
    bool EnvoyerRafale() {
        const int rafale = std::max(1, m_options.rafale);
        for (int envoyes = 0; envoyes < rafale && PeutEnvoyer();) {
            Recharger();
            const bool lien = !m_aEnvoyerLien.empty() && m_jetons >= 1;
            if (!lien && m_aEnvoyer.empty()) return false;  // on-link ones wait for a token
            std::deque<std::size_t>& file = lien ? m_aEnvoyerLien : m_aEnvoyer;
            const std::size_t i = file.front();
            std::uint8_t paquet[24] = {ICMP_ECHO};
            paquet[4] = m_id >> 8;
            paquet[5] = m_id & 0xFF;
            paquet[6] = (i >> 8) & 0xFF;
            paquet[7] = i & 0xFF;
            std::memcpy(paquet + 8, "velmora-sweep\0\0\0", 16);
            const std::uint16_t somme = SommeControle(paquet, sizeof paquet);
            paquet[2] = somme >> 8;
            paquet[3] = somme & 0xFF;
            sockaddr_in destination{};
            destination.sin_family = AF_INET;
            destination.sin_addr.s_addr = m_cibles[i].adresse;
            const auto avant = Horloge::now();
            // A send that an error pending for another row made fail is tried again (that
            // row's report is judged meanwhile), until this row's own request leaves.
            if (EnvoyerIcmp(m_socket.fd(), paquet, sizeof paquet, destination, avant + m_tempo,
                            [this](const ErreurIcmp& e) { JugerErreur(e); })) {
                file.pop_front();
                if (lien) m_jetons -= 1;
                m_etats[i].etat = Etat::EnVol;
                m_etats[i].envoi = Horloge::now();
                m_fileEnVol.push_back(i);
                ++m_enVol;
                ++envoyes;
                continue;
            }
            if (EstManqueDePlace(errno)) {
                // No room now (full neighbour table, queue or buffer): later, unless the kernel
                // has refused this one for longer than an answer could take.
                Suivi& suivi = m_etats[i];
                if (suivi.premierRefus == Horloge::time_point{}) suivi.premierRefus = avant;
                if (avant - suivi.premierRefus < std::max<Horloge::duration>(m_tempo, kRefusMax))
                    return true;
            }
            // Unroutable, unreachable, a broadcast address, or no room for too long: no answer.
            file.pop_front();
            Decider(i, false, avant);
        }
        return false;
    }

    // Waits for an answer, the next deadline, or the next burst, whichever comes first.
    void Attendre(Horloge::time_point prochaineRafale) {
        auto echeance = Horloge::now() + milliseconds(kAttenteMaxMs);
        if (PeutEnvoyer()) echeance = std::min(echeance, prochaineRafale);
        while (!m_fileEnVol.empty() && m_etats[m_fileEnVol.front()].etat == Etat::Decide)
            m_fileEnVol.pop_front();
        if (!m_fileEnVol.empty())
            echeance = std::min(echeance, m_etats[m_fileEnVol.front()].envoi + m_tempo);
        const auto reste = std::max<Horloge::duration>(echeance - Horloge::now(), {});
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(reste).count();
        timespec delai{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd attente{m_socket.fd(), POLLIN, 0};
        ::ppoll(&attente, 1, &delai, nullptr);
    }

    // Reads everything waiting on the socket and on its error queue.
    void Lire() {
        std::uint8_t recu[1500];
        for (int erreurs = 0; erreurs < 16;) {
            sockaddr_in source{};
            socklen_t taille = sizeof source;
            const ssize_t n = ::recvfrom(m_socket.fd(), recu, sizeof recu, MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&source), &taille);
            if (n >= 0) {
                const auto maintenant = Horloge::now();
                const ReponseIcmp r =
                    m_socket.brut() ? AnalyserReponseBrute(recu, static_cast<std::size_t>(n), m_id)
                                    : AnalyserReponseDatagramme(recu, static_cast<std::size_t>(n));
                if (r.sequence >= 0) Juger(r, source.sin_addr.s_addr, maintenant);
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            ++erreurs;  // a pending socket error (an ICMP report on a raw socket): read, go on
        }
        if (!m_socket.brut()) LireErreurs();
    }

    // The error queue of a datagram socket: each final report names the destination and the
    // sequence of the request it is about.
    void LireErreurs() {
        LireFileErreursIcmp(m_socket.fd(), [this](const ErreurIcmp& e) { JugerErreur(e); });
    }

    void JugerErreur(const ErreurIcmp& e) {
        ReponseIcmp r;
        r.sequence = e.sequence;
        r.erreur = true;
        r.cible = e.cible;
        Juger(r, 0, Horloge::now());
    }

    void Juger(const ReponseIcmp& r, std::uint32_t source, Horloge::time_point quand) {
        const auto i = static_cast<std::size_t>(r.sequence);
        if (i >= m_cibles.size() || m_etats[i].etat != Etat::EnVol) return;
        const std::uint32_t cible = m_cibles[i].adresse;
        if (r.erreur) {
            if (r.cible == cible) Decider(i, false, quand);
        } else if (source == cible) {
            // A reply from another host (to a broadcast address) is not the target's.
            Decider(i, true, quand);
        }
    }

    void Expirer() {
        const auto maintenant = Horloge::now();
        while (!m_fileEnVol.empty()) {
            const std::size_t i = m_fileEnVol.front();
            if (m_etats[i].etat == Etat::EnVol) {
                if (maintenant < m_etats[i].envoi + m_tempo) return;
                Decider(i, false, maintenant);
            }
            m_fileEnVol.pop_front();
        }
    }

    void Decider(std::size_t i, bool repondu, Horloge::time_point quand) {
        Suivi& suivi = m_etats[i];
        if (suivi.etat == Etat::Decide) return;
        if (suivi.etat == Etat::EnVol) --m_enVol;
        const bool envoye = suivi.etat == Etat::EnVol;
        suivi.etat = Etat::Decide;
        --m_restants;
        ReponseBalayage reponse;
        reponse.index = m_cibles[i].index;
        reponse.repondu = repondu;
        reponse.adresse = Texte(m_cibles[i].adresse);
        reponse.delaiMs = envoye ? MsEntre(suivi.envoi, quand) : 0;
        m_surReponse(reponse);
    }

    const SocketIcmp& m_socket;
    const std::vector<CibleBalayage>& m_cibles;
    const Horloge::duration m_tempo;
    const OptionsBalayage& m_options;
    const SurReponseBalayage& m_surReponse;
    std::vector<Suivi> m_etats;
    std::deque<std::size_t> m_aEnvoyer;      // positions not sent yet, in list order
    std::deque<std::size_t> m_aEnvoyerLien;  // the same for destinations on a link of ours
    double m_jetons = 0;                     // on-link requests that may leave now
    Horloge::time_point m_recharge{};
    std::deque<std::size_t> m_fileEnVol;  // positions in the order their requests left
    std::size_t m_enVol = 0;
    std::size_t m_restants;
    std::uint16_t m_id = 0;
};

// No ICMP socket: the ping tool, a few addresses at a time.
bool BalayerAvecOutil(const std::vector<CibleBalayage>& cibles, long long tempoMs,
                      const SurReponseBalayage& surReponse, const std::atomic<bool>* arret) {
    std::vector<std::pair<std::size_t, std::string>> entrees;
    for (const CibleBalayage& c : cibles) entrees.emplace_back(c.index, Texte(c.adresse));
    return ExecuterEnParallele(
        std::move(entrees), 16,
        [tempoMs](const std::string& adresse) {
            std::string reponse;
            return Pinger(adresse, reponse, tempoMs, MethodePing::OutilPing) ? reponse
                                                                             : std::string();
        },
        [&](std::size_t index, const std::string& adresse, const std::string& reponse) {
            surReponse({index, !reponse.empty(), adresse, reponse.empty() ? tempoMs : 0});
        },
        arret);
}

}  // namespace

ReponseIcmp AnalyserReponseDatagramme(const std::uint8_t* donnees, std::size_t taille) {
    ReponseIcmp r;
    if (taille >= 8 && donnees[0] == ICMP_ECHOREPLY) r.sequence = Lire16(donnees + 6);
    return r;
}

ReponseIcmp AnalyserReponseBrute(const std::uint8_t* donnees, std::size_t taille,
                                 std::uint16_t id) {
    ReponseIcmp r;
    if (taille < 20 || (donnees[0] >> 4) != 4) return r;
    const std::size_t entete = (donnees[0] & 0x0F) * 4u;
    if (entete < 20 || taille < entete + 8) return r;
    const std::uint8_t* icmp = donnees + entete;
    if (icmp[0] == ICMP_ECHOREPLY) {
        if (Lire16(icmp + 4) == id) r.sequence = Lire16(icmp + 6);
        return r;
    }
    if (!ErreurIcmpFinale(icmp[0])) return r;
    // An error report quotes our request's IP header and the first 8 bytes of its ICMP.
    const std::uint8_t* cite = icmp + 8;
    if (taille < entete + 8 + 20 || (cite[0] >> 4) != 4) return r;
    const std::size_t enteteCite = (cite[0] & 0x0F) * 4u;
    if (enteteCite < 20 || taille < entete + 8 + enteteCite + 8 || cite[9] != IPPROTO_ICMP)
        return r;
    const std::uint8_t* icmpCite = cite + enteteCite;
    if (icmpCite[0] != ICMP_ECHO || Lire16(icmpCite + 4) != id) return r;
    r.sequence = Lire16(icmpCite + 6);
    r.erreur = true;
    std::memcpy(&r.cible, cite + 16, 4);
    return r;
}

bool DestinationSurLien(std::string_view tableRoutes, std::uint32_t adresse) {
    constexpr unsigned kUp = 0x0001, kPasserelle = 0x0002, kRejet = 0x0200;
    int meilleur = -1;  // prefix length of the best route so far
    long long metrique = 0;
    bool lien = false;
    for (const std::string& ligne : ExtraireChamp(std::string(tableRoutes), "\n")) {
        char interface[64] = {};
        unsigned destination = 0, passerelle = 0, drapeaux = 0, masque = 0;
        int references = 0, usage = 0;
        long long m = 0;
        if (std::sscanf(ligne.c_str(), "%63s %x %x %x %d %d %lld %x", interface, &destination,
                        &passerelle, &drapeaux, &references, &usage, &m, &masque) != 8)
            continue;
        if (!(drapeaux & kUp) || (adresse & masque) != destination) continue;
        const int longueur = __builtin_popcount(masque);
        if (longueur < meilleur || (longueur == meilleur && m >= metrique)) continue;
        meilleur = longueur;
        metrique = m;
        lien = !(drapeaux & (kPasserelle | kRejet)) && std::string_view(interface) != "lo";
    }
    return lien;
}

bool BalayerAdresses(const std::vector<CibleBalayage>& cibles, long long tempoMs,
                     const SurReponseBalayage& surReponse, const std::atomic<bool>* arret,
                     const OptionsBalayage& options) {
    if (cibles.empty()) return true;
    for (MethodePing m : {MethodePing::DatagrammeICMP, MethodePing::SocketBrut}) {
        if (options.methode != MethodePing::Automatique && options.methode != m) continue;
        SocketIcmp socket(m);
        if (socket.fd() < 0) continue;
        for (std::size_t debut = 0; debut < cibles.size(); debut += kParSocket) {
            const std::vector<CibleBalayage> tranche(
                cibles.begin() + debut,
                cibles.begin() + std::min(cibles.size(), debut + kParSocket));
            if (!Vague(socket, tranche, tempoMs, options, surReponse).Executer(arret)) return false;
        }
        return true;
    }
    if (options.methode == MethodePing::Automatique || options.methode == MethodePing::OutilPing)
        if (!TrouverOutil("ping").empty())
            return BalayerAvecOutil(cibles, tempoMs, surReponse, arret);
    for (const CibleBalayage& c : cibles) {
        if (Arrete(arret)) return false;
        surReponse({c.index, false, Texte(c.adresse), 0});
    }
    return true;
}

bool Balayer(const std::vector<std::string>& cibles, const SurReponseBalayage& surReponse,
             const std::atomic<bool>* arret, const OptionsBalayage& options) {
    const long long tempoMs = std::clamp(
        options.tempoMs > 0 ? options.tempoMs : Prog().reglages.tempoPing, 1LL, 3600LL * 1000);
    std::vector<CibleBalayage> adresses;
    std::vector<std::pair<std::size_t, std::string>> noms;
    for (std::size_t i = 0; i < cibles.size(); ++i) {
        const std::size_t debut = cibles[i].find_first_not_of(" \t");
        const std::size_t fin = cibles[i].find_last_not_of(" \t");
        const std::string cible = NormaliserAdresseIP(
            debut == std::string::npos ? std::string() : cibles[i].substr(debut, fin - debut + 1));
        in_addr a{};
        if (EstAdresseIP(cible) && ::inet_pton(AF_INET, cible.c_str(), &a) == 1)
            adresses.push_back({i, a.s_addr});
        else if (cible.empty())
            surReponse({i, false, "", 0});
        else
            noms.emplace_back(i, cible);
    }
    if (!noms.empty()) {
        const bool fini = ExecuterEnParallele(
            std::move(noms), std::max(1, options.resolveurs),
            [](const std::string& nom) {
                std::string adresse;
                return ResoudreNom(nom, adresse) ? adresse : std::string();
            },
            [&](std::size_t index, const std::string&, const std::string& adresse) {
                in_addr a{};
                if (!adresse.empty() && ::inet_pton(AF_INET, adresse.c_str(), &a) == 1)
                    adresses.push_back({index, a.s_addr});
                else
                    surReponse({index, false, "", 0});
            },
            arret);
        if (!fini) return false;
        // In list order, so that the rows are sent (and mostly answered) from the top.
        std::sort(adresses.begin(), adresses.end(),
                  [](const CibleBalayage& a, const CibleBalayage& b) { return a.index < b.index; });
    }
    OptionsBalayage reglees = options;
    if (reglees.cadenceSurLien < 0)
        reglees.cadenceSurLien =
            static_cast<int>(std::min<long long>(Prog().reglages.cadenceBalayageLien, 1000000));
    return BalayerAdresses(adresses, tempoMs, surReponse, arret, reglees);
}

}  // namespace velmora::net
