// A private folder of a test's own, removed again.
#ifndef KX_TESTS_TEMPORARY_FOLDER_H
#define KX_TESTS_TEMPORARY_FOLDER_H

#include <stdlib.h>

#include <filesystem>
#include <string>

class TemporaryFolder {
public:
    TemporaryFolder() {
        char szTemplate[] = "/tmp/kx-log-XXXXXX";
        m_path = mkdtemp(szTemplate);
    }
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
