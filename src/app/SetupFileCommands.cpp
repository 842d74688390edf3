#include "app/SetupFileCommands.h"

#include "app/Baseline.h"
#include "app/Program.h"
#include "comm/Tables.h"
#include "platform/Files.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"

namespace wm {

namespace {

std::string FileProblem(const std::filesystem::path& file, const std::string& problem) {
    return "Setup file " + file.string() + ": " + problem + ".";
}

void Tell(Program& program, const std::string& text, const char* title, MessageId id) {
    program.platform.op.Ask({text, title, Buttons::Ok, Answer::Ok, Icon::Exclamation, id});
}

} // namespace

void DefaultData(Program& program) {
    program.setup.text = std::string(DefaultSetupText);
    program.link.MeterRevision = DefaultMeterRevision;
    program.SetupFileLine2 = std::string(DefaultSetupFileLine2);
    program.derived = DeriveSetup(program.setup, program.derived);
    SetBaseline(program, SetupSource::Default);
}

void DefaultSetup(Program& program) {
    DefaultData(program);
    program.platform.op.SetStatus("Default Setup data loaded into the 3-Page Form.", ColourWhite);
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
    SetBaseline(program, SetupSource::File);
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

std::filesystem::path SetupFileFolder(const Program& program) {
    if (!program.SetupFileName.empty()) {
        const std::filesystem::path folder = std::filesystem::path(program.SetupFileName).parent_path();
        std::error_code ec;
        if (!folder.empty() && std::filesystem::is_directory(folder, ec)) return folder;
    }
    return program.paths.programDir;
}

} // namespace wm
