// A private folder of a test's own, removed again.
#ifndef KX_TESTS_TEMPORARY_FOLDER_H
#define KX_TESTS_TEMPORARY_FOLDER_H

#include <filesystem>
#include <string>

#include "tests/support/system.h"

class TemporaryFolder {
public:
    TemporaryFolder() : m_path(MakeTemporaryFolder("kx-log-")) {}
    ~TemporaryFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    std::filesystem::path operator/(const std::string& sName) const { return m_path / sName; }
    std::string string() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

#endif  // KX_TESTS_TEMPORARY_FOLDER_H
