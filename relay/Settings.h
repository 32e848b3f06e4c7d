// Settings of velmora-relay: the command line, the configuration file, and their checked form.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "relay/Query.h"

namespace velmora::relay {

// The settings as written, before any check. Each has the name of its command-line option
// without the dashes, which is also its name in the configuration file.
struct Options {
    std::optional<std::string> listen, keyFile, mode, broadcast, rate, config;
    std::vector<std::string> allowMac, allowDest;
    // The web page: the machines file, the users file, the status interval; --add-user and
    // --folders are for the command line only.
    std::optional<std::string> machines, users, statusInterval, addUser, folders;
    bool help = false;
    bool version = false;
};

// The command line (without the program name): "--name value" or "--name=value".
// False with `error` for an unknown option or a missing value.
bool ParseCommandLine(const std::vector<std::string>& arguments, Options& options,
                      std::string& error);

// A configuration file's text: "name = value" lines, "#" or ";" comment lines, blank lines;
// allow-mac and allow-dest may be repeated. Values already in `options` (from the command
// line) are kept; a list given on the command line replaces the file's. False with `error`
// (naming the line) for an unknown name, a line without "=", or a single value given twice.
bool ParseConfigText(std::string_view text, Options& options, std::string& error);

enum class Mode { Lan, Internet };

struct Settings {
    sockaddr_storage listen{};
    std::string listenText;  // as given, e.g. "127.0.0.1:8080"
    bool loopbackOnly = false;
    std::string key;  // empty: no key (loopback only)
    Mode mode = Mode::Lan;
    std::optional<std::uint32_t> broadcast;  // lan mode; none: the default route's
    std::vector<Mac> allowMacs;              // empty: every MAC address
    std::vector<Cidr> allowDests;            // internet mode; never empty there
    unsigned rate = 60;                      // requests per minute and client address
    std::string machinesFile;                // the web page's Velmora.ini ("": no page)
    std::string usersFile;                   // its users ("": no page)
    unsigned statusInterval = 5;             // seconds between two status sweeps; 0: none
};

inline constexpr unsigned kDefaultRate = 60;
inline constexpr size_t kMinKeyLength = 16, kMaxKeyLength = 256;

// Checks `options` and reads the key file into `settings`. False with a one-line `error` when
// a value is malformed, --listen is missing, the internet mode has no --allow-dest, or there
// is no key while the relay listens on more than loopback.
bool CheckSettings(const Options& options, Settings& settings, std::string& error);

// The command line, then the configuration file (--config, else `defaultConfig` when it
// exists), then CheckSettings.
bool LoadSettings(const std::vector<std::string>& arguments, const std::string& defaultConfig,
                  Settings& settings, std::string& error);

// `s` without the blanks (space, tab, CR, LF) at its edges: lines of the relay's files.
std::string_view Trim(std::string_view s);

// The --help text; the --version text.
std::string Usage(const std::string& defaultConfig);
std::string VersionText();

}  // namespace velmora::relay
