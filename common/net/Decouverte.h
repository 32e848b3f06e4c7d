// Network discovery: the addresses of a subnet are swept in one go, and each host that answers
// is described by its name (reverse DNS, else its NetBIOS name), its MAC address (neighbour
// table, else NetBIOS) and the maker of its network card (the IEEE list of OUIs that Debian's
// ieee-data package installs; no list, no maker).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora::net {

// An IPv4 subnet: its first address (host order, host bits cleared) and prefix length.
struct PlageIPv4 {
    std::uint32_t reseau = 0;
    int prefixe = 32;
};

inline constexpr int kPrefixeMinimal = 16;  // the largest subnet swept: 65,534 addresses

enum class ErreurPlage { Aucune, Invalide, TropGrande };

// Reads "a.b.c.d/n" (n from 16 to 32), "a.b.c.d/m.m.m.m" (a contiguous mask) or "a.b.c.d"
// (that one address), spaces around allowed; the host bits of the address are cleared.
// TropGrande for a prefix under 16, Invalide for anything else that is not such a text;
// `plage` is only written on success.
ErreurPlage AnalyserPlage(std::string_view texte, PlageIPv4& plage);
// "a.b.c.d/n" of the subnet's first address.
std::string TextePlage(const PlageIPv4& plage);
// Every address of the subnet as a dotted quad, in order; without the subnet and broadcast
// addresses when the prefix is 30 or less (a /31 or /32 has no such addresses).
std::vector<std::string> AdressesDePlage(const PlageIPv4& plage);
// The subnet holding `adresse` with `masque` (dotted quads) as "a.b.c.d/n"; the prefix counts
// the mask's leading ones and is raised to 16 for a larger subnet. "" when either is not an
// address.
std::string PlageDeInterface(const std::string& adresse, const std::string& masque);
// The same for the local interface (AdresseLocale and its mask); "" when there is none.
std::string PlageLocale();

// The name that the reverse DNS gives to `adresse` (a dotted quad), or "".
std::string NomInverse(const std::string& adresse);

// OUI list: the first three bytes of a MAC address (six upper-case hex digits) to the maker.
using TableOUI = std::unordered_map<std::string, std::string>;
// Reads the "XX-XX-XX   (hex)<tab><tab>Maker" lines of the IEEE list; other lines are skipped.
TableOUI LireTableOUI(std::istream& texte);
// The maker of `mac` (pairs joined by "-" or ":"), or "" when unknown or not a MAC address.
std::string Fabricant(const TableOUI& table, const std::string& mac);
// The list of the ieee-data package, read once on first use; empty when not installed.
const TableOUI& TableOUISysteme();

// One host found.
struct HoteDecouvert {
    std::string adresse;
    std::string nom;
    std::string mac;
    std::string fabricant;
    bool decrit = false;  // name, MAC and maker looked up (they may still be "")
};

// The probes of a discovery (common/net in the program, a fake in tests). Called from worker
// threads, several at once for the descriptions: implementations must be thread-safe.
class SondesDecouverte {
  public:
    virtual ~SondesDecouverte() = default;
    // Pings every address and calls `surReponse`(position, answered) as each is decided, on the
    // calling thread, until all are or `arret` becomes true.
    virtual void Balayer(const std::vector<std::string>& adresses,
                         const std::function<void(std::size_t, bool)>& surReponse,
                         const std::atomic<bool>& arret) = 0;
    virtual std::string NomInverse(const std::string& adresse) = 0;
    // The complete entry of the neighbour table, or "".
    virtual std::string MacVoisin(const std::string& adresse) = 0;
    // A NetBIOS node-status query: the workstation name and unit id ("" for each unknown).
    virtual void NetBIOS(const std::string& adresse, std::string& nom, std::string& mac) = 0;
    virtual std::string Fabricant(const std::string& mac) = 0;
};
std::unique_ptr<SondesDecouverte> CreerSondesDecouverte();

struct SuiviDecouverte {
    // A host that answered (decrit false), then the same host described (decrit true).
    std::function<void(const HoteDecouvert&)> surHote;
    // The sweep: `fait` of `total` addresses swept.
    std::function<void(std::size_t fait, std::size_t total)> surProgression;
    // The look-ups that follow: `fait` of `total` hosts described (first called with 0 as they
    // begin, since each can take seconds).
    std::function<void(std::size_t fait, std::size_t total)> surDescription;
};

// Sweeps `adresses`, then describes the hosts that answered, `enParallele` at a time. The
// callbacks come one at a time (never two at once) but from several threads. Stops early when
// `arret` becomes true: nothing more is sent or looked up, what was reported stays.
void Decouvrir(const std::vector<std::string>& adresses, SondesDecouverte& sondes,
               const SuiviDecouverte& suivi, const std::atomic<bool>& arret, int enParallele = 8);

}  // namespace velmora::net
