// A few worker threads for the blocking parts of a sweep (name resolution, the ping tool).
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/net/BalayageInterne.h"

namespace velmora::net {

namespace {
// What the workers share with the caller. They hold it by shared pointer, so a caller that
// stopped early leaves the calls still under way harmless.
struct Partage {
    std::vector<std::pair<std::size_t, std::string>> entrees;
    std::function<std::string(const std::string&)> travail;
    std::atomic<std::size_t> prochain{0};
    std::atomic<bool> abandon{false};
    std::mutex verrou;
    std::condition_variable signal;
    std::vector<std::pair<std::size_t, std::string>> resultats;  // (position, result)
};

void Travailleur(std::shared_ptr<Partage> partage) {
    while (!partage->abandon) {
        const std::size_t i = partage->prochain++;
        if (i >= partage->entrees.size()) return;
        std::string resultat = partage->travail(partage->entrees[i].second);
        {
            std::lock_guard<std::mutex> garde(partage->verrou);
            partage->resultats.emplace_back(i, std::move(resultat));
        }
        partage->signal.notify_one();
    }
}
}  // namespace

bool ExecuterEnParallele(
    std::vector<std::pair<std::size_t, std::string>> entrees, int fils,
    std::function<std::string(const std::string&)> travail,
    const std::function<void(std::size_t, const std::string&, const std::string&)>& rendre,
    const std::atomic<bool>* arret) {
    auto partage = std::make_shared<Partage>();
    partage->entrees = std::move(entrees);
    partage->travail = std::move(travail);
    const std::size_t total = partage->entrees.size();
    const int n = static_cast<int>(std::min<std::size_t>(std::max(fils, 1), total));
    // New threads share the namespaces of the calling thread (a sweep run from inside a
    // network namespace resolves and pings there).
    for (int t = 0; t < n; ++t) std::thread(Travailleur, partage).detach();

    std::size_t recus = 0;
    while (recus < total) {
        if (arret && arret->load()) {
            partage->abandon = true;
            return false;
        }
        std::vector<std::pair<std::size_t, std::string>> arrives;
        {
            std::unique_lock<std::mutex> verrou(partage->verrou);
            partage->signal.wait_for(verrou, std::chrono::milliseconds(20),
                                     [&] { return !partage->resultats.empty(); });
            arrives.swap(partage->resultats);
        }
        for (const auto& [i, resultat] : arrives)
            rendre(partage->entrees[i].first, partage->entrees[i].second, resultat);
        recus += arrives.size();
    }
    return true;
}

}  // namespace velmora::net
