#pragma once
// The signal-conditioner calibration procedure, without widgets: range by
// range the operator places jumpers, applies an accurate input, and the
// procedure reads the meter, computes a corrected calibration word, writes it
// into the board's non-volatile memory, reads the meter again and lets the
// operator repeat the correction or keep one of up to ten attempts.
//
// The window (frmCalib) holds one Calibration, calls the handlers below from
// its controls' events, and after every `changed` notification copies the
// state (CalibState) into its controls: captions, enabled and visible flags,
// the grid's cells, the progress bar, the focus. The handlers run to the end
// of their part of the procedure before they return; their waits go through
// the event pump, so the window stays responsive and a Stop click reaches
// cmdStop_Click while a handler is still running. The tests drive the same
// handlers under virtual time.
//
// While a handler runs (CalBusy), every other handler except cmdStop_Click
// is refused and returns at once; so is a handler whose control is disabled
// or hidden in the state. The meter is never asked twice at a time.
//
// All exchanges are Custom ASCII ("*" + MeterAddress + code).
//   "XL24"                      read at start: characters 37-40 a word that
//                               must be 0200, 63-64 the board type
//   "W11B0200"                  sets that word when it differs
//   "X1" + NVAdr                reads the range's calibration word
//   "W30500000010000" + s       scale factor while calibrating ("A" for 10)
//   "W110" + "00" + InpTyp      selects the range's input type
//   "G130", "W111" + G + "36"   read and written back with the range's flag
//                               ("38" for a load-cell zero range)
//   "X11A"                      load-cell "Zero (Hi Range)" only
//   "B1"                        the input reading
//   "C0"                        meter reset before a reading with the input changed
//   "W1" + NVAdr + word         writes the corrected word
//   "W305000000100001"          restores the scale factor on End
//
// A read that a later write depends on ("XL24", "X1" + NVAdr, "G130",
// "B1") must succeed: when it does not (no reply, a refused exchange, a
// reply that is not what the meter sends), the run ends there as a Stop
// would end it, nothing more is written to the meter, `failure` names the
// exchange and its status, and the operator is told in a box
// (MessageId::CommunicationError).
//
// Two cases where repeating a step as it stands would correct a word with
// readings of another are handled apart: a Repeat after a stopped or failed
// attempt corrects from the word the last completed attempt's readings were
// taken with; and after an Input Signal Error on a reading taken after the
// new word was written, the next Ready takes only that reading again.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Operator.h"
#include "sc/CalibMath.h"

namespace wm {

struct Session;

// Texts the window shows as they are.
inline constexpr const char* kCalibWaitLine = // the main window's text area while the window starts
    "                                                                    Wait"; // 68 blanks
inline constexpr const char* kInvalidSCText =
    "Invalid Signal Conditioner.  Exit this screen and click on Menu item 'SigCondType'.";
inline constexpr const char* kInvalidSCTitle = "S/C Error";
inline constexpr const char* kCalibNeedsAscii = // the main menu's refusal under Modbus
    "The Custom ASCII protocol must be used for this Calibration procedure.";
inline constexpr const char* kOutRangeText = "* * *  Calculated Correction Exceeds Allowable Range";
inline constexpr const char* kApplyInputText = "Apply the following accurate input signal";
inline constexpr const char* kInputSignalErrorText = "                         Input Signal Error";
inline constexpr const char* kJumperText = "Remove any input signal.  Place the jumpers as shown.";
inline constexpr const char* kSetInputText = "Set Input";

inline constexpr int kCalibRows = 8;     // grid rows 0-7
inline constexpr int kCalibColumns = 11; // column 0 titles, 1-10 one attempt each

// A control as data: what the window copies into the widget.
struct CalibControl {
    std::string caption;
    bool visible = true;
    bool enabled = true;
};

// Which control has the focus.
enum class CalibFocus { None, cmdReady, cmdRepeat, cmdStop, cmdEnd, cboRange, cmd };

// One exchange that failed and ended the run.
struct CalibFailure {
    std::string exchange;    // the command code: "XL24", "X11F", "G130", "B1"
    std::int16_t status = 0; // TransferStatus of that exchange (0: a reply came but was not usable)
    std::string reply;       // the reply text as received (empty when none)
    bool endedRun = true;    // the run ended there (false: a kept word or End that was not sent)
};

// One completed attempt (one grid column), as the grid showed it.
struct CalibAttempt {
    int column = 0;            // 1-10
    std::string plusBefore;    // row 2: reading before the correction (positive input)
    std::string minusBefore;   // row 3: with negative input (empty for a zero range)
    std::string wordBefore;    // row 4: the word in the meter when those were read
    std::string wordWritten;   // row 5: the corrected word written
    std::string plusAfter;     // row 6: reading after the correction
    std::string minusAfter;    // row 7 (empty for a zero range)
    bool outOfRange = false;   // the correction was clamped to the word's limits
};

// What was done to one range, from its selection to the next selection.
struct CalibRangeRecord {
    std::string range;           // list text ("200 mV DC")
    std::string address;         // NVAdr, 2 hex digits
    std::string inputApplied;    // INb ("200 mV DC", "0 V DC")
    float desiredReading = 0;    // VDesired
    bool zero = false;           // a zero range: one reading, no negative input
    std::string originalWord;    // the word read from the meter before the first correction
    std::vector<CalibAttempt> attempts; // in the order they completed
    std::optional<int> keptColumn;      // the column whose word the operator kept (Accept)
    std::string keptWord;               // that word, as written to the meter
};

// The calibration record: what the window saves as a file or prints. The
// procedure fills it; the date and time are the caller's.
struct CalibRecord {
    std::string meterAddress; // MeterAddress
    int boardType = 0;        // ScType: 1 DC, 3 load cell
    std::string boardName;    // "DC" or "Load Cell"
    std::string dateTime;     // set by the caller when it saves or prints
    std::vector<CalibRangeRecord> ranges; // ranges with at least one completed attempt, in order
};

// Everything the window shows, and the procedure's own variables.
struct CalibState {
    // --- the window ---
    std::string caption;                   // "DC Signal Conditioner Calibration", ...
    std::vector<std::string> rangeList;    // cboRange items (empty for an invalid board)
    int listIndex = -1;                    // cboRange selection
    bool rangeEnabled = true;              // fraRange and cboRange
    std::string lblRange;                  // P
    std::string lblScaleF;                 // "Scale Factor set to 4"
    CalibControl lblJump{kJumperText, false, true};
    int jIndx = 0;                         // jumper picture in imgJump (0: none yet)
    CalibControl lblLine1{kApplyInputText, false, true};
    Rgb lblLine1Colour{0, 0, 0};           // ColourBlack, or ColourDarkRed with an Input Signal Error
    CalibControl lblOutRange{kOutRangeText, false, true};
    CalibControl txtInput{"", false, true}; // the input to apply
    CalibControl cmdReady{"Ready", true, false};
    CalibControl cmdRepeat{"Repeat", false, false};
    CalibControl cmdStop{"Stop", true, false};
    CalibControl cmdEnd{"End", true, true};
    std::array<CalibControl, kCalibColumns> cmd{}; // [1..10]: " 1" ... " 10" or "Saved"; [0] unused
    bool acceptVisible = false;            // shpAccept, Label1 "Accept" and the ten cmd buttons
    bool gridVisible = false;              // Grid1
    bool progBarVisible = false;           // ProgBar
    int progBar = 0;                       // ProgBar value 0-100
    // Grid1 cells [row][column]; column 0 holds the row titles.
    std::array<std::array<std::string, kCalibColumns>, kCalibRows> grid{};
    int gridRow = 0, gridCol = 1;          // the grid's current cell
    CalibFocus focus = CalibFocus::None;
    int focusIndex = 0;                    // the cmd button with CalibFocus::cmd

    // --- the procedure ---
    int ScType = 0;
    const CalibRange* range = nullptr;     // the selected range (FullScale's parameters)
    int CalStep = 1;                       // 1-4: the part the next Ready performs
    int StopRequested = 0;
    int CalBusy = 0;
    double CurCalib = 0, NewCalib = 0;
    std::string CurCalibHex, NewCalibHex;
    double PlusReading = 0, MinusReading = 0, AvgReading = 0;
    std::string NewPlusText, NewMinusText, LastPlusText, LastMinusText;
    int SignIndex = 0;                     // 0 "+", 1 "-"
    double ProgStart = 0, ProgRate = 0;
    std::optional<CalibFailure> failure;   // the exchange that ended the last run, until the next run
};

class Calibration {
public:
    explicit Calibration(Session& session);

    // Told after every change the window should show, many times during a
    // wait (the progress bar moves every tenth of a second).
    std::function<void()> changed;

    [[nodiscard]] const CalibState& State() const { return s_; }
    [[nodiscard]] const CalibRecord& Record() const { return record_; }
    [[nodiscard]] CalibRecord& Record() { return record_; } // for the caller's date and time
    [[nodiscard]] bool Busy() const { return s_.CalBusy != 0; }

    // Window start: reads "XL24" (writing "W11B0200" when needed), sets the
    // program's ScType, lays out the grid, lists the ranges and selects the
    // first. The window shows kCalibWaitLine in the main window's text area
    // before and clears it when this returns true. False when the board is
    // neither DC nor load cell (the "S/C Error" box has been shown) or the
    // read failed (told); the list then stays empty and only End is offered.
    bool CalibCont();

    // The handlers of the window's controls.
    void cboRange_Click(int listIndex);
    void cmdReady_Click();
    void cmdRepeat_Click();
    void cmd_Click(int index); // 1-10: keep that column's word (Accept)
    void cmdStop_Click();
    // Restores the meter's scale factor. The window then clears the main
    // window's text area, shows it and closes itself. When the command
    // could not be sent the operator is told (the meter keeps the
    // calibration's scale factor), and `failure` says why.
    void cmdEnd_Click();

    // One line for the operator on why the last run ended early, naming the
    // exchange and its status; empty when it did not.
    [[nodiscard]] std::string FailureText() const;

    // Row titles of column 0 (rows 0-7) for a full-scale or a zero range.
    [[nodiscard]] static const std::array<const char*, kCalibRows>& RowTitles(bool zeroRange);

private:
    enum class Flow { Go, Ended };

    // Routines of the procedure.
    void RangeList();
    void FullScale(const CalibRange& range, int listIndex);
    Flow InitRange();
    Flow DelayC(double seconds);
    [[nodiscard]] Flow StopCheck();
    void StopRoutine();
    // endRun: a failure ends the run as Stop does (false for the writes of
    // Accept and End, which leave the grid as it is).
    Flow SendCal(bool endRun = true);
    // A command the meter does not answer; Ended when it could not be sent.
    Flow Send(const std::string& code, bool endRun = true);
    Flow ReadWord();
    // A "B1" reading into value/text; Ended after a failed exchange or an
    // Input Signal Error (bound: +1 at least 10000, -1 at most -10000, 0 none).
    Flow Read(int bound, double& value, std::string& text);
    Flow Correct();
    void TakeCorrection(const CalibResult& r);
    void RepeatRun(int target);
    Flow MeasurePlus();
    Flow MeasureMinus(bool finishAfter);
    void Finish();
    void AskMinusInput();
    Flow Remeasure();
    void InputSignalError(int bound);
    Flow Fail(const std::string& exchange, bool endRun = true);
    void RunStep(int step);
    void EndRun();

    // Helpers.
    [[nodiscard]] bool Zero() const;
    [[nodiscard]] bool FullScaleRange() const { return !Zero(); }
    void SetCell(int row, int col, const std::string& text);
    void SetCell(int row, const std::string& text) { SetCell(row, s_.gridCol, text); }
    void ClearRows(int col, int fromRow, int toRow);
    void SelectColumn(int col);
    void Focus(CalibFocus focus, int index = 0);
    void StartProgress(double rate);
    void SetProgress(double value);
    void NoteAttempt();
    [[nodiscard]] std::string SignForm(const std::string& reading, double value) const;
    void Changed();

    Session& session_;
    CalibState s_;
    CalibRecord record_;
    bool lastOutOfRange_ = false;
    bool recordOpen_ = false; // record_.ranges.back() belongs to the selected range
    std::string originalWord_; // the word first read for the selected range
    // The word the last completed attempt's readings (LastPlusText,
    // LastMinusText) were taken with: the word the next Repeat corrects.
    std::string lastAttemptWord_;
    // A correction was written in the running run.
    bool wroteThisRun_ = false;
    // A reading taken after a correction was written gave an Input Signal
    // Error: the next Ready takes that reading again (after a meter reset)
    // and goes on from there, instead of repeating a step that would
    // correct the new word with readings of the old one.
    enum class Remeasurement { None, Minus, Plus };
    Remeasurement remeasure_ = Remeasurement::None;
};

// The calibration word of every range of the meter's board, for audits:
// reads "XL24" for the board type and "X1" + NVAdr for each range in list
// order. Writes nothing.
struct CalibWord {
    std::string range;   // list text
    std::string address; // NVAdr
    std::string word;    // 4 hex digits as the meter returned them
};
struct CalibWordsResult {
    int boardType = 0;
    std::vector<CalibWord> words;
    std::optional<CalibFailure> failure; // the read that failed
    std::string failedRange;             // its range's list text (empty for "XL24")
    bool invalidBoard = false;           // neither DC nor load cell: kInvalidSCText
    [[nodiscard]] bool ok() const { return !failure && !invalidBoard; }
};
[[nodiscard]] CalibWordsResult ReadCalibWords(Session& session);

} // namespace wm
