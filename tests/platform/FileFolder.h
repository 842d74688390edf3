#pragma once
// A fresh folder for file tests, removed when the test ends, and small helpers
// to look at what is in it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace wm::test {

class FileFolder {
public:
    // Under /dev/shm when there is one: the saves flush to disk, which costs
    // nothing on a memory file system and keeps the many-save tests quick.
    explicit FileFolder(bool inMemory = false) {
        static std::atomic<int> counter{0};
        std::filesystem::path base = std::filesystem::temp_directory_path();
        if (inMemory && std::filesystem::is_directory("/dev/shm")) base = "/dev/shm";
        path_ = base / ("wm-files-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    FileFolder(const FileFolder&) = delete;
    FileFolder& operator=(const FileFolder&) = delete;
    ~FileFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // The names in the folder, sorted.
    [[nodiscard]] std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

inline mode_t ModeOf(const std::filesystem::path& file) {
    struct stat st {};
    ::lstat(file.c_str(), &st);
    return st.st_mode;
}

} // namespace wm::test
