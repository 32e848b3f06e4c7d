// Any bytes as the target of a wake request: the query parser never fails badly, what it keeps
// holds no control character, and the relay's whole decision gives one status with a one-line
// body; a packet goes out only for a 200. The first byte picks the mode and whether the bytes
// are also sent as credentials.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "relay/Query.h"
#include "relay/Relay.h"

namespace {

using namespace velmora::relay;

class Reseau : public Network {
  public:
    int envois = 0;
    bool Send(std::uint32_t, int port, const Mac&, std::string&) override {
        if (port < 1 || port > 65535) std::abort();
        ++envois;
        return true;
    }
    std::optional<std::uint32_t> DefaultBroadcast() override { return 0xC0A801FF; }
    bool Resolve(const std::string& nom, std::uint32_t& adresse) override {
        if (!IsHostName(nom)) std::abort();  // nothing else may reach the resolver
        adresse = 0xCB007109;
        return true;
    }
};

void SansControle(const std::optional<std::string>& valeur) {
    if (!valeur) return;
    for (unsigned char c : *valeur)
        if (c < 0x20 || c == 0x7f) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string cible(reinterpret_cast<const char*>(data) + 1, size - 1);
    WakeQuery q;
    std::string raison;
    if (ParseQuery(cible, q, raison)) {
        SansControle(q.ip), SansControle(q.mac), SansControle(q.port), SansControle(q.key);
    } else if (raison.empty() || raison.find('\n') != std::string::npos) {
        std::abort();
    }
    Settings s;
    s.key = "0123456789abcdef";
    s.rate = 1000000;
    if (data[0] & 1) {
        s.mode = Mode::Internet;
        Cidr tout;
        ParseCidr("0.0.0.0/0", tout);
        s.allowDests.push_back(tout);
    }
    Reseau reseau;
    Relay relais(s, reseau);
    Request requete{"GET", cible, "192.0.2.1"};
    // The second bit: the same bytes also as the credentials of an Authorization header.
    if (data[0] & 2) requete.authorization = "Basic " + cible;
    const Answer a = relais.Handle(requete);
    if (a.body.empty() || a.body.back() != '\n' || a.body.find('\n') != a.body.size() - 1)
        std::abort();
    if (reseau.envois != (a.status == 200 ? 1 : 0)) std::abort();
    return 0;
}
