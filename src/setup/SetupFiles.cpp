#include "setup/SetupFiles.h"

#include <system_error>

#include "app/Program.h"
#include "platform/Files.h"
#include "app/Tables.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "setup/TransferSteps.h"

namespace wm {

namespace {

std::string FileProblem(const std::filesystem::path& file, const std::string& problem) {
    return "Setup file " + file.string() + ": " + problem + ".";
}

void Tell(Program& program, const std::string& text, const char* title, MessageId id) {
    program.platform.op.Ask({text, title, Buttons::Ok, Answer::Ok, Icon::Exclamation, id});
}

// The first field of a line as setup files have always been read, without
// the trailing blanks and CRs that older files carry.
std::string FirstField(std::string_view line) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) return {};
    line.remove_prefix(start);
    line = line.substr(0, line.find(','));
    const std::size_t last = line.find_last_not_of(" \t\r");
    return std::string(line.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

std::string CheckImage(const std::string& image) {
    if (image.empty()) return "the first line holds no setup";
    for (std::size_t i = 0; i < image.size(); ++i)
        if (HexDigitValue(image[i]) < 0)
            return "character " + std::to_string(i + 1) + " of the first line is not a hexadecimal digit";
    if (image.size() < 120)
        return "the first line has " + std::to_string(image.size()) + " characters, a setup has at least 120";
    if (image.size() % 2 != 0)
        return "the first line has an odd number of digits (" + std::to_string(image.size()) +
               "), a setup is made of whole bytes";
    return {};
}

} // namespace

void DefaultData(Program& program) {
    program.setup.text = std::string(DefaultSetupText);
    program.link.MeterRevision = DefaultMeterRevision;
    program.SetupFileLine2 = std::string(DefaultSetupFileLine2);
    program.derived = DeriveSetup(program.setup, program.derived);
}

void DefaultSetup(Program& program) {
    DefaultData(program);
    program.platform.op.SetStatus("Default Setup data loaded into the 3-Page Form.", ColourWhite);
}

SetupFileText ParseSetupFileText(std::string_view bytes) {
    SetupFileText out;
    if (bytes.empty()) {
        out.problem = "the file is empty";
        return out;
    }
    const std::string_view line = bytes.substr(0, bytes.find('\n'));
    if (line.size() > SetupFileLongestLine) {
        out.problem = "the first line is longer than any setup";
        return out;
    }
    out.image = UpperCase(FirstField(line));
    out.problem = CheckImage(out.image);
    if (!out.problem.empty()) out.image.clear();
    return out;
}

SetupFileText ReadSetupFile(const std::filesystem::path& file) {
    // What ParseSetupFileText needs to tell any first line: the whole line
    // with its LF, or one character too many.
    const FileBytes read = ReadFileBounded(file, SetupFileLongestLine + 1);
    if (!read.problem.empty()) return {{}, read.problem};
    return ParseSetupFileText(read.bytes);
}

bool LoadSetupFile(Program& program, const std::filesystem::path& file) {
    const SetupFileText read = ReadSetupFile(file);
    if (!read.problem.empty()) {
        Tell(program,
             file.string() + " is not a setup file: " + read.problem + "." + CarriageReturn +
                 "The setup in memory is kept.",
             "Open Setup File", MessageId::SetupFileProblem);
        return false;
    }
    program.SetupFileName = file.string();
    SetupImage& image = program.setup;
    image.text = read.image;
    if (image.text.size() == 120) {
        // A file of the main block only: revision 00, family 02.
        image.text += "00020D00";
    } else {
        constexpr const FieldDef& revision = FieldNamed("Revision");
        program.link.MeterRevision = FieldCode(image, revision);
        if (program.link.MeterRevision == 0) image.Put(revision.pos, "01");
    }
    // The pages and the menu view read the derived values: they must describe
    // the setup just opened, not the last one the meter sent.
    program.derived = DeriveSetup(image, program.derived);
    return true;
}

bool OpenSetup(Program& program) {
    const auto chosen = program.platform.op.ChooseFile(FileDialog::Open, "Open Setup File", kSetupFileFilter,
                                                       SetupFileFolder(program), "");
    if (!chosen) return false;
    return LoadSetupFile(program, SetupFilePath(program, *chosen));
}

std::string WriteSetupFile(Program& program, const std::filesystem::path& file) {
    if (program.setup.text.size() == 120) program.setup.text += "00000000";
    return WriteFileReplacing(file, program.setup.text + "\r\n" + program.SetupFileLine2 + "\r\n");
}

bool SaveSetup(Program& program) {
    Operator& op = program.platform.op;
    if (program.SetupFileName.empty()) {
        op.Beep();
        Tell(program, "No file name active, use Save Setup As", "Continue", MessageId::NoFileName);
        return false;
    }
    if (op.Ask({"Current data will be replaced.", "", Buttons::OkCancel, Answer::Ok, Icon::Exclamation,
                MessageId::ReplaceFile}) !=
        Answer::Ok)
        return false;
    const std::filesystem::path file = program.SetupFileName;
    const std::string problem = WriteSetupFile(program, file);
    if (!problem.empty()) Tell(program, FileProblem(file, problem), "Save Setup", MessageId::SetupFileProblem);
    return problem.empty();
}

bool SaveSetupAs(Program& program) {
    Operator& op = program.platform.op;
    if (program.setup.text.empty()) {
        op.Beep();
        Tell(program, "No Setup data loaded", "Continue", MessageId::NoSetup);
        return false;
    }
    const auto chosen = op.ChooseFile(FileDialog::SaveAs, "Save Setup File As", kSetupFileFilter,
                                      SetupFileFolder(program),
                                      std::filesystem::path(program.SetupFileName).filename().string());
    if (!chosen) return false;
    const std::string named = WithSetupFileExtension(*chosen);
    const std::filesystem::path file = SetupFilePath(program, named);
    // The dialog asked about replacing the name as typed, not the one with
    // the extension added.
    std::error_code ec;
    if (named != *chosen && std::filesystem::exists(file, ec) &&
        op.Ask({file.filename().string() + " already exists.\rDo you want to replace it?", "Save Setup File As",
                Buttons::YesNo, Answer::No, Icon::Exclamation}) != Answer::Yes)
        return false;
    const std::string problem = WriteSetupFile(program, file);
    if (!problem.empty()) {
        Tell(program, FileProblem(file, problem), "Save Setup File As", MessageId::SetupFileProblem);
        return false;
    }
    program.SetupFileName = file.string();
    return true;
}

std::filesystem::path SetupFilePath(const Program& program, const std::string& chosen) {
    const std::filesystem::path p(chosen);
    if (p.is_absolute() || program.paths.programDir.empty()) return p;
    return program.paths.programDir / p;
}

std::string WithSetupFileExtension(const std::string& chosen) {
    const std::filesystem::path p(chosen);
    if (!p.has_filename() || p.has_extension()) return chosen;
    return chosen + ".WT";
}

std::filesystem::path SetupFileFolder(const Program& program) {
    if (!program.SetupFileName.empty()) {
        const std::filesystem::path folder = std::filesystem::path(program.SetupFileName).parent_path();
        std::error_code ec;
        if (!folder.empty() && std::filesystem::is_directory(folder, ec)) return folder;
    }
    return program.paths.programDir;
}

} // namespace wm
