// A private temporary folder, removed with everything in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zk4::test {

class TempDir {
  public:
    TempDir() : m_path(Make()) {}
    ~TempDir() { std::filesystem::remove_all(m_path, m_ignored); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

  private:
    static std::string Make() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zk4test.XXXXXX").string();
        return ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp failed");
    }
    std::filesystem::path m_path;
    std::error_code m_ignored;  // a folder that cannot be removed is left behind
};

inline std::string ReadFile(const std::string& path) {
    return (std::ostringstream() << std::ifstream(path, std::ios::binary).rdbuf()).str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

}  // namespace zk4::test
