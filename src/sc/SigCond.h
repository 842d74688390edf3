#pragma once
// The signal-conditioner board's type (DC or load cell) and input
// mode/range: the check every setup passes before it is shown, and the
// "SigCondType" menu that reads the board's stored identification and can
// force it to a default DC or load-cell range.
#include <string>
#include <vector>

namespace wm {

struct Session;
class Operator;

enum class SCCheck {
    Ok,         // type and mode usable (the derived values may have been corrected)
    Defaulted,  // corrupt type; the operator chose to go on with DC, 200 mV ("01", "60")
    EndProgram, // corrupt type; the operator chose to end (port closed, EndProgram asked)
};

// Reads ScTypeText, ScType, InputMode, InputRange, InputDP and DisplayDP
// from the image into program.derived, correcting a mode or range the board
// cannot have. A type other than DC or load cell asks the operator.
[[nodiscard]] SCCheck CheckSCAfterGet(Session& session);

// "Communication error.  Try again.", title "Error".
void MsgErr(Operator& op);

// The text area lines the SigCondType menu prints before it asks the meter.
[[nodiscard]] const std::vector<std::string>& SCTypeIntroLines();

struct SCTypeReport {
    bool succeeded = false;         // the stored identification was read and judged
    bool refused = false;           // another exchange was running
    std::vector<std::string> lines; // the whole text area content at the end
    bool picTextVisible = true;     // false after a communication error (text area cleared and hidden)
    bool showOK = false;            // cmdOK shown
};

// The verdict lines for a stored input-mode/range byte R (two hex digits),
// and whether cmdOK is shown with them (not for a corrupt identification).
[[nodiscard]] std::vector<std::string> SCTypeVerdict(const std::string& r, bool& showOK);

// mnuSCType_Click: reads R from the meter (register 0045 over Modbus,
// "X110" in Custom ASCII) and explains it. The status line is hidden. A
// reply that is not the meter's answer is a communication error (MsgErr,
// text area cleared and hidden).
[[nodiscard]] SCTypeReport ReadSCType(Session& session);

enum class SCBoard { DC, LoadCell };

inline constexpr const char* kSCWaitLine = "                  WAIT";

struct SCRestoreReport {
    // The new byte went to the meter: in Custom ASCII the write was sent
    // (the meter does not answer it); under Modbus the meter acknowledged
    // the write of register 0045. The lines do not tell: after a Modbus write
    // that failed they still name the type that was asked for.
    bool succeeded = false;
    bool refused = false;
    std::vector<std::string> lines; // text area content at the end ("WAIT" alone after an error)
    int status = 0;                 // the transaction layer's status of the last exchange
};

// mnuSCDC_Click / mnuSCLC_Click: writes the board's input-mode/range byte to
// DC 200 mV ("60") or load cell 20 mV ("D0"). The image is not changed; the
// next Get reads the new state. A Modbus write the meter does not echo, or a
// Custom ASCII read that fails, is a communication error: the WAIT line stays.
[[nodiscard]] SCRestoreReport RestoreSCType(Session& session, SCBoard board);

} // namespace wm
