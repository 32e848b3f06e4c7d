// The Translation table: an ordered collection of texts with a case-insensitive key index.
#include <stdexcept>

#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"

namespace velmora::i18n {

void colTraductions::Add(std::string_view Code, std::string_view Valeur) {
    std::string cle = Majuscules(Code);
    if (m_index.count(cle) != 0) {
        throw std::invalid_argument("colTraductions: key already present: " + std::string(Code));
    }
    m_index.emplace(cle, m_entrees.size());
    m_entrees.emplace_back(std::move(cle), std::string(Valeur));
    m_cles.emplace_back(Code);
}

std::string colTraductions::Item(std::string_view vntIndexKey) const {
    // A look-up never fails towards the caller: any trouble gives the empty text.
    try {
        auto it = m_index.find(Majuscules(vntIndexKey));
        return it == m_index.end() ? std::string() : m_entrees[it->second].second;
    } catch (...) {
        return {};
    }
}

std::string colTraductions::Item(size_t position) const {
    if (position < 1 || position > m_entrees.size()) return {};
    return m_entrees[position - 1].second;
}

size_t colTraductions::Count() const { return m_entrees.size(); }

void colTraductions::Remove(std::string_view vntIndexKey) {
    auto it = m_index.find(Majuscules(vntIndexKey));
    if (it == m_index.end()) {
        throw std::out_of_range("colTraductions: no such key: " + std::string(vntIndexKey));
    }
    const size_t position = it->second;
    m_index.erase(it);
    m_entrees.erase(m_entrees.begin() + static_cast<std::ptrdiff_t>(position));
    m_cles.erase(m_cles.begin() + static_cast<std::ptrdiff_t>(position));
    // Entries after the removed one moved down by one.
    for (auto& [cle, index] : m_index) {
        if (index > position) --index;
    }
}

std::vector<std::string> colTraductions::NewEnum() const {
    std::vector<std::string> textes;
    textes.reserve(m_entrees.size());
    for (const auto& entree : m_entrees) textes.push_back(entree.second);
    return textes;
}

void colTraductions::Clear() {
    m_entrees.clear();
    m_cles.clear();
    m_index.clear();
}

colTraductions& Traductions() {
    static colTraductions table;
    return table;
}

std::string Tr(std::string_view cle) { return Traductions().Item(cle); }

std::string Tr(std::string_view cle, const std::vector<std::string>& valeurs) {
    return RemplacerVariables(Traductions().Item(cle), valeurs);
}

}  // namespace velmora::i18n
