// What the programs ask of the system about themselves and their user: where the program lies,
// the home folder, environment variables. Behind an interface so that tests run the start-up on
// temporary folders without touching the real home.
#pragma once

#include <string>
#include <string_view>

namespace velmora::platform {

class Systeme {
  public:
    virtual ~Systeme() = default;
    // Folder of the running executable, absolute, without trailing "/" ("" when unknown).
    virtual std::string DossierProgramme() const = 0;
    // The user's home folder without trailing "/" ("" when unknown).
    virtual std::string DossierPersonnel() const = 0;
    // An environment variable, "" when unset.
    virtual std::string Variable(std::string_view nom) const = 0;
    // The current folder, without trailing "/" ("" when unknown).
    virtual std::string DossierCourant() const = 0;
};

// The real system (/proc/self/exe, $HOME or the password database, getenv, getcwd).
Systeme& SystemeReel();
// The system the path routines and the start-up use: the real one unless a test put its own.
Systeme& SystemeCourant();
// Replaces the current system (nullptr restores the real one). For tests; not thread-safe.
void RemplacerSysteme(Systeme* systeme);

}  // namespace velmora::platform
