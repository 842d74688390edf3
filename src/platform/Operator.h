#pragma once
// Everything the core needs from the person at the program: message boxes,
// the status line, the progress bar, the busy pointer, a beep, file choice.
// The desktop program answers with real dialogs, wmctl with its flags and
// standard output, the tests with scripted answers.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wm {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };
enum class Icon { None, Exclamation, Question, Critical, Information };

// Which message a box is. wmctl and the tests answer a question by its
// identity, never by its wording or title, which may be shared or change.
enum class MessageId {
    None,                   // no fixed identity (the windows' own notices)
    ConnectionProblem,      // Settings.SSS or the serial port cannot be used; no meter link
    SettingsFileNotWritten, // Settings.SSS could not be rewritten
    WrongInstrument,        // the settings name an instrument this program does not set up
    CorruptType,            // the signal-conditioner type is corrupt: end the program? (Yes/No)
    CommunicationError,     // a signal-conditioner exchange failed
    MeterTypeUndetermined,  // Put check: the meter's board kind is unknown; the Put is abandoned
    IncompatibleData,       // Put check: the setup's board type and range disagree; abandoned
    SCMismatch,             // Put check: meter and setup boards differ; Put all the same? (Yes/No)
    PartialWrite,           // a Modbus Put stopped after the meter took some blocks
    SettingsNotFollowed,    // the setup just put holds serial settings the link cannot follow
    NoFileName,             // Save Setup without a file name
    NoSetup,                // Save Setup As with no setup loaded
    ReplaceFile,            // Save Setup: the file will be replaced (Ok/Cancel)
    SetupFileProblem,       // a setup file could not be read or written
    NoPrinter,              // Print with no printer installed: save as PDF instead? (Yes/No)
    FileNotWritten,         // a picture, record or export file could not be written
    NodeCannotListen,       // the node can never call back: no port to listen on, or no node address
    NodeNotConnected,       // the node did not call back; the program ends
    NodeBroken,             // the node's connection broke during an exchange; restart the program
};

struct MessageBox {
    std::string text;
    std::string title; // empty: the program's default title
    Buttons buttons = Buttons::Ok;
    Answer defaultAnswer = Answer::Ok;
    Icon icon = Icon::None;
    MessageId id = MessageId::None;
};

enum class FileDialog { Open, SaveAs };

// Before a Put: the fields it will change on the meter, each by name with
// the text shown for the meter's value and for the value to be put.
struct PutPreview {
    struct Change {
        std::string name, meter, put;
    };
    std::vector<Change> changes;
    // The box's check box; the operator's choice comes back in it.
    bool showBeforeEveryPut = true;
};

class Operator {
public:
    virtual ~Operator() = default;
    virtual Answer Ask(const MessageBox& box) = 0;
    // The main window's status line (lblPGText).
    virtual void SetStatus(const std::string& caption, Rgb background) = 0;
    virtual void HideStatus() = 0;
    // The main window's progress bar (pbBar): value 0..100.
    virtual void SetProgress(int value) = 0;
    virtual void SetProgressVisible(bool visible) = 0;
    virtual void SetBusy(bool hourglass) = 0;
    virtual void Beep() = 0;
    // A file chosen in an Open or Save As dialog that starts in `folder` with
    // `name` filled in (empty: none); nullopt when the operator cancels.
    virtual std::optional<std::string> ChooseFile(FileDialog kind, const std::string& title,
                                                  const std::string& filter, const std::filesystem::path& folder,
                                                  const std::string& name) = 0;
    // The program is to end (a refused settings file, the operator's answer
    // to the corrupt signal-conditioner question). The caller returns at
    // once after asking; the front end ends the program when control is back.
    virtual void EndProgram() = 0;
    // Shows what a Put will change and asks whether to go on: Ok puts,
    // Cancel sends nothing. An operator with no box to show goes on.
    virtual Answer ReviewPut(PutPreview& preview) {
        (void)preview;
        return Answer::Ok;
    }
};

} // namespace wm
