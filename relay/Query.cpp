// Parsers of the wake request and of the values the settings share with it.
#include "relay/Query.h"

#include <arpa/inet.h>

#include <string>

namespace velmora::relay {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The field of `query` that `name` designates, or nullptr for a key the relay ignores.
std::optional<std::string>* Field(WakeQuery& query, std::string_view name) {
    if (EqualsIgnoringCase(name, "ip")) return &query.ip;
    if (EqualsIgnoringCase(name, "mac")) return &query.mac;
    if (EqualsIgnoringCase(name, "port")) return &query.port;
    if (EqualsIgnoringCase(name, "key")) return &query.key;
    return nullptr;
}

bool HasControlCharacter(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f) return true;
    return false;
}

}  // namespace

bool PercentDecode(std::string_view text, std::string& decoded) {
    decoded.clear();
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else {
            if (i + 2 >= text.size()) return false;
            const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return false;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return true;
}

bool ParseQuery(std::string_view target, WakeQuery& query, std::string& reason) {
    query = WakeQuery{};
    const size_t question = target.find('?');
    if (question == std::string_view::npos) return true;
    std::string_view rest = target.substr(question + 1);
    const size_t fragment = rest.find('#');
    if (fragment != std::string_view::npos) rest = rest.substr(0, fragment);
    while (!rest.empty()) {
        const size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        std::string name, value;
        if (!PercentDecode(pair.substr(0, equals), name) ||
            (equals != std::string_view::npos && !PercentDecode(pair.substr(equals + 1), value))) {
            reason = "Bad percent escape in the query";
            return false;
        }
        std::optional<std::string>* field = Field(query, name);
        if (!field) continue;
        if (field->has_value()) {
            reason = "Parameter \"" + name + "\" given twice";
            return false;
        }
        if (HasControlCharacter(value)) {
            reason = "Control character in parameter \"" + name + "\"";
            return false;
        }
        *field = std::move(value);
    }
    return true;
}

bool ParseMac(std::string_view text, Mac& mac) {
    size_t step = 2;
    if (text.size() == 17) {
        if (text[2] != ':' && text[2] != '-') return false;
        for (size_t i = 2; i < text.size(); i += 3)
            if (text[i] != text[2]) return false;
        step = 3;
    } else if (text.size() != 12) {
        return false;
    }
    for (size_t i = 0; i < mac.size(); ++i) {
        const int high = HexValue(text[i * step]), low = HexValue(text[i * step + 1]);
        if (high < 0 || low < 0) return false;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

std::string MacText(const Mac& mac) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < mac.size(); ++i) {
        if (i > 0) text += ':';
        text += digits[mac[i] >> 4];
        text += digits[mac[i] & 15];
    }
    return text;
}

bool ParsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

bool ParseIPv4(std::string_view text, std::uint32_t& address) {
    if (text.empty() || text.size() > 15) return false;
    in_addr a{};
    // glibc's inet_pton takes dotted quads only, and refuses leading zeros.
    if (::inet_pton(AF_INET, std::string(text).c_str(), &a) != 1) return false;
    address = ntohl(a.s_addr);
    return true;
}

std::string IPv4Text(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 255) + '.' +
           std::to_string((address >> 8) & 255) + '.' + std::to_string(address & 255);
}

bool ParseCidr(std::string_view text, Cidr& cidr) {
    const size_t slash = text.find('/');
    std::uint32_t address = 0;
    if (!ParseIPv4(text.substr(0, slash), address)) return false;
    int bits = 32;
    if (slash != std::string_view::npos) {
        const std::string_view length = text.substr(slash + 1);
        if (length.empty() || length.size() > 2) return false;
        bits = 0;
        for (char c : length) {
            if (c < '0' || c > '9') return false;
            bits = bits * 10 + (c - '0');
        }
        if (bits > 32) return false;
    }
    cidr.mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
    cidr.network = address & cidr.mask;
    return true;
}

bool IsHostName(std::string_view text) {
    if (text.empty() || text.size() > 253) return false;
    size_t label = 0;
    for (char c : text) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
            continue;
        }
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok || ++label > 63) return false;
    }
    return true;
}

bool BasicPassword(std::string_view header, std::string& password) {
    while (!header.empty() && (header.front() == ' ' || header.front() == '\t'))
        header.remove_prefix(1);
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t'))
        header.remove_suffix(1);
    if (header.size() < 6 || !EqualsIgnoringCase(header.substr(0, 6), "Basic ")) return false;
    header.remove_prefix(6);
    while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
    std::string decoded;
    unsigned bits = 0, value = 0;
    size_t padding = 0;
    for (char c : header) {
        int v = -1;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        if (c == '=') {
            ++padding;
            continue;
        }
        if (v < 0 || padding > 0) return false;
        value = (value << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            decoded += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    if (padding > 2 || (header.size() % 4 != 0 && padding > 0) || bits >= 6) return false;
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos || HasControlCharacter(decoded)) return false;
    password = decoded.substr(colon + 1);
    return true;
}

bool ConstantTimeEquals(std::string_view secret, std::string_view candidate) {
    unsigned difference = secret.size() == candidate.size() ? 0 : 1;
    for (size_t i = 0; i < secret.size(); ++i) {
        const unsigned char other =
            i < candidate.size() ? static_cast<unsigned char>(candidate[i]) : 0;
        difference |= static_cast<unsigned char>(secret[i]) ^ other;
    }
    return difference == 0;
}

}  // namespace velmora::relay
