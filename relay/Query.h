// The wake request as the relay reads it: the query of the request target, and the small
// parsers of MAC addresses, ports, IPv4 addresses and CIDR blocks that the request and the
// settings share. Pure functions: nothing here touches the network.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::relay {

// The four keys of a wake request, each as decoded text when present.
struct WakeQuery {
    std::optional<std::string> ip, mac, port, key;
};

// Reads the query of `target` (a request target: path, then optionally "?" and the query).
// Pairs are separated by "&", a key from its value by the first "="; "%XX" is decoded and "+"
// is a space. The keys ip, mac, port and key are matched ignoring case; other keys are ignored.
// False with a one-line `reason` on a bad escape, a decoded control character or a key given
// twice (two values would leave it unclear which one was checked).
bool ParseQuery(std::string_view target, WakeQuery& query, std::string& reason);

// "%XX" decoding with "+" as a space. False on a "%" not followed by two hexadecimal digits.
bool PercentDecode(std::string_view text, std::string& decoded);

using Mac = std::array<std::uint8_t, 6>;
// Exactly six pairs of hexadecimal digits, separated all by ":" or all by "-", or not at all
// ("001122aabbcc"). Anything else is refused: a short pair or another separator could
// otherwise wake another machine than the one meant.
bool ParseMac(std::string_view text, Mac& mac);
// "00:11:22:aa:bb:cc".
std::string MacText(const Mac& mac);

// A UDP port: 1 to 65535 in decimal, at most 5 digits.
bool ParsePort(std::string_view text, int& port);

// A dotted-quad IPv4 address (no leading zeros, no other form) in host byte order.
bool ParseIPv4(std::string_view text, std::uint32_t& address);
std::string IPv4Text(std::uint32_t address);

// An IPv4 block "a.b.c.d/n" (n 0-32), or a single address ("/32").
struct Cidr {
    std::uint32_t network = 0;  // host byte order, host bits cleared
    std::uint32_t mask = 0;
    bool Contains(std::uint32_t address) const { return (address & mask) == network; }
};
bool ParseCidr(std::string_view text, Cidr& cidr);

// A host name that may be handed to the resolver: letters, digits, "-" and "." only, 1 to 253
// characters, no empty label.
bool IsHostName(std::string_view text);

// The password of an "Authorization: Basic" header value (base64 of "user:password"; the
// user name is not checked). False for any other scheme or a malformed value.
bool BasicPassword(std::string_view header, std::string& password);

// Compares a secret with a candidate in a time that depends on the lengths only, never on
// where the first difference is.
bool ConstantTimeEquals(std::string_view secret, std::string_view candidate);

}  // namespace velmora::relay
