#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <vector>

namespace wm {

namespace {

constexpr std::size_t kNameKept = 200; // leaves room under the 255-byte limit of a name
constexpr std::size_t kRandomLetters = 6;
constexpr int kNameTries = 100;
constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string Reason(int error) { return std::generic_category().message(error); }

// A descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

std::string TemporaryPrefix(const std::string& name) { return "." + name.substr(0, kNameKept) + "."; }

std::string RandomLetters() {
    std::array<unsigned char, kRandomLetters> raw{};
    if (::getrandom(raw.data(), raw.size(), GRND_NONBLOCK) != static_cast<ssize_t>(raw.size())) {
        // No random bytes this early after boot: the clock, the process and a
        // counter still make a taken name unlikely, and O_EXCL makes one harmless.
        static std::atomic<std::uint64_t> counter{0};
        std::uint64_t mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                            static_cast<std::uint64_t>(::getpid()) << 32 ^
                            counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL;
        for (unsigned char& b : raw) {
            mix = (mix ^ mix >> 29) * 0xBF58476D1CE4E5B9ULL;
            b = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::string letters;
    for (const unsigned char b : raw) letters += kAlphabet[b % kAlphabet.size()];
    return letters;
}

bool IsTemporaryOf(std::string_view entry, const std::string& prefix) {
    const std::string_view suffix = TemporaryFileSuffix;
    if (entry.size() != prefix.size() + kRandomLetters + suffix.size()) return false;
    if (entry.substr(0, prefix.size()) != prefix || entry.substr(entry.size() - suffix.size()) != suffix) return false;
    for (const char c : entry.substr(prefix.size(), kRandomLetters))
        if (kAlphabet.find(c) == std::string_view::npos) return false;
    return true;
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a fifo";
    if (S_ISSOCK(mode)) return "a socket";
    return "something other than a file";
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Where a save of `file` goes and what it replaces.
struct Target {
    std::filesystem::path path;
    bool exists = false;
    struct stat old {};
    std::string problem;
};

Target ResolveTarget(const std::filesystem::path& file) {
    Target t;
    t.path = file;
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) {
        if (errno != ENOENT) t.problem = "cannot replace " + file.string() + " (" + Reason(errno) + ")";
        return t; // a new file when missing
    }
    std::string named = file.string();
    if (S_ISLNK(st.st_mode)) {
        // Write through to the file the link finally leads to, so the link stays.
        std::error_code ec;
        t.path = std::filesystem::canonical(file, ec);
        if (ec || ::lstat(t.path.c_str(), &st) != 0) {
            t.problem = "cannot replace " + named + ": it is a symbolic link that leads to no file";
            return t;
        }
        named += " (a link to " + t.path.string() + ")";
    }
    if (!S_ISREG(st.st_mode)) {
        t.problem = "cannot replace " + named + ": it is " + KindOf(st.st_mode) + ", not a file";
        return t;
    }
    t.exists = true;
    t.old = st;
    return t;
}

// The temporary file of one save: created exclusively, locked while it is
// written, removed unless it was renamed into place.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        if (fd_ < 0) return;
        if (!path_.empty()) ::unlink(path_.c_str());
        ::close(fd_); // releases the lock
    }

    // Returns 0 or the errno of the failure.
    int Create(const std::filesystem::path& folder, const std::string& name, mode_t mode) {
        for (int attempt = 0; attempt < kNameTries; ++attempt) {
            const std::filesystem::path p = folder / (TemporaryPrefix(name) + RandomLetters() + TemporaryFileSuffix);
            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd < 0) {
                if (errno == EEXIST || errno == EINTR) continue;
                return errno;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int error = errno;
                if (error == EWOULDBLOCK) {
                    // Another save's cleaning took it between our open and our
                    // lock, and removes it: take another name.
                    ::close(fd);
                    continue;
                }
                // A folder without locks: nobody can lock to remove it either.
            }
            struct stat mine {}, there {};
            if (::fstat(fd, &mine) != 0 || mine.st_nlink == 0 || ::lstat(p.c_str(), &there) != 0 ||
                !SameFile(mine, there)) {
                ::close(fd); // removed by a cleaning that had it locked before us
                continue;
            }
            fd_ = fd;
            path_ = p;
            return 0;
        }
        return EEXIST;
    }
    [[nodiscard]] int Fd() const { return fd_; }
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // The file now has the target's name: nothing to remove any more.
    void Renamed() { path_.clear(); }

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

int WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Makes the rename itself last. Returns 0 or the errno of a flush that failed;
// a folder that cannot be opened for reading, or a file system that does not
// flush folders, is taken as flushed.
int SyncFolder(const std::filesystem::path& folder) {
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return 0;
    if (::fsync(dir.get()) == 0 || errno == EINVAL || errno == EROFS) return 0;
    return errno;
}

// Removes the temporaries of `name` that saves killed on the way left behind.
// A temporary that someone holds locked belongs to a save still running.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const std::string prefix = TemporaryPrefix(name);
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(dir))
        if (IsTemporaryOf(e->d_name, prefix)) found.emplace_back(e->d_name);
    const int dfd = ::dirfd(dir);
    for (const std::string& entry : found) {
        const Descriptor fd(::openat(dfd, entry.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat held {}, there {};
        if (fd.get() < 0 || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        if (::fstatat(dfd, entry.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(held, there)) continue;
        ::unlinkat(dfd, entry.c_str(), 0);
    }
    ::closedir(dir);
}

} // namespace

std::string WriteFileReplacing(const std::filesystem::path& file, const std::string& bytes) {
    const Target target = ResolveTarget(file);
    if (!target.problem.empty()) return target.problem;
    const std::string shown = target.path.string();
    std::filesystem::path folder = target.path.parent_path();
    if (folder.empty()) folder = ".";
    const std::string name = target.path.filename().string();

    Temporary temp;
    // A file that exists gets its own mode below; until then only we may read.
    if (const int error = temp.Create(folder, name, target.exists ? 0600 : 0666); error != 0)
        return "cannot write " + shown + " (no temporary file in " + folder.string() + ": " + Reason(error) + ")";
    if (target.exists) {
        // The owner first: changing it clears set-id bits that the mode then restores.
        if (::geteuid() == 0) {
            (void)::fchown(temp.Fd(), target.old.st_uid, target.old.st_gid);
        } else {
            (void)::fchown(temp.Fd(), static_cast<uid_t>(-1), target.old.st_gid);
        }
        if (::fchmod(temp.Fd(), target.old.st_mode & 07777) != 0)
            return "cannot write " + shown + " (" + Reason(errno) + ")";
    }
    if (const int error = WriteAll(temp.Fd(), bytes); error != 0)
        return "cannot write " + shown + " (" + Reason(error) + ")";
    if (::fsync(temp.Fd()) != 0) return "cannot write " + shown + " (" + Reason(errno) + ")";
    if (::rename(temp.Path().c_str(), target.path.c_str()) != 0)
        return "cannot replace " + shown + " (" + Reason(errno) + ")";
    temp.Renamed();
    const int flushed = SyncFolder(folder);
    RemoveStaleTemporaries(folder, name);
    if (flushed != 0) return shown + " was replaced, but its folder could not be flushed to disk (" + Reason(flushed) + ")";
    return {};
}

FileBytes ReadFileBounded(const std::filesystem::path& file, std::size_t maxBytes) {
    FileBytes out;
    // Look before opening: opening a device or a fifo can wait or act on it.
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        out.problem = "the file cannot be opened (it is missing or not readable)";
        return out;
    }
    if (S_ISDIR(st.st_mode)) {
        out.problem = "it is a folder, not a file";
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.problem = "it is not a regular file (a device, a pipe or a socket)";
        return out;
    }
    const Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        out.problem = "the file cannot be opened (it is missing or not readable)";
        return out;
    }
    if (!S_ISREG(st.st_mode)) { // replaced between the look and the open
        out.problem = S_ISDIR(st.st_mode) ? "it is a folder, not a file"
                                          : "it is not a regular file (a device, a pipe or a socket)";
        return out;
    }
    // One byte more than the bound tells whether the file holds more.
    const std::size_t wanted = maxBytes + 1;
    out.bytes.resize(std::min<std::size_t>(wanted, static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 1));
    std::size_t got = 0;
    while (got < wanted) {
        if (got == out.bytes.size()) out.bytes.resize(std::min(wanted, out.bytes.size() * 2));
        const ssize_t n = ::read(fd.get(), out.bytes.data() + got, out.bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.problem = "the file cannot be read (" + Reason(errno) + ")";
            out.bytes.clear();
            return out;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.whole = got <= maxBytes;
    out.bytes.resize(std::min(got, maxBytes));
    return out;
}

std::string FirstFieldOfLine(std::string_view line) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) return {};
    line.remove_prefix(start);
    line = line.substr(0, line.find(','));
    const std::size_t last = line.find_last_not_of(" \t\r");
    return std::string(line.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

} // namespace wm
