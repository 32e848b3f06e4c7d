// velmora-relay: answers wake requests over HTTP by sending magic packets.
#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "relay/Relay.h"
#include "relay/Server.h"
#include "relay/Settings.h"
#include "relay/web/Site.h"

int main(int argc, char** argv) {
    using namespace velmora::relay;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!ParseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "velmora-relay: %s\n%s", error.c_str(),
                     Usage(VELMORA_RELAY_CONFIG).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(Usage(VELMORA_RELAY_CONFIG).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    if (options.addUser) {
        if (!options.users || options.users->empty()) {
            std::fputs("velmora-relay: --add-user needs --users FILE\n", stderr);
            return 2;
        }
        return web::AddUserCommand(*options.users, *options.addUser,
                                   web::SplitFolders(options.folders.value_or("")));
    }
    const auto load = [&](Settings& settings, std::string& message) {
        return LoadSettings(arguments, VELMORA_RELAY_CONFIG, settings, message);
    };
    Settings settings;
    if (!load(settings, error)) {
        std::fprintf(stderr, "velmora-relay: %s\n", error.c_str());
        return 2;
    }
    // One descriptor per connection: the connection limit follows the descriptor limit, raised
    // to the hard limit (LimitNOFILE= of the systemd unit).
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    SystemNetwork network;
    Relay relay(settings, network);
    // The web page: on when both its files are named.
    std::unique_ptr<web::Site> site;
    if (!settings.machinesFile.empty() && !settings.usersFile.empty()) {
        web::SiteOptions page;
        page.machinesFile = settings.machinesFile;
        page.usersFile = settings.usersFile;
        page.englishFile = web::DefaultEnglishFile();
        page.statusInterval = settings.statusInterval;
        site = std::make_unique<web::Site>(page, relay, network);
        std::fprintf(stderr, "velmora-relay: web page on, machines of %s, users of %s\n",
                     page.machinesFile.c_str(), page.usersFile.c_str());
    } else if (!settings.machinesFile.empty() || !settings.usersFile.empty()) {
        std::fputs("velmora-relay: the web page needs both --machines and --users: it is off\n",
                   stderr);
    }
    return Serve(relay, load, site.get());
}
