// Every input a fuzz target has crashed on (fuzz/regressions/<name>/) and
// every seed (fuzz/corpus/<name>/) runs through the target once more, in the
// normal and the sanitizer builds. A broken invariant aborts with its
// message, so a failure here names the file and the check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#define WM_FUZZ_TARGET(name) extern "C" int WmFuzzEntry_##name(const std::uint8_t* data, std::size_t size);
#include "FuzzTargets.inc"
#undef WM_FUZZ_TARGET

namespace {

struct Target {
    const char* name;
    int (*entry)(const std::uint8_t*, std::size_t);
};

void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

const std::vector<Target>& Targets() {
#define WM_FUZZ_TARGET(name) {#name, &WmFuzzEntry_##name},
    static const std::vector<Target> targets = {
#include "FuzzTargets.inc"
    };
#undef WM_FUZZ_TARGET
    return targets;
}

std::vector<std::filesystem::path> Inputs(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class Replay : public ::testing::TestWithParam<Target> {};

TEST_P(Replay, StoredInputsKeepEveryInvariant) {
    const std::string fuzz = std::string(WM_SOURCE_DIR) + "/fuzz/";
    const std::string name = GetParam().name;
    const auto seeds = Inputs(fuzz + "corpus/" + name);
    EXPECT_FALSE(seeds.empty()) << "fuzz/corpus/" << name << " holds no seed";
    auto files = Inputs(fuzz + "regressions/" + name);
    files.insert(files.end(), seeds.begin(), seeds.end());
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(GetParam().entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(FuzzTargets, Replay, ::testing::ValuesIn(Targets()),
                         [](const ::testing::TestParamInfo<Target>& param) { return std::string(param.param.name); });

} // namespace
