// The built-in text lists of the two programs (internal to the translation module).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace velmora::i18n {

// The windowed program's keys and French texts, in order.
const std::vector<std::pair<const char*, const char*>>& TextesFenetre();
// The console program's own keys (after the 30 it shares with the windowed program).
const std::vector<std::pair<const char*, const char*>>& TextesConsolePropres();

// The network operations' keys, added after each program's own list.
const std::vector<std::pair<const char*, const char*>>& TextesReseau();

// How many keys of the windowed program's list open the console program's list too.
constexpr size_t kTextesCommuns = 30;

}  // namespace velmora::i18n
