// Reading, checking and adding the users of the web page.
#include "relay/web/Users.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "common/text/Commun.h"
#include "relay/Settings.h"

namespace velmora::relay::web {

namespace {

constexpr size_t kMaxUsersFileSize = 1024 * 1024;  // bytes
// argon2id at the interactive cost recommended for logins: 2 passes over 19 MiB, which keeps
// the relay far below its memory ceiling while a login is checked.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = 19 * 1024 * 1024;

bool EnsureSodium() {
    static const bool ready = ::sodium_init() >= 0;
    return ready;
}

bool IsFolderName(std::string_view name) {
    if (name.empty() || name.size() > 255) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("|!*?[]=", c)) return false;
    return true;
}

// One line of the password from the terminal, without echo; false at the end of input.
bool ReadSecretLine(bool terminal, const char* prompt, std::string& line) {
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return ok;
}

}  // namespace

bool User::MaySee(std::string_view folder) const {
    if (allFolders) return true;
    for (const std::string& f : folders)
        if (Egal(f, folder)) return true;
    return false;
}

bool IsUserName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == '@';
        if (!ok) return false;
    }
    return true;
}

std::vector<User> ParseUsers(std::string_view text, std::vector<std::string>* problems) {
    std::vector<User> users;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const auto problem = [&](const std::string& what) {
            if (problems) problems->push_back("line " + std::to_string(number) + ": " + what);
        };
        const size_t first = line.find(':');
        const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) {
            problem("expected NAME:HASH:FOLDERS");
            continue;
        }
        User user;
        user.name = std::string(line.substr(0, first));
        user.hash = std::string(line.substr(first + 1, second - first - 1));
        const std::string_view folders = line.substr(second + 1);
        if (!IsUserName(user.name)) {
            problem("bad user name");
            continue;
        }
        if (user.hash.rfind("$argon2id$", 0) != 0) {
            problem("the hash is not an argon2id hash");
            continue;
        }
        bool duplicate = false;
        for (const User& u : users) duplicate = duplicate || u.name == user.name;
        if (duplicate) {
            problem("user " + user.name + " is given twice; the first line counts");
            continue;
        }
        if (folders == "*") {
            user.allFolders = true;
        } else {
            for (const std::string& f : ExtraireChamp(folders, "|"))
                if (!f.empty()) user.folders.push_back(f);
        }
        users.push_back(std::move(user));
    }
    return users;
}

std::string UserLine(const User& user) {
    return user.name + ':' + user.hash + ':' +
           (user.allFolders ? std::string("*") : Joindre(user.folders, "|"));
}

std::string HashPassword(std::string_view password) {
    if (!EnsureSodium()) return {};
    char hash[crypto_pwhash_STRBYTES];
    if (::crypto_pwhash_str_alg(hash, password.data(), password.size(), kOpsLimit, kMemLimit,
                                crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return hash;
}

bool CheckPassword(const std::string& hash, std::string_view password) {
    if (!EnsureSodium() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
    return ::crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

void CheckPasswordDummy(std::string_view password) {
    static const std::string dummy = HashPassword("velmora-no-such-user");
    CheckPassword(dummy, password);
}

bool UserFile::Refresh(std::string& error) {
    struct stat st {};
    if (::stat(m_path.c_str(), &st) != 0) {
        error = "cannot read " + m_path + ": " + std::strerror(errno);
        return false;
    }
    if (st.st_ino == m_inode && st.st_size == m_size && st.st_mtim.tv_sec == m_mtime.tv_sec &&
        st.st_mtim.tv_nsec == m_mtime.tv_nsec)
        return true;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        error = "cannot read " + m_path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (text.size() > kMaxUsersFileSize) {
        error = m_path + " is larger than " + std::to_string(kMaxUsersFileSize) + " bytes";
        return false;
    }
    std::vector<std::string> problems;
    m_users = ParseUsers(text, &problems);
    m_inode = st.st_ino;
    m_size = st.st_size;
    m_mtime = st.st_mtim;
    if (!problems.empty()) {
        error = m_path + ", " + problems.front();
        return false;
    }
    return true;
}

const User* UserFile::Find(std::string_view name) const {
    for (const User& u : m_users)
        if (u.name == name) return &u;
    return nullptr;
}

bool AddUser(const std::string& path, const std::string& name,
             const std::vector<std::string>& folders, std::string_view password,
             std::string& error) {
    if (!IsUserName(name)) {
        error = "the user name must have 1 to 64 letters, digits and . _ - @";
        return false;
    }
    for (const std::string& f : folders) {
        if (!IsFolderName(f)) {
            error = "the folder name \"" + f + "\" holds a character that folder names cannot";
            return false;
        }
    }
    if (password.size() < kMinPasswordLength || password.size() > kMaxPasswordLength) {
        error = "the password must have " + std::to_string(kMinPasswordLength) + " to " +
                std::to_string(kMaxPasswordLength) + " characters";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    for (const User& u : ParseUsers(text)) {
        if (u.name == name) {
            ::close(fd);
            error = "the user " + name + " already exists in " + path;
            return false;
        }
    }
    User user;
    user.name = name;
    user.hash = HashPassword(password);
    user.allFolders = folders.empty();
    user.folders = folders;
    if (user.hash.empty()) {
        ::close(fd);
        error = "cannot hash the password (out of memory?)";
        return false;
    }
    std::string line = UserLine(user) + '\n';
    if (!text.empty() && text.back() != '\n') line.insert(line.begin(), '\n');
    const bool ok = ::fchmod(fd, 0600) == 0 &&
                    ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                    ::fsync(fd) == 0;
    if (!ok) error = "cannot write " + path + ": " + std::strerror(errno);
    ::close(fd);
    return ok;
}

std::vector<std::string> SplitFolders(std::string_view text) {
    std::vector<std::string> folders;
    for (const std::string& f : ExtraireChamp(text, ",")) {
        const std::string_view name = Trim(f);
        if (!name.empty()) folders.emplace_back(name);
    }
    return folders;
}

int AddUserCommand(const std::string& path, const std::string& name,
                   const std::vector<std::string>& folders) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    std::string first, second;
    if (!ReadSecretLine(terminal, "Password: ", first) ||
        !ReadSecretLine(terminal, "Password again: ", second)) {
        std::fputs("velmora-relay: the password must be given twice\n", stderr);
        return 2;
    }
    if (first != second) {
        std::fputs("velmora-relay: the two passwords differ; nothing written\n", stderr);
        return 2;
    }
    std::string error;
    if (!AddUser(path, name, folders, first, error)) {
        std::fprintf(stderr, "velmora-relay: %s\n", error.c_str());
        return 2;
    }
    std::fprintf(stderr, "velmora-relay: user %s added to %s (%s)\n", name.c_str(), path.c_str(),
                 folders.empty() ? "every folder" : Joindre(folders, ", ").c_str());
    return 0;
}

}  // namespace velmora::relay::web
