#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <unistd.h>

#include <thread>

#include "FileFolder.h"
#include "platform/Files.h"

namespace wm::test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(WriteFileReplacing, replacesTheFileWholeAndLeavesNothingElse) {
    FileFolder folder;
    const auto file = folder / "out.WT";
    ASSERT_EQ(WriteFileReplacing(file, "first\r\n"), "");
    ASSERT_EQ(WriteFileReplacing(file, "second\r\n0\r\n"), "");
    EXPECT_EQ(ReadAll(file), "second\r\n0\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.WT"});
}

TEST(WriteFileReplacing, linksPlantedAtTemporaryNamesAreNotFollowed) {
    FileFolder folder;
    const auto victim = folder / "victim";
    WriteAll(victim, "precious");
    const auto file = folder / "out.WT";
    // The name the program used to write to, and one of the shape it writes to now.
    for (const char* planted : {"out.WT.tmp", ".out.WT.AbCdEf.wmtmp"})
        std::filesystem::create_symlink(victim, folder / planted);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(WriteFileReplacing(file, "setup " + std::to_string(i)), "");
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_EQ(ReadAll(file), "setup 2");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "out.WT.tmp"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / ".out.WT.AbCdEf.wmtmp"));
    EXPECT_EQ(folder.Names().size(), 4U);
}

TEST(WriteFileReplacing, aLinkedFileIsWrittenThroughAndStaysALink) {
    FileFolder folder;
    std::filesystem::create_directories(folder / "real");
    WriteAll(folder / "real" / "Settings.SSS", "old");
    ::chmod((folder / "real" / "Settings.SSS").c_str(), 0640);
    std::filesystem::create_symlink(folder / "real" / "Settings.SSS", folder / "hop");
    std::filesystem::create_symlink("hop", folder / "Settings.SSS");
    ASSERT_EQ(WriteFileReplacing(folder / "Settings.SSS", "new"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "Settings.SSS"));
    EXPECT_EQ(ReadAll(folder / "real" / "Settings.SSS"), "new");
    EXPECT_EQ(ModeOf(folder / "real" / "Settings.SSS") & 07777, 0640U);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Settings.SSS", "hop", "real"}));

    // A link that leads nowhere is refused: nothing is created at its far end.
    std::filesystem::create_symlink(folder / "nowhere" / "x", folder / "dangling");
    const std::string problem = WriteFileReplacing(folder / "dangling", "new");
    EXPECT_TRUE(Contains(problem, (folder / "dangling").string())) << problem;
    EXPECT_TRUE(Contains(problem, "symbolic link")) << problem;
    EXPECT_FALSE(std::filesystem::exists(folder / "nowhere"));
}

TEST(WriteFileReplacing, thePermissionBitsOfTheOldFileAreKept) {
    FileFolder folder;
    for (const mode_t mode : {0600, 0640, 0755, 0444}) {
        const auto file = folder / ("m" + std::to_string(mode));
        WriteAll(file, "old");
        ::chmod(file.c_str(), mode);
        ASSERT_EQ(WriteFileReplacing(file, "new"), "") << mode;
        EXPECT_EQ(ModeOf(file) & 07777, mode) << std::oct << mode;
        EXPECT_EQ(ReadAll(file), "new");
    }
}

TEST(WriteFileReplacing, rootKeepsTheOwnerOfTheOldFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
    FileFolder folder;
    const auto file = folder / "owned";
    WriteAll(file, "old");
    ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
    ASSERT_EQ(WriteFileReplacing(file, "new"), "");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321U);
    EXPECT_EQ(st.st_gid, 4322U);
}

TEST(WriteFileReplacing, onlyARegularFileIsReplaced) {
    FileFolder folder;
    std::filesystem::create_directories(folder / "a folder");
    ASSERT_EQ(::mkfifo((folder / "a fifo").c_str(), 0600), 0);
    struct Row {
        std::string name;
        const char* kind;
    };
    std::vector<Row> rows{{"a folder", "a folder"}, {"a fifo", "a fifo"}};
    // A device node like /dev/full, made here so that a fault cannot touch the real one.
    // Only root can make one; others test the rest.
    if (::geteuid() == 0 && ::mknod((folder / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0)
        rows.push_back({"full", "a device"});
    std::filesystem::create_symlink(folder / "a fifo", folder / "link to a fifo");
    rows.push_back({"link to a fifo", "a fifo"});

    const auto before = folder.Names();
    for (const Row& r : rows) {
        const mode_t type = ModeOf(folder / r.name) & S_IFMT;
        const std::string problem = WriteFileReplacing(folder / r.name, "data");
        EXPECT_TRUE(Contains(problem, (folder / r.name).string())) << problem;
        EXPECT_TRUE(Contains(problem, std::string("it is ") + r.kind + ", not a file")) << problem;
        EXPECT_EQ(ModeOf(folder / r.name) & S_IFMT, type) << r.name;
    }
    EXPECT_EQ(folder.Names(), before); // no temporary file left
}

TEST(WriteFileReplacing, aFailedSaveLeavesNoTemporaryFile) {
    FileFolder folder;
    const auto missing = folder / "missing-folder" / "x.WT";
    EXPECT_TRUE(Contains(WriteFileReplacing(missing, "data"), "cannot write " + missing.string()));
    if (::geteuid() != 0) {
        // Root writes into any folder, so only others can meet a read-only one.
        const auto file = folder / "ro" / "x.WT";
        std::filesystem::create_directories(file.parent_path());
        WriteAll(file, "old");
        ::chmod(file.parent_path().c_str(), 0555);
        EXPECT_TRUE(Contains(WriteFileReplacing(file, "new"), file.string()));
        EXPECT_EQ(ReadAll(file), "old");
        ::chmod(file.parent_path().c_str(), 0755);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
    }
    // A file replaced by a folder between two saves: refused, nothing left beside it.
    const auto file = folder / "late.WT";
    ASSERT_EQ(WriteFileReplacing(file, "one"), "");
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    EXPECT_NE(WriteFileReplacing(file, "two"), "");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"late.WT"});
}

TEST(WriteFileReplacing, concurrentSavesOfOneNameAllSucceedWhole) {
    FileFolder folder(true);
    const auto file = folder / "out.WT";
    const std::string a(2000, 'a'), b(3000, 'b');
    int failures = 0, torn = 0;
    for (int pair = 0; pair < 150; ++pair) {
        std::string ra, rb;
        std::thread one([&] { ra = WriteFileReplacing(file, a); });
        std::thread two([&] { rb = WriteFileReplacing(file, b); });
        one.join();
        two.join();
        failures += !ra.empty() + !rb.empty();
        const std::string now = ReadAll(file);
        torn += now != a && now != b;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.WT"});
}

TEST(WriteFileReplacing, staleTemporariesOfTheSameNameAreRemovedButNotLiveOnes) {
    FileFolder folder;
    const auto file = folder / "out.WT";
    WriteAll(folder / ".out.WT.Xy12Zq.wmtmp", "left by a killed save");
    WriteAll(folder / ".out.WT.Ab34Cd.wmtmp", "still being written");
    const int live = ::open((folder / ".out.WT.Ab34Cd.wmtmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    // Not ours or not this file's: kept.
    for (const char* other : {".other.WT.Xy12Zq.wmtmp", ".out.WT.Xy12.wmtmp", "out.WT.Xy12Zq.wmtmp"})
        WriteAll(folder / other, "keep");

    ASSERT_EQ(WriteFileReplacing(file, "new"), "");
    ::close(live);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{".other.WT.Xy12Zq.wmtmp", ".out.WT.Ab34Cd.wmtmp",
                                                        ".out.WT.Xy12.wmtmp", "out.WT", "out.WT.Xy12Zq.wmtmp"}));
    // Once its writer is gone, the next save removes it too.
    ASSERT_EQ(WriteFileReplacing(file, "newer"), "");
    EXPECT_FALSE(std::filesystem::exists(folder / ".out.WT.Ab34Cd.wmtmp"));
}

TEST(WriteFileReplacing, aVeryLongNameStillGetsATemporary) {
    FileFolder folder;
    const auto file = folder / (std::string(250, 'n') + ".WT");
    ASSERT_EQ(WriteFileReplacing(file, "data"), "");
    EXPECT_EQ(ReadAll(file), "data");
    EXPECT_EQ(folder.Names().size(), 1U);
}

TEST(ReadFileBounded, readsUpToTheBoundAndSaysWhetherThereIsMore) {
    FileFolder folder;
    struct Row {
        std::size_t size, bound;
        bool whole;
    };
    for (const Row r : {Row{0, 10, true}, Row{10, 10, true}, Row{11, 10, false}, Row{100000, 4096, false},
                        Row{5000, 100000, true}}) {
        std::string content(r.size, 'x');
        for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
        WriteAll(folder / "f", content);
        const FileBytes got = ReadFileBounded(folder / "f", r.bound);
        EXPECT_EQ(got.problem, "");
        EXPECT_EQ(got.whole, r.whole) << r.size;
        EXPECT_EQ(got.bytes, content.substr(0, r.bound)) << r.size;
    }
}

TEST(ReadFileBounded, foldersDevicesAndFifosAreRefusedWithoutWaiting) {
    FileFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directories(folder / "dir");
    EXPECT_EQ(ReadFileBounded(folder / "dir", 100).problem, "it is a folder, not a file");
    EXPECT_EQ(ReadFileBounded(folder / "fifo", 100).problem, "it is not a regular file (a device, a pipe or a socket)");
    EXPECT_EQ(ReadFileBounded("/dev/zero", 100).problem, "it is not a regular file (a device, a pipe or a socket)");
    EXPECT_EQ(ReadFileBounded(folder / "none", 100).problem,
              "the file cannot be opened (it is missing or not readable)");
}

} // namespace
} // namespace wm::test
