#pragma once
// What every fuzz target shares: a reader that takes the input apart byte by
// byte (an exhausted input reads as zeros, so every prefix of an input is an
// input too), a check that stops the run with a message when an invariant
// breaks, and a scratch folder for the targets whose readers take files.
//
// The same sources are compiled twice: with libFuzzer for fuzzing, and into
// test_fuzz, which replays the stored inputs in the normal test suites.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace wm::fuzz {

[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

#define WM_FUZZ_CHECK(condition)                                                                   \
    do {                                                                                           \
        if (!(condition)) ::wm::fuzz::Broken(#condition, __FILE__, __LINE__);                     \
    } while (false)

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    [[nodiscard]] bool Empty() const { return at_ >= size_; }
    [[nodiscard]] std::size_t Left() const { return Empty() ? 0 : size_ - at_; }
    std::uint8_t Byte() { return Empty() ? 0 : data_[at_++]; }
    bool Bit() { return (Byte() & 1) != 0; }
    // 0..n-1.
    int Below(int n) { return n <= 0 ? 0 : Byte() % n; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() << 8 | Byte()); }
    // Up to n bytes, fewer at the end of the input.
    std::string Take(std::size_t n) {
        n = std::min(n, Left());
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }
    // A length byte, then that many bytes.
    std::string Counted() { return Take(Byte()); }
    std::string Rest() { return Take(Left()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

inline std::string_view View(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// One folder per process, in memory where the system has /dev/shm, removed
// when the process ends normally. A fuzz run writes its input there once and
// lets the reader under test open it.
class ScratchFolder {
public:
    ScratchFolder() {
        const std::filesystem::path shm = "/dev/shm";
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
        path_ = base / ("wm-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_, ec);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

    static ScratchFolder& Instance() {
        static ScratchFolder folder;
        return folder;
    }

private:
    std::filesystem::path path_;
};

inline void WriteWhole(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Broken("cannot write the scratch file", __FILE__, __LINE__);
}

inline bool IsUpperHex(std::string_view s) {
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

} // namespace wm::fuzz
