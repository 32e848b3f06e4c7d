// Wake-on-LAN: the magic packet and its one-datagram send.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::net {

inline constexpr size_t kTaillePaquetMagique = 102;  // bytes
using PaquetMagique = std::array<std::uint8_t, kTaillePaquetMagique>;

// Builds the payload: six 0xFF bytes, then the six bytes of `mac` sixteen times, in the order
// in which the address is written. `mac` is six hexadecimal pairs separated by ":" or "-"
// (the separator is the third character), any case. False with a description in
// `messageErreur` when the text cannot be read that way (empty, wrong separator, a part that
// is not a hexadecimal number 0-255, more or fewer than six parts).
bool ConstruirePaquetMagique(std::string_view mac, PaquetMagique& paquet,
                             std::string& messageErreur);

// Sends the magic packet for `mac` in one UDP datagram (broadcast allowed) to
// AdresseDiffusion(adresse, masque) on `port`, then closes the socket. Never retries and waits
// for no answer. `adresseEnvoi` receives the destination as soon as it is computed (so it is
// set too when the socket step fails). On failure `messageErreur` holds the description (the
// system's text for a socket error) and nothing more is sent. The fall-back for a name that
// does not resolve comes from Prog().reglages (RepliMode, RepliAdresse).
bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque, long long port,
                          const std::string& mac, std::string& adresseEnvoi,
                          std::string& messageErreur);

}  // namespace velmora::net
