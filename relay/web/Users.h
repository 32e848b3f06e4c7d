// The users of the relay's web page: a text file with one line per user,
//     NAME:HASH:FOLDERS
// NAME is 1 to 64 letters, digits and . _ - @; HASH is an argon2id string made by libsodium
// (crypto_pwhash_str); FOLDERS is "*" for every folder, or the folder names joined by "|" (a
// character no folder name may hold). Blank lines and lines starting with "#" are ignored.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::relay::web {

struct User {
    std::string name;
    std::string hash;
    bool allFolders = false;
    std::vector<std::string> folders;  // when not allFolders
    // True when the user may see `folder` (compared as the folder list compares names).
    bool MaySee(std::string_view folder) const;
};

inline constexpr size_t kMinPasswordLength = 8, kMaxPasswordLength = 1024;

// True for a user name of 1 to 64 characters among letters, digits and . _ - @.
bool IsUserName(std::string_view name);

// Parses the file's text. Malformed lines are skipped, each described in `problems`
// ("line N: ..."); a name given twice keeps its first line.
std::vector<User> ParseUsers(std::string_view text, std::vector<std::string>* problems = nullptr);
// One line of the file, without its line end.
std::string UserLine(const User& user);

// The argon2id hash of a password (interactive cost, about 19 MiB of memory); "" on failure.
std::string HashPassword(std::string_view password);
// True when `password` matches `hash`. An empty or malformed hash never matches.
bool CheckPassword(const std::string& hash, std::string_view password);
// Spends the time of one CheckPassword, so that an unknown name takes as long as a known one.
void CheckPasswordDummy(std::string_view password);

// The users file, read again when it changes on disk (size, time or inode).
class UserFile {
  public:
    explicit UserFile(std::string path) : m_path(std::move(path)) {}
    // Re-reads the file when it changed; false with `error` when it cannot be read (the users
    // read last time then stay).
    bool Refresh(std::string& error);
    const User* Find(std::string_view name) const;
    const std::vector<User>& Users() const { return m_users; }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
    std::vector<User> m_users;
    ino_t m_inode = 0;
    off_t m_size = -1;
    struct timespec m_mtime {};
};

// Appends a user to the file (created with mode 0600; an existing file is set to 0600 too).
// `folders` empty means every folder. False with `error` for a bad or taken name, a folder
// name with a forbidden character, a password too short or too long, or a write failure.
bool AddUser(const std::string& path, const std::string& name,
             const std::vector<std::string>& folders, std::string_view password,
             std::string& error);

// Splits the text of --folders at "," (blanks around names dropped, empty names skipped).
std::vector<std::string> SplitFolders(std::string_view text);

// The --add-user dialogue: reads the password twice (without echo on a terminal, else two lines
// of standard input), then AddUser. Returns the process exit code and writes its messages on
// standard error.
int AddUserCommand(const std::string& path, const std::string& name,
                   const std::vector<std::string>& folders);

}  // namespace velmora::relay::web
