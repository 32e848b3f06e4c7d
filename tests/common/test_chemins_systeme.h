// A hand-written Systeme for tests: program folder, home, current folder and environment are
// plain members, and a temporary folder tree is made and removed with the fixture.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "common/platform/Systeme.h"

namespace velmora::test {

class SystemeFaux : public platform::Systeme {
  public:
    std::string DossierProgramme() const override { return programme; }
    std::string DossierPersonnel() const override { return personnel; }
    std::string DossierCourant() const override { return courant; }
    std::string Variable(std::string_view nom) const override {
        auto it = variables.find(std::string(nom));
        return it == variables.end() ? "" : it->second;
    }
    std::string programme, personnel, courant;
    std::map<std::string, std::string> variables;
};

// A temporary root with "prog/", "home/" and "cwd/", the fake system pointing at them.
class AvecSystemeFaux : public ::testing::Test {
  protected:
    void SetUp() override {
        char modele[] = "/tmp/velmora-test-XXXXXX";
        ASSERT_NE(::mkdtemp(modele), nullptr);
        m_racine = modele;
        for (const char* d : {"prog", "home", "cwd"})
            std::filesystem::create_directory(m_racine + "/" + d);
        m_systeme.programme = m_racine + "/prog";
        m_systeme.personnel = m_racine + "/home";
        m_systeme.courant = m_racine + "/cwd";
        platform::RemplacerSysteme(&m_systeme);
    }
    void TearDown() override {
        platform::RemplacerSysteme(nullptr);
        std::error_code ignore;
        std::filesystem::remove_all(m_racine, ignore);
    }
    static void Ecrire(const std::string& chemin, const std::string& contenu) {
        std::filesystem::create_directories(std::filesystem::path(chemin).parent_path());
        std::ofstream(chemin, std::ios::binary) << contenu;
    }
    static std::string Lire(const std::string& chemin) {
        std::ifstream f(chemin, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    std::string m_racine;
    SystemeFaux m_systeme;
};

}  // namespace velmora::test
