// Import of the tab-separated export of the Trellide network scanner.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/import/ImportCible.h"

namespace velmora::gui {

// The two questions of an import; each is asked at most once per file and its answer kept.
struct QuestionsImport {
    // "Some lines have no MAC address: skip them?" (true = skip).
    std::function<bool()> ignorerSansMAC;
    // "A machine is already in the list: replace the existing ones?" (true = replace).
    std::function<bool()> remplacerExistants;
    // Called every few hundred lines so that the window keeps answering (may be empty).
    std::function<void()> patienter;
};

struct BilanImport {
    int ajoutees = 0;
    int remplacees = 0;
    int ignorees = 0;  // lines skipped: too short, or without MAC when the user said so
};

// Imports the lines of an export: fields 0 address, 1 name, 3 comment (and the name looked for
// in the list, field 1 when 3 is empty), 5 MAC; lines of 11 fields or more take their comment
// from field 10, else 8, else 3. Empty lines and lines of fewer than 6 fields are skipped.
BilanImport ImporterTrellide(const std::vector<std::string>& lignes, CibleImport& cible,
                             const QuestionsImport& questions);

}  // namespace velmora::gui
