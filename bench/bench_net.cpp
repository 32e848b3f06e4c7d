// Network operations: ping of loopback and of a silent host, magic packet to loopback, wake
// via Internet against a local HTTP server. Traffic stays on loopback and in namespaces made
// here.
#include <benchmark/benchmark.h>

#include "common/config/Config.h"
#include "common/net/PaquetMagique.h"
#include "common/net/ReveilInternet.h"
#include "common/net/Sondes.h"
#include "tests/common/test_net_espaces.h"
#include "tests/common/test_net_pairs.h"

namespace {

using namespace velmora;

void BM_PingerBoucleLocale(benchmark::State& state) {
    std::string reponse;
    for (auto _ : state) {
        if (!net::Pinger("127.0.0.1", reponse, 300))
            state.SkipWithError("no answer from 127.0.0.1");
    }
}
BENCHMARK(BM_PingerBoucleLocale)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// An unused address of a namespace subnet: the wait must end at TempoPing (300 ms).
void BM_PingerHoteMuet(benchmark::State& state) {
    test::Espaces espaces;
    if (!espaces.Pret()) {
        state.SkipWithError(espaces.Raison().c_str());
        return;
    }
    for (auto _ : state) {
        bool repondu = true;
        std::string reponse;
        test::Espaces::Executer(espaces.A(),
                                [&] { repondu = net::Pinger("198.18.0.77", reponse, 300); });
        if (repondu) state.SkipWithError("a silent host answered");
    }
}
BENCHMARK(BM_PingerHoteMuet)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_EnvoyerPaquetMagique(benchmark::State& state) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);  // bound but never read: drops are fine
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    std::string envoi, erreur;
    for (auto _ : state) {
        if (!net::EnvoyerPaquetMagique("127.0.0.1", "255.255.255.255", ntohs(a.sin_port),
                                       "00:11:22:33:44:55", envoi, erreur))
            state.SkipWithError(erreur.c_str());
    }
    ::close(fd);
}
BENCHMARK(BM_EnvoyerPaquetMagique)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ReveillerParInternet(benchmark::State& state) {
    test::ServeurHttp serveur;
    ReglagesDemarrage r;
    r.scriptWOWParDefaut = false;
    r.proxyType = 1;
    r.scriptWOWUrl = serveur.Base() + "/wake?ip=%ip%&mac=%mac%&port=%port%";
    std::string reponse;
    for (auto _ : state) {
        if (!net::ReveillerParInternet("192.0.2.1", 9, "00-11-22-33-44-55", reponse, r))
            state.SkipWithError("the local server did not answer 200 OK");
    }
}
BENCHMARK(BM_ReveillerParInternet)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
