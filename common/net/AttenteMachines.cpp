// AttendreMachines: rounds of 250 ms; a ping round is one sweep of the machines still down, a
// port round one non-blocking connection to each of them.
#include "common/net/AttenteMachines.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/net/Balayage.h"
#include "common/net/Sondes.h"
#include "common/platform/Process.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

using Horloge = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One try per machine still down every 250 ms: a machine is reported at most about that long
// after it first answers, and a sweep of a few rows costs microseconds.
constexpr long long kTourMs = 250;

long long MsDepuis(Horloge::time_point debut) {
    return std::chrono::duration_cast<milliseconds>(Horloge::now() - debut).count();
}

// The machines of `restants` that accept a TCP connection on `port` within `attenteMs`.
std::vector<std::size_t> TourPort(const std::vector<std::string>& adresses,
                                  const std::vector<std::size_t>& restants, int port,
                                  long long attenteMs) {
    std::vector<pollfd> attentes;
    std::vector<std::size_t> indices;
    std::vector<std::size_t> pretes;
    for (std::size_t i : restants) {
        std::string cible = NormaliserAdresseIP(adresses[i]);
        if (!EstAdresseIP(cible) && !ResoudreNom(cible, cible)) continue;
        sockaddr_in destination{};
        destination.sin_family = AF_INET;
        destination.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::inet_pton(AF_INET, cible.c_str(), &destination.sin_addr) != 1) continue;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&destination), sizeof destination) == 0) {
            pretes.push_back(i);
            ::close(fd);
        } else if (errno == EINPROGRESS) {
            attentes.push_back({fd, POLLOUT, 0});
            indices.push_back(i);
        } else {
            ::close(fd);
        }
    }
    const auto fin = Horloge::now() + milliseconds(attenteMs);
    std::size_t ouverts = attentes.size();
    while (ouverts > 0) {
        const long long reste =
            std::chrono::duration_cast<milliseconds>(fin - Horloge::now()).count();
        if (reste <= 0) break;
        if (::poll(attentes.data(), attentes.size(), static_cast<int>(reste)) < 0 && errno != EINTR)
            break;
        for (std::size_t k = 0; k < attentes.size(); ++k) {
            if (attentes[k].fd < 0 || attentes[k].revents == 0) continue;
            int erreur = 0;
            socklen_t taille = sizeof erreur;
            ::getsockopt(attentes[k].fd, SOL_SOCKET, SO_ERROR, &erreur, &taille);
            if (erreur == 0) pretes.push_back(indices[k]);
            ::close(attentes[k].fd);
            attentes[k].fd = -1;  // poll skips negative descriptors
            --ouverts;
        }
    }
    for (const pollfd& a : attentes)
        if (a.fd >= 0) ::close(a.fd);
    return pretes;
}

}  // namespace

std::vector<long long> AttendreMachines(const std::vector<std::string>& adresses, long long delaiMs,
                                        int port,
                                        const std::function<void(std::size_t, long long)>& surPrete,
                                        const std::atomic<bool>* arret) {
    const auto debut = Horloge::now();
    std::vector<long long> durees(adresses.size(), -1);
    std::vector<std::size_t> restants;
    for (std::size_t i = 0; i < adresses.size(); ++i) restants.push_back(i);
    auto marquer = [&](std::size_t i) {
        if (durees[i] >= 0) return;
        durees[i] = MsDepuis(debut);
        surPrete(i, durees[i]);
    };

    // A stop request, or SIGINT / SIGTERM to a program that catches them, ends the wait within
    // one round.
    auto arrete = [&] { return (arret && *arret) || platform::SignalArretRecu() != 0; };
    while (!restants.empty() && !arrete()) {
        const long long reste = delaiMs - MsDepuis(debut);
        if (reste <= 0) break;
        const auto tour = Horloge::now();
        const long long attente = std::min(kTourMs, reste);
        if (port > 0) {
            for (std::size_t i : TourPort(adresses, restants, port, attente)) marquer(i);
        } else {
            std::vector<std::string> cibles;
            for (std::size_t i : restants) cibles.push_back(adresses[i]);
            OptionsBalayage options;
            options.tempoMs = attente;
            Balayer(
                cibles,
                [&](const ReponseBalayage& r) {
                    if (r.repondu) marquer(restants[r.index]);
                },
                arret, options);
        }
        std::erase_if(restants, [&](std::size_t i) { return durees[i] >= 0; });
        // A refusal ends a round early: the next one starts a round after this one.
        while (!restants.empty() && !arrete() && MsDepuis(tour) < attente)
            std::this_thread::sleep_for(
                milliseconds(std::clamp(attente - MsDepuis(tour), 1LL, 50LL)));
    }
    return durees;
}

}  // namespace velmora::net
