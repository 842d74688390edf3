// Setup files (*.WT) as Open Setup reads them: the image check, the load
// into a program (completion of a main-block-only file, the revision), and
// Save followed by Open again giving the same image.
// (The input goes through a file because the reader takes one.)
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "app/Program.h"
#include "platform/MemorySerialPort.h"
#include "platform/Operator.h"
#include "platform/VirtualTime.h"
#include "setup/Fields.h"
#include "app/SetupFileCommands.h"

namespace {

class SilentOperator final : public wm::Operator {
public:
    wm::Answer Ask(const wm::MessageBox& box) override {
        ++told;
        return box.defaultAnswer;
    }
    void SetStatus(const std::string&, wm::Rgb) override {}
    void HideStatus() override {}
    void SetProgress(int) override {}
    void SetProgressVisible(bool) override {}
    void SetBusy(bool) override {}
    void Beep() override {}
    std::optional<std::string> ChooseFile(wm::FileDialog, const std::string&, const std::string&, const std::filesystem::path&,
                                          const std::string&) override {
        return std::nullopt;
    }
    void EndProgram() override {}
    int told = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path folder = wm::fuzz::ScratchFolder::Instance().Path();
    const std::filesystem::path file = folder / "fuzz.WT";
    wm::fuzz::WriteWhole(file, wm::fuzz::View(data, size));

    const wm::SetupFileText read = wm::ReadSetupFile(file);
    if (read.problem.empty()) {
        WM_FUZZ_CHECK(wm::fuzz::IsUpperHex(read.image));
        WM_FUZZ_CHECK(read.image.size() >= 120 && read.image.size() % 2 == 0 &&
                      read.image.size() <= wm::SetupImage::MaxLength);
    } else {
        WM_FUZZ_CHECK(read.image.empty());
    }

    wm::VirtualTime vt;
    wm::MemorySerialPort port(vt);
    SilentOperator op;
    wm::Program program(wm::Platform{port, vt, vt, op}, wm::ProgramPaths{folder / "Settings.SSS", folder, ""});
    const std::string before = program.setup.text;
    const bool loaded = wm::LoadSetupFile(program, file);
    WM_FUZZ_CHECK(loaded == read.problem.empty());
    if (!loaded) {
        // Refused with a message; the setup in memory is kept.
        WM_FUZZ_CHECK(op.told == 1 && program.setup.text == before && program.SetupFileName.empty());
        return 0;
    }
    const std::string& image = program.setup.text;
    WM_FUZZ_CHECK(wm::fuzz::IsUpperHex(image));
    WM_FUZZ_CHECK(image.size() == (read.image.size() == 120 ? 128 : read.image.size()));
    WM_FUZZ_CHECK(program.link.MeterRevision == (read.image.size() == 120 ? 0 : program.setup.ByteAt(121)) ||
                  program.link.MeterRevision == 0);
    (void)wm::DescribeSetup(program.setup);

    const std::filesystem::path saved = folder / "saved.WT";
    WM_FUZZ_CHECK(wm::WriteSetupFile(program, saved).empty());
    const wm::SetupFileText again = wm::ReadSetupFile(saved);
    WM_FUZZ_CHECK(again.problem.empty() && again.image == image);
    return 0;
}
