// The console of VelmoraBatch: what a run writes and how it ends.
//
// Output is UTF-8 text written as it is given; line ends are "\n" (kFinLigne). A run ends by
// TerminerBatch, which throws FinBatch: ExecuterBatch catches it and returns its code, so a
// test can run the whole program in-process.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::batch {

inline constexpr const char* kFinLigne = "\n";

// Thrown to end the run with an exit code.
struct FinBatch {
    int code;
};

class Console {
  public:
    explicit Console(std::ostream& sortie) : m_sortie(sortie) {}

    // Quiet mode (/d): EcrireConsole writes nothing; only the messages of exit codes 1 and 2
    // still reach the console.
    void DefinirSilencieux(bool silencieux) { m_silencieux = silencieux; }
    bool Silencieux() const { return m_silencieux; }

    // Writes the text as it is, without adding a line break; nothing in quiet mode.
    void EcrireConsole(std::string_view texte);
    // Writes the text (codes 1 and 2: also in quiet mode). When `continuer` is false, then
    // writes a line break and ends the run with `code` (throws FinBatch); otherwise returns.
    void TerminerBatch(int code, std::string_view texte, bool continuer);
    // Writes the text whatever the quiet mode (start-up messages, written before the options
    // are known).
    void EcrireToujours(std::string_view texte);

  private:
    std::ostream& m_sortie;
    bool m_silencieux = false;
};

// The text of a console key with its "%v" filled; the built-in French text when the table
// does not hold the key (start-up failed before it was filled).
std::string Texte(std::string_view cle, const std::vector<std::string>& valeurs = {});

// A label without its "&" accelerator marks.
std::string SansEsperluette(std::string_view libelle);

}  // namespace velmora::batch
