// Reading and checking the relay's settings.
#include "relay/Settings.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "common/platform/Outil.h"

namespace velmora::relay {

std::string_view Trim(std::string_view s) {
    const char* blanks = " \t\r\n";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

namespace {

constexpr size_t kMaxConfigSize = 64 * 1024;  // bytes
constexpr size_t kMaxKeyFileSize = 4096;      // bytes

// The single-valued settings, by name.
std::optional<std::string>* Single(Options& o, std::string_view name) {
    if (name == "listen") return &o.listen;
    if (name == "key-file") return &o.keyFile;
    if (name == "mode") return &o.mode;
    if (name == "broadcast") return &o.broadcast;
    if (name == "rate") return &o.rate;
    if (name == "machines") return &o.machines;
    if (name == "users") return &o.users;
    if (name == "status-interval") return &o.statusInterval;
    return nullptr;
}

std::vector<std::string>* List(Options& o, std::string_view name) {
    if (name == "allow-mac") return &o.allowMac;
    if (name == "allow-dest") return &o.allowDest;
    return nullptr;
}

bool ReadFile(const std::string& path, size_t limit, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (text.size() > limit) {
        error = path + " is larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    return true;
}

bool ParseListenAddress(const std::string& text, Settings& s);

bool ParseListen(const std::string& text, Settings& s, std::string& error) {
    if (ParseListenAddress(text, s)) return true;
    error = "--listen must be ADDRESS:PORT (e.g. 0.0.0.0:8080 or [::1]:8080), not \"" + text + "\"";
    return false;
}

bool ParseListenAddress(const std::string& text, Settings& s) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 >= text.size() || colon + 6 < text.size())
        return false;
    int port = 0;
    for (char c : text.substr(colon + 1)) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
    }
    if (port > 65535) return false;
    std::string host = text.substr(0, colon);
    s.listen = {};
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&s.listen);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &a6->sin6_addr) != 1)
            return false;
        s.loopbackOnly = IN6_IS_ADDR_LOOPBACK(&a6->sin6_addr);
    } else {
        std::uint32_t address = 0;
        if (!ParseIPv4(host, address)) return false;
        auto* a4 = reinterpret_cast<sockaddr_in*>(&s.listen);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(static_cast<uint16_t>(port));
        a4->sin_addr.s_addr = htonl(address);
        s.loopbackOnly = (address >> 24) == 127;
    }
    s.listenText = text;
    return true;
}

// A key travels in a URL that the clients do not encode: unreserved URL characters only.
bool ReadKey(const std::string& path, std::string& key, std::string& error) {
    std::string text;
    if (!ReadFile(path, kMaxKeyFileSize, text, error)) return false;
    key = std::string(Trim(text));
    if (key.size() < kMinKeyLength || key.size() > kMaxKeyLength) {
        error = "the key in " + path + " must have " + std::to_string(kMinKeyLength) + " to " +
                std::to_string(kMaxKeyLength) + " characters";
        return false;
    }
    for (char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (!ok) {
            error = "the key in " + path + " may hold only letters, digits and - . _ ~";
            return false;
        }
    }
    return true;
}

bool CheckLists(const Options& o, Settings& s, std::string& error) {
    for (const std::string& text : o.allowMac) {
        Mac mac;
        if (!ParseMac(text, mac)) {
            error = "--allow-mac: \"" + text + "\" is not a MAC address";
            return false;
        }
        s.allowMacs.push_back(mac);
    }
    for (const std::string& text : o.allowDest) {
        Cidr cidr;
        if (!ParseCidr(text, cidr)) {
            error = "--allow-dest: \"" + text + "\" is not an IPv4 address or block (a.b.c.d/n)";
            return false;
        }
        s.allowDests.push_back(cidr);
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, Options& options,
                      std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--version") {
            options.version = true;
            continue;
        }
        if (argument.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + argument + "\"";
            return false;
        }
        const size_t equals = argument.find('=');
        const std::string name =
            argument.substr(2, equals == std::string::npos ? equals : equals - 2);
        std::optional<std::string>* single = name == "config"     ? &options.config
                                             : name == "add-user" ? &options.addUser
                                             : name == "folders"  ? &options.folders
                                                                  : Single(options, name);
        std::vector<std::string>* list = List(options, name);
        if (!single && !list) {
            error = "unknown option --" + name;
            return false;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = "--" + name + " needs a value";
            return false;
        }
        if (single)
            *single = value;
        else
            list->push_back(value);
    }
    return true;
}

bool ParseConfigText(std::string_view text, Options& options, std::string& error) {
    Options file;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            error = where + "expected name = value";
            return false;
        }
        const std::string name(Trim(line.substr(0, equals)));
        const std::string value(Trim(line.substr(equals + 1)));
        if (auto* single = Single(file, name)) {
            if (single->has_value()) {
                error = where + name + " is given twice";
                return false;
            }
            *single = value;
        } else if (auto* list = List(file, name)) {
            list->push_back(value);
        } else {
            error = where + "unknown setting \"" + name.substr(0, 40) + "\"";
            return false;
        }
    }
    for (const char* name : {"listen", "key-file", "mode", "broadcast", "rate", "machines", "users",
                             "status-interval"})
        if (!Single(options, name)->has_value()) *Single(options, name) = *Single(file, name);
    if (options.allowMac.empty()) options.allowMac = file.allowMac;
    if (options.allowDest.empty()) options.allowDest = file.allowDest;
    return true;
}

bool CheckSettings(const Options& o, Settings& s, std::string& error) {
    s = Settings{};
    if (!o.listen) {
        error = "--listen ADDRESS:PORT is required";
        return false;
    }
    if (!ParseListen(*o.listen, s, error)) return false;
    const std::string mode = o.mode.value_or("lan");
    if (mode != "lan" && mode != "internet") {
        error = "--mode must be lan or internet, not \"" + mode + "\"";
        return false;
    }
    s.mode = mode == "lan" ? Mode::Lan : Mode::Internet;
    if (o.broadcast && !o.broadcast->empty()) {
        std::uint32_t address = 0;
        if (!ParseIPv4(*o.broadcast, address)) {
            error = "--broadcast: \"" + *o.broadcast + "\" is not an IPv4 address";
            return false;
        }
        s.broadcast = address;
    }
    if (o.rate) {
        const std::string& r = *o.rate;
        bool ok = !r.empty() && r.size() <= 8;
        unsigned long value = 0;
        for (char c : r) {
            if (c < '0' || c > '9') ok = false;
            value = value * 10 + static_cast<unsigned long>(c - '0');
        }
        if (!ok || value < 1 || value > 10000000) {
            error = "--rate must be a number of requests per minute from 1 to 10000000";
            return false;
        }
        s.rate = static_cast<unsigned>(value);
    }
    if (o.statusInterval) {
        const std::string& t = *o.statusInterval;
        bool ok = !t.empty() && t.size() <= 5;
        unsigned value = 0;
        for (char c : t) {
            if (c < '0' || c > '9') ok = false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (!ok || value > 3600) {
            error = "--status-interval must be a number of seconds from 0 (off) to 3600";
            return false;
        }
        s.statusInterval = value;
    }
    s.machinesFile = o.machines.value_or("");
    s.usersFile = o.users.value_or("");
    if (!CheckLists(o, s, error)) return false;
    if (s.mode == Mode::Internet && s.allowDests.empty()) {
        error =
            "--mode internet needs at least one --allow-dest: the relay would otherwise send "
            "packets anywhere it is told";
        return false;
    }
    if (o.keyFile && !o.keyFile->empty()) {
        if (!ReadKey(*o.keyFile, s.key, error)) return false;
    } else if (!s.loopbackOnly) {
        error = "--key-file is required unless the relay listens on loopback only";
        return false;
    }
    return true;
}

bool LoadSettings(const std::vector<std::string>& arguments, const std::string& defaultConfig,
                  Settings& settings, std::string& error) {
    Options options;
    if (!ParseCommandLine(arguments, options, error)) return false;
    const bool given = options.config.has_value();
    const std::string path = given ? *options.config : defaultConfig;
    if (!path.empty() && (given || ::access(path.c_str(), F_OK) == 0)) {
        std::string text;
        if (!ReadFile(path, kMaxConfigSize, text, error)) return false;
        if (!ParseConfigText(text, options, error)) {
            error = path + ", " + error;
            return false;
        }
    }
    return CheckSettings(options, settings, error);
}

std::string Usage(const std::string& defaultConfig) {
    return "Usage: velmora-relay --listen ADDR:PORT --key-file FILE [--mode lan|internet]\n"
           "                     [--broadcast ADDR] [--allow-mac MAC]... [--allow-dest CIDR]...\n"
           "                     [--rate N] [--config FILE]\n"
           "                     [--machines FILE --users FILE] [--status-interval S]\n"
           "       velmora-relay --users FILE --add-user NAME [--folders A,B]\n"
           "\n"
           "Answers wake requests (GET ...?ip=&mac=&port=, the key as the password of an\n"
           "Authorization: Basic header, or key=) by sending a magic packet.\n"
           "\n"
           "  --listen ADDR:PORT    address and port to listen on (IPv6 as [ADDR]:PORT)\n"
           "  --key-file FILE       file holding the key that requests must carry;\n"
           "                        required unless listening on loopback only\n"
           "  --mode lan|internet   lan (default): send to the broadcast address;\n"
           "                        internet: send to ip:port of the request\n"
           "  --broadcast ADDR      lan mode: destination of the packets (default: the\n"
           "                        broadcast address of the default route's interface)\n"
           "  --allow-mac MAC       wake only these MAC addresses (repeatable)\n"
           "  --allow-dest CIDR     internet mode: allowed destinations, required (repeatable)\n"
           "  --rate N              requests per minute from one client (default 60), and\n"
           "                        as many refusals (wrong key); ten times as many\n"
           "                        refusals from all clients together\n"
           "  --config FILE         settings file, \"name = value\" lines with the names above\n"
           "                        (default " +
           defaultConfig +
           "); the command line wins\n"
           "  --machines FILE       serve the web page over this Velmora.ini (read only,\n"
           "                        read again when it changes); needs --users\n"
           "  --users FILE          users of the web page: NAME:HASH:FOLDERS lines\n"
           "  --status-interval S   seconds between two status sweeps of the folders open\n"
           "                        in a page (default 5; 0: no status)\n"
           "  --add-user NAME       add a user to --users (password asked twice, or read\n"
           "                        from two lines of standard input), then exit\n"
           "  --folders A,B         with --add-user: the folders the user may see\n"
           "                        (default: every folder)\n"
           "  --help                this text\n"
           "  --version             the version and licence\n"
           "\n"
           "SIGHUP reloads the settings and the key; SIGTERM and SIGINT stop the relay.\n";
}

std::string VersionText() {
    return "velmora-relay " + platform::TexteVersion() + "\nLicense GPL-3.0-or-later\n";
}

}  // namespace velmora::relay
