// A private temporary folder, removed with everything in it when the test ends.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
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
    // A new folder under a random name, made by us: a name that exists already is another try.
    static std::filesystem::path Make() {
        std::mt19937_64 random(std::random_device{}() ^
                               static_cast<std::uint64_t>(
                                   std::chrono::steady_clock::now().time_since_epoch().count()));
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path path = base / ("zk4test." + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(path, error)) {
                std::filesystem::permissions(path, std::filesystem::perms::owner_all, error);
                return path;
            }
        }
        throw std::runtime_error("cannot make a temporary folder in " + base.string());
    }
    std::filesystem::path m_path;
    std::error_code m_ignored;  // a folder that cannot be removed is left behind
};

inline std::string ReadFile(const std::filesystem::path& path) {
    return (std::ostringstream() << std::ifstream(path, std::ios::binary).rdbuf()).str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

}  // namespace zk4::test
