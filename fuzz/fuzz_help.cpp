// The help loader on damaged help sets: an index (.R10) and a text (.S10)
// from the input, one of them sometimes missing, a topic that may or may not
// have a record; then the text split for the help windows.
// (The input goes through files because the loader opens the pair itself.)
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "help/HelpFiles.h"

namespace {

using wm::fuzz::Bytes;

int Topic(Bytes& in) {
    const std::uint8_t b = in.Byte();
    if (b < 240) return 1300 + b % 100; // file 13, records 0..99
    switch (b % 4) {
    case 0: return -static_cast<int>(in.Word());
    case 1: return 10'000 + in.Word();
    case 2: return 1400 + in.Byte() % 100; // a file that is not there
    default: return in.Word() % 10'000;
    }
}

void Split(const std::string& text) {
    std::string joined;
    for (const wm::HelpPiece& piece : wm::SplitHelpText(text)) {
        WM_FUZZ_CHECK(!piece.Text.empty() && piece.Text.find('$') == std::string::npos);
        joined += piece.Text;
    }
    std::string plain;
    for (const char c : text)
        if (c != '$') plain += c;
    WM_FUZZ_CHECK(joined == plain);
    const std::string jumper = wm::JumperHelpText(text);
    WM_FUZZ_CHECK(jumper.size() == text.size() && jumper.find('$') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const int topic = Topic(in);
    const std::uint8_t shape = in.Byte();
    std::string index = in.Take(in.Word() % 700);
    const std::string text = in.Rest();
    if ((shape & 1) != 0 && topic >= 1301 && topic <= 1399) {
        // Point the topic's record somewhere near the text, so that loads get past the index.
        const std::size_t at = 6 * static_cast<std::size_t>(topic % 100 - 1);
        if (index.size() < at + 6) index.resize(at + 6, '\0');
        const std::uint32_t position = (shape >> 1) + (text.size() > 0 ? 1 : 0);
        const std::uint16_t length = static_cast<std::uint16_t>(text.size() + 1 - std::min<std::size_t>(text.size() + 1, shape >> 1));
        for (int i = 0; i < 4; ++i) index[at + static_cast<std::size_t>(i)] = static_cast<char>(position >> (8 * i));
        index[at + 4] = static_cast<char>(length & 0xFF);
        index[at + 5] = static_cast<char>(length >> 8);
    }

    const std::filesystem::path folder = wm::fuzz::ScratchFolder::Instance().Path() / "help";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const wm::HelpFilePair names = wm::HelpFileNames(1300);
    if ((shape & 0x80) != 0 && (shape & 0x40) != 0) {
        std::filesystem::remove(folder / names.Index, ec);
    } else {
        wm::fuzz::WriteWhole(folder / names.Index, index);
    }
    if ((shape & 0x80) != 0 && (shape & 0x40) == 0) {
        std::filesystem::remove(folder / names.Text, ec);
    } else {
        wm::fuzz::WriteWhole(folder / names.Text, text);
    }

    wm::HelpSession session;
    const wm::HelpTopicText loaded = session.Load(folder, topic);
    if (loaded.Found()) {
        WM_FUZZ_CHECK(session.IsOpen());
        WM_FUZZ_CHECK(!loaded.Text.empty() && loaded.Text.size() <= wm::HelpTextMaxLength);
        WM_FUZZ_CHECK(text.find(loaded.Text) != std::string::npos);
    } else {
        WM_FUZZ_CHECK(!session.IsOpen());
        WM_FUZZ_CHECK(loaded.Text.starts_with("Help not available$ "));
    }
    Split(loaded.Text);
    // The same topic again in the same session reads the same.
    const wm::HelpTopicText twice = session.Load(folder, topic);
    WM_FUZZ_CHECK(twice.Status == loaded.Status && twice.Text == loaded.Text);
    session.Close();
    WM_FUZZ_CHECK(!session.IsOpen());
    Split(text.substr(0, 512));
    return 0;
}
