#include "sc/Calibration.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Hex.h"
#include "comm/Tables.h"
#include "transfer/Session.h"

namespace wm {

namespace {

constexpr double SecondsPerDay = 86'400.0;
// A clock this far past the end of a wait has not yet wrapped at midnight
// while the end already has.
constexpr double MidnightSlackSeconds = 10'000.0;
constexpr const char* kSignText[2] = {"+", "-"};

// How fast the progress bar fills during each part's waits, per tenth of a
// second, so that it reaches about 100 as the part ends.
constexpr double RateStep1FullScale = 0.73;
constexpr double RateStep1Zero = 0.41;
constexpr double RateStep2 = 0.74;
constexpr double RateStep3 = 1.9;
constexpr double RateStep4 = 1.98;
constexpr double RateRepeat = 1.17;
constexpr double RateKeep = 4.0;

constexpr std::array<const char*, kCalibRows> kFullScaleTitles = {
    "Calib Input",   "Desired Reading", "Current +Reading", "Current -Reading",
    "Current Calib", "  New   Calib",   "  New   +Reading", "  New   -Reading"};
constexpr std::array<const char*, kCalibRows> kZeroTitles = {
    "Calib Input",   "Desired Reading", "Current  Reading", "                ",
    "Current Calib", "  New   Calib",   "  New    Reading", "                "};

int NextColumn(int col) { return col >= 10 ? 1 : col + 1; }
int PreviousColumn(int col) { return col <= 1 ? 10 : col - 1; }

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// A reading as the meter sends it, its point removed: blanks, a sign, and
// at least one digit, nothing else. Anything else is line noise or another
// reply, whose leading digits must not be taken for a reading.
bool IsReadingText(const std::string& text) {
    bool digit = false, sign = false;
    for (const char c : text) {
        if (IsDigitChar(c)) {
            digit = true;
        } else if ((c == '+' || c == '-') && !digit && !sign) {
            sign = true;
        } else if (c != ' ') {
            return false;
        }
    }
    return digit;
}

// A whole number as the meter's texts show numbers: a blank where a plus
// sign would be (" 80000", " 0").
std::string NumberText(double value) {
    const long long n = std::llround(value);
    return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

// The board's scale factor as the last digit of the "W305" write.
std::string ScaleDigit(int scaleF) { return scaleF == 10 ? "A" : std::to_string(scaleF % 10); }

bool IsSend(const std::string& exchange) { return !exchange.empty() && (exchange[0] == 'W' || exchange[0] == 'C'); }

} // namespace

Calibration::Calibration(Session& session) : session_(session) {
    for (int i = 1; i < kCalibColumns; ++i)
        s_.cmd[static_cast<std::size_t>(i)] = {" " + std::to_string(i), false, false};
    s_.cmd[0] = {"", false, false};
    s_.ScType = session_.derived.ScType;
}

const std::array<const char*, kCalibRows>& Calibration::RowTitles(bool zeroRange) {
    return zeroRange ? kZeroTitles : kFullScaleTitles;
}

// --- helpers ---

bool Calibration::Zero() const { return s_.range != nullptr && s_.range->calcTyp == 0; }

void Calibration::Changed() {
    if (changed) changed();
}

void Calibration::SetCell(int row, int col, const std::string& text) {
    s_.grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
    s_.gridRow = row;
    s_.gridCol = col;
}

void Calibration::ClearRows(int col, int fromRow, int toRow) {
    for (int r = fromRow; r <= toRow; ++r)
        s_.grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(col)].clear();
}

void Calibration::SelectColumn(int col) { s_.gridCol = col; }

void Calibration::Focus(CalibFocus focus, int index) {
    s_.focus = focus;
    s_.focusIndex = index;
}

void Calibration::StartProgress(double rate) {
    s_.ProgStart = 0;
    s_.ProgRate = rate;
    s_.progBar = 0;
}

void Calibration::SetProgress(double value) { s_.progBar = static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0))); }

std::string Calibration::SignForm(const std::string& reading, double value) const {
    return std::string(value >= 0 ? "+" : "-") + (reading.size() > 1 ? reading.substr(1) : std::string());
}

// --- start and range selection ---

bool Calibration::CalibCont() {
    if (Busy()) return false;
    s_.lblScaleF.clear();
    s_.failure.reset();
    const MeterAnswer block = session_.AskAscii("XL24");
    const std::string& reply = block.reply;
    // Characters 37-40 hold a word the calibration needs at 0200, 63-64 the
    // board type. Without them the word must not be written.
    if (!block.ok() || reply.size() < 64 || !IsHexText(reply.substr(36, 4)) || !IsHexText(reply.substr(62, 2))) {
        Fail("XL24");
        return false;
    }
    if (HexNumber(reply.substr(36, 4)) != 0x0200u) {
        if (Send("W11B0200") == Flow::Ended) return false;
        session_.txn.DelaySeconds(2.5F);
    }
    s_.ScType = static_cast<int>(HexNumber(reply.substr(62, 2)).value_or(0));
    if (s_.ScType != kScTypeDC && s_.ScType != kScTypeLoadCell) {
        Changed();
        session_.op.Ask({kInvalidSCText, kInvalidSCTitle, Buttons::Ok, Answer::Ok, Icon::None, MessageId::None});
        return false;
    }
    // The setup pages read the board type too. An invalid code is not
    // handed to them: the next Get's check decides what they show then.
    session_.derived.ScType = s_.ScType;
    s_.caption = s_.ScType == kScTypeDC ? "DC Signal Conditioner Calibration" : "Load Cell Signal Conditioner Calibration";
    s_.StopRequested = 0;
    s_.cmdStop.enabled = false;
    s_.cmdRepeat.enabled = false;
    for (int i = 1; i < kCalibColumns; ++i) s_.cmd[static_cast<std::size_t>(i)].enabled = false;
    for (int r = 0; r < kCalibRows; ++r) s_.grid[static_cast<std::size_t>(r)][0] = kFullScaleTitles[static_cast<std::size_t>(r)];
    record_.meterAddress = session_.link.MeterAddress;
    record_.boardType = s_.ScType;
    record_.boardName = s_.ScType == kScTypeDC ? "DC" : "Load Cell";
    RangeList();
    cboRange_Click(0);
    return true;
}

void Calibration::RangeList() {
    s_.rangeList.clear();
    for (const CalibRange& r : CalibRanges(s_.ScType)) s_.rangeList.emplace_back(r.listText);
}

void Calibration::cboRange_Click(int listIndex) {
    if (Busy() || !s_.rangeEnabled) return;
    // Only a range the list shows: the list is filled once the board has
    // been identified, and a board that was not is never calibrated.
    if (listIndex < 0 || static_cast<std::size_t>(listIndex) >= s_.rangeList.size()) return;
    const CalibRange* range = FindCalibRange(s_.ScType, listIndex);
    if (range == nullptr) return;
    s_.lblScaleF.clear();
    s_.cmdReady.enabled = false;
    s_.cmdStop.enabled = false;
    s_.lblJump.visible = true;
    s_.StopRequested = 0;
    s_.failure.reset();
    FullScale(*range, listIndex);
    s_.txtInput.visible = true;
    s_.lblLine1.visible = true;
    s_.progBarVisible = true;
    s_.gridVisible = true;
    s_.cmdRepeat.visible = true;
    s_.acceptVisible = true;
    s_.cmdReady.enabled = true;
    s_.cmdRepeat.enabled = false;
    s_.CalStep = 1;
    s_.txtInput.caption = Zero() ? range->inb : std::string(range->inb) + kSignText[0];
    s_.txtInput.enabled = true;
    s_.CurCalibHex.clear();
    s_.lblOutRange.visible = false;
    recordOpen_ = false;
    originalWord_.clear();
    lastAttemptWord_.clear();
    remeasure_ = Remeasurement::None;
    Changed();
}

void Calibration::FullScale(const CalibRange& range, int listIndex) {
    s_.jIndx = range.jIndx;
    s_.progBar = 0;
    s_.range = &range;
    s_.listIndex = listIndex;
    s_.lblRange = range.p;
    s_.cmdStop.enabled = false;
    s_.cmdEnd.enabled = true;
    for (int i = 1; i < kCalibColumns; ++i) {
        CalibControl& b = s_.cmd[static_cast<std::size_t>(i)];
        b.enabled = false;
        b.caption = " " + std::to_string(i);
        ClearRows(i, 0, kCalibRows - 1);
    }
    s_.lblJump.caption = kJumperText;
    s_.lblLine1.caption = kApplyInputText;
    s_.lblLine1Colour = ColourBlack;
    s_.txtInput.caption = range.inb;
    const auto& titles = RowTitles(range.calcTyp == 0);
    for (int r : {2, 3, 6, 7}) s_.grid[static_cast<std::size_t>(r)][0] = titles[static_cast<std::size_t>(r)];
    SelectColumn(1);
}

// --- waits and stopping ---

Calibration::Flow Calibration::DelayC(double seconds) {
    Clock& clock = session_.txn.GetClock();
    EventPump& pump = session_.txn.Pump();
    const double start = clock.SecondsSinceMidnight();
    double end = start + seconds;
    if (end >= SecondsPerDay) end -= SecondsPerDay;
    double value = s_.ProgStart;
    for (;;) {
        const double now = clock.SecondsSinceMidnight();
        // A clock far below the end has wrapped at midnight after an end
        // that lay just before it: the wait is over, not a day long.
        const bool notYet = now <= end && end - now < MidnightSlackSeconds;
        const bool beforeMidnight = now - end >= MidnightSlackSeconds;
        if (!notYet && !beforeMidnight) break;
        double elapsed = now - start;
        if (elapsed < 0) elapsed += SecondsPerDay;
        value = std::clamp(elapsed * 10.0 * s_.ProgRate + s_.ProgStart, 0.0, 100.0);
        SetProgress(value);
        Changed();
        // The bar moves every tenth of a second; a Stop click is taken in
        // between and acted on when the wait is over.
        const double remaining = notYet ? end - now : end + SecondsPerDay - now;
        pump.WaitFor(static_cast<std::uint32_t>(std::clamp(std::ceil(remaining * 1000.0), 1.0, 100.0)));
    }
    s_.ProgStart = value;
    return StopCheck();
}

Calibration::Flow Calibration::StopCheck() {
    if (s_.StopRequested == 0) return Flow::Go;
    StopRoutine();
    return Flow::Ended;
}

void Calibration::StopRoutine() {
    s_.StopRequested = 0;
    remeasure_ = Remeasurement::None;
    s_.cmdEnd.enabled = true;
    s_.cmdStop.enabled = false;
    s_.rangeEnabled = true;
    const int col = s_.gridCol;
    s_.cmd[static_cast<std::size_t>(col)].enabled = false;
    if (col == 1) {
        s_.CalStep = 1;
        s_.cmdReady.enabled = true;
        s_.cmdRepeat.enabled = false;
        ClearRows(1, 0, kCalibRows - 1);
        // Step 1 starts again from the positive input.
        s_.SignIndex = 0;
    } else {
        s_.cmdRepeat.enabled = true;
        s_.cmdReady.enabled = false;
        ClearRows(col, 2, kCalibRows - 1);
        SelectColumn(PreviousColumn(col));
        // The next Repeat corrects the last completed attempt's readings,
        // which were taken with that attempt's word: that is the current
        // word for it, whatever the stopped attempt may have written.
        if (const auto value = CalibWordValue(lastAttemptWord_, Zero())) {
            s_.CurCalib = *value;
            s_.CurCalibHex = lastAttemptWord_;
        }
    }
    s_.progBar = 0;
    if (s_.range != nullptr)
        s_.txtInput.caption = Zero() ? std::string(s_.range->inb) : std::string(s_.range->inb) + kSignText[s_.SignIndex];
    s_.txtInput.enabled = true;
    Changed();
}

void Calibration::cmdStop_Click() {
    if (!s_.cmdStop.enabled) return;
    s_.StopRequested = 1;
    if (s_.CalBusy == 0) StopRoutine();
    Changed();
}

// --- exchanges ---

Calibration::Flow Calibration::Send(const std::string& code, bool endRun) {
    session_.x.TransferStatus = status::Ok;
    session_.SendAscii(code);
    if (session_.x.TransferStatus != status::Ok) return Fail(code, endRun);
    return Flow::Go;
}

Calibration::Flow Calibration::ReadWord() {
    const std::string code = std::string("X1") + s_.range->nvAdr;
    const MeterAnswer a = session_.AskAscii(code);
    const auto value = CalibWordValue(a.reply, Zero());
    if (!a.ok() || !value) return Fail(code);
    s_.CurCalib = *value;
    s_.CurCalibHex = a.reply;
    if (originalWord_.empty()) originalWord_ = a.reply;
    return Flow::Go;
}

Calibration::Flow Calibration::Read(int bound, double& value, std::string& text) {
    const MeterAnswer a = session_.AskAscii("B1");
    // A reading without a digit would read as 0, one with stray characters
    // as its leading digits; a correction would be computed from either.
    if (!a.ok() || !IsReadingText(RmvDP(a.reply))) return Fail("B1");
    text = RmvDP(a.reply);
    value = ReadingValue(text);
    if (bound != 0 && FullScaleRange() && !FullScaleReadingOk(value, bound > 0)) {
        InputSignalError(bound);
        return Flow::Ended;
    }
    return Flow::Go;
}

Calibration::Flow Calibration::SendCal(bool endRun) {
    if (Send("W1" + std::string(s_.range->nvAdr) + s_.NewCalibHex, endRun) == Flow::Ended) return Flow::Ended;
    wroteThisRun_ = true;
    return DelayC(2.5);
}

Calibration::Flow Calibration::Fail(const std::string& exchange, bool endRun) {
    s_.failure = CalibFailure{exchange, session_.x.TransferStatus, session_.x.RxReply, endRun};
    if (endRun && s_.range != nullptr) StopRoutine();
    Changed();
    session_.op.Ask({FailureText(), "Error", Buttons::Ok, Answer::Ok, Icon::None, MessageId::CommunicationError});
    return Flow::Ended;
}

std::string Calibration::FailureText() const {
    if (!s_.failure) return {};
    const CalibFailure& f = *s_.failure;
    std::string text;
    if (f.status != status::Ok) {
        text = (IsSend(f.exchange) ? f.exchange + " was not sent: " : "No reply to " + f.exchange + ": ") +
               StatusMeaning(f.status) + " (status " + std::to_string(f.status) + ").";
    } else {
        std::string shown; // the reply as it can be shown: a byte that is not printable as "?"
        for (const char c : f.reply) shown += c >= ' ' && c <= '~' ? c : '?';
        text = "The reply to " + f.exchange + " could not be used (\"" + shown + "\", status 0).";
    }
    if (!f.endedRun) return text;
    return text + "  The calibration stopped there; nothing more was written to the meter.";
}

// --- preparing the meter ---

Calibration::Flow Calibration::InitRange() {
    const CalibRange& r = *s_.range;
    SetCell(0, 1, r.inb);
    SetCell(1, 1, NumberText(static_cast<double>(r.vDesired)));
    s_.lblScaleF = "Scale Factor set to" + NumberText(r.scaleF);
    Changed();
    if (Send("W30500000010000" + ScaleDigit(r.scaleF)) == Flow::Ended || DelayC(2.5) == Flow::Ended) return Flow::Ended;
    if (Send(std::string("W11000") + r.inpTyp) == Flow::Ended || DelayC(2.5) == Flow::Ended) return Flow::Ended;
    // The flag byte is written back with the range's own low bits, so it
    // must be the meter's: without it nothing is written.
    const MeterAnswer g = session_.AskAscii("G130");
    if (!g.ok() || g.reply.size() != 2 || !IsHexText(g.reply)) return Fail("G130");
    if (DelayC(0.3) == Flow::Ended) return Flow::Ended;
    const bool loadCellZero = s_.ScType == kScTypeLoadCell && Zero();
    // Written back in the upper-case digits of every other write, whatever
    // case the reply came in.
    if (Send("W111" + UpperCase(g.reply) + (loadCellZero ? "38" : "36")) == Flow::Ended || DelayC(2.5) == Flow::Ended)
        return Flow::Ended;
    if (s_.ScType == kScTypeLoadCell && std::strcmp(r.listText, "Zero (Hi Range)") == 0) {
        (void)session_.AskAscii("X11A"); // the meter wants it asked; the answer is not used
        if (DelayC(2.5) == Flow::Ended) return Flow::Ended;
    }
    return Flow::Go;
}

// --- Ready ---

void Calibration::cmdReady_Click() {
    if (Busy() || !s_.cmdReady.enabled || !s_.cmdReady.visible || s_.range == nullptr) return;
    s_.CalBusy = 1;
    s_.StopRequested = 0;
    s_.failure.reset();
    s_.lblOutRange.visible = false;
    s_.lblJump.visible = false;
    s_.cmdEnd.enabled = false;
    s_.cmdStop.enabled = true;
    Focus(CalibFocus::cmdStop);
    s_.cmdReady.enabled = false;
    s_.txtInput.visible = true;
    s_.txtInput.enabled = false;
    s_.rangeEnabled = false;
    s_.lblLine1.visible = false;
    s_.lblLine1.caption = kApplyInputText;
    s_.lblLine1Colour = ColourBlack;
    // The current cell is the "Set Input" prompt of this step. After an
    // Input Signal Error it may hold the word just written, which stays.
    std::string& cell = s_.grid[static_cast<std::size_t>(s_.gridRow)][static_cast<std::size_t>(s_.gridCol)];
    if (cell == kSetInputText) cell.clear();
    wroteThisRun_ = false;
    double rate = RateStep1FullScale;
    switch (s_.CalStep) {
    case 1: rate = Zero() ? RateStep1Zero : RateStep1FullScale; break;
    case 2: rate = RateStep2; break;
    case 3: rate = RateStep3; break;
    default: rate = RateStep4; break;
    }
    if (remeasure_ == Remeasurement::Minus) rate = RateStep4;
    if (remeasure_ == Remeasurement::Plus) rate = RateStep3;
    StartProgress(rate);
    Changed();
    if (remeasure_ != Remeasurement::None)
        (void)Remeasure();
    else
        RunStep(s_.CalStep);
    EndRun();
}

Calibration::Flow Calibration::Remeasure() {
    const Remeasurement which = remeasure_;
    if (Send("C0") == Flow::Ended || DelayC(5) == Flow::Ended) return Flow::Ended;
    remeasure_ = Remeasurement::None;
    if (which == Remeasurement::Minus) return MeasureMinus(false);
    double value = 0;
    std::string text;
    if (Read(+1, value, text) == Flow::Ended) return Flow::Ended;
    s_.PlusReading = value;
    s_.NewPlusText = SignForm(text, value);
    SetCell(6, s_.NewPlusText);
    AskMinusInput();
    return Flow::Go;
}

void Calibration::RunStep(int step) {
    double value = 0;
    std::string text;
    switch (step) {
    case 1:
        if (ReadWord() == Flow::Ended || DelayC(2.5) == Flow::Ended || InitRange() == Flow::Ended ||
            DelayC(2.5) == Flow::Ended || Read(+1, value, text) == Flow::Ended)
            return;
        s_.PlusReading = value;
        SetCell(2, SignForm(text, value));
        if (Zero()) {
            (void)Correct();
            return;
        }
        s_.txtInput.caption = std::string(s_.range->inb) + kSignText[1];
        s_.txtInput.enabled = true;
        SetCell(3, kSetInputText);
        s_.CalStep = 2;
        s_.lblLine1.visible = true;
        s_.cmdReady.enabled = true;
        Focus(CalibFocus::cmdReady);
        s_.progBar = 100;
        return;
    case 2:
        if (Send("C0") == Flow::Ended || DelayC(5) == Flow::Ended || Read(-1, value, text) == Flow::Ended) return;
        s_.MinusReading = value;
        SetCell(3, text);
        s_.AvgReading = AvgReading(s_.PlusReading, s_.MinusReading);
        (void)Correct();
        return;
    case 3:
        if (Send("C0") == Flow::Ended || DelayC(5) == Flow::Ended) return;
        (void)MeasurePlus();
        return;
    default:
        if (Send("C0") == Flow::Ended || DelayC(5) == Flow::Ended) return;
        (void)MeasureMinus(s_.CalStep == 4);
        return;
    }
}

void Calibration::EndRun() {
    if (s_.StopRequested != 0) StopRoutine();
    s_.CalBusy = 0;
    Changed();
}

Calibration::Flow Calibration::Correct() {
    SetCell(4, s_.CurCalibHex);
    s_.cmdRepeat.enabled = false;
    const CalibResult r = Zero() ? CalcZero(*s_.range, s_.PlusReading, s_.CurCalib)
                                 : CalcFS(*s_.range, s_.AvgReading, s_.CurCalib);
    TakeCorrection(r);
    if (SendCal() == Flow::Ended) return Flow::Ended;
    SetCell(5, s_.NewCalibHex);
    s_.CurCalib = s_.NewCalib;
    s_.CurCalibHex = s_.NewCalibHex;
    if (DelayC(6) == Flow::Ended) return Flow::Ended;
    return Zero() ? MeasurePlus() : MeasureMinus(s_.CalStep == 4);
}

void Calibration::TakeCorrection(const CalibResult& r) {
    s_.NewCalib = r.value;
    s_.NewCalibHex = r.hex;
    lastOutOfRange_ = r.outOfRange;
    if (r.outOfRange) s_.lblOutRange.visible = true;
    Changed();
}

Calibration::Flow Calibration::MeasureMinus(bool finishAfter) {
    double value = 0;
    std::string text;
    if (Read(-1, value, text) == Flow::Ended) return Flow::Ended;
    s_.MinusReading = value;
    SetCell(7, text);
    s_.NewMinusText = text;
    if (finishAfter) {
        Finish();
        return Flow::Go;
    }
    SetCell(6, kSetInputText);
    s_.txtInput.caption = std::string(s_.range->inb) + kSignText[0];
    s_.txtInput.enabled = true;
    s_.lblLine1.visible = true;
    s_.cmdReady.enabled = true;
    Focus(CalibFocus::cmdReady);
    s_.progBar = 100;
    s_.CalStep = 3;
    return Flow::Go;
}

Calibration::Flow Calibration::MeasurePlus() {
    double value = 0;
    std::string text;
    if (Read(+1, value, text) == Flow::Ended) return Flow::Ended;
    s_.PlusReading = value;
    s_.NewPlusText = SignForm(text, value);
    SetCell(6, s_.NewPlusText);
    Finish();
    return Flow::Go;
}

void Calibration::Finish() {
    if (FullScaleRange()) s_.AvgReading = AvgReading(s_.PlusReading, s_.MinusReading);
    s_.progBar = 100;
    s_.cmd[static_cast<std::size_t>(s_.gridCol)].enabled = true;
    Focus(CalibFocus::cmd, s_.gridCol);
    s_.cmdRepeat.enabled = true;
    s_.txtInput.enabled = true;
    s_.rangeEnabled = true;
    s_.LastPlusText = s_.NewPlusText;
    s_.LastMinusText = s_.NewMinusText;
    lastAttemptWord_ = s_.CurCalibHex;
    NoteAttempt();
}

void Calibration::InputSignalError(int bound) {
    if (wroteThisRun_) remeasure_ = bound < 0 ? Remeasurement::Minus : Remeasurement::Plus;
    s_.lblLine1.caption = kInputSignalErrorText;
    s_.lblLine1Colour = ColourDarkRed;
    s_.lblLine1.visible = true;
    s_.cmdReady.enabled = true;
    Changed();
}

// --- Repeat ---

void Calibration::cmdRepeat_Click() {
    if (Busy() || !s_.cmdRepeat.enabled || !s_.cmdRepeat.visible || s_.range == nullptr) return;
    StartProgress(RateRepeat);
    s_.CalBusy = 1;
    s_.StopRequested = 0;
    s_.failure.reset();
    wroteThisRun_ = false;
    remeasure_ = Remeasurement::None;
    s_.lblOutRange.visible = false;
    const int target = NextColumn(s_.gridCol);
    const int after = NextColumn(target);
    ClearRows(after, 2, kCalibRows - 1);
    s_.cmd[static_cast<std::size_t>(after)].enabled = false;
    SelectColumn(target);
    // Odd columns start where the last attempt left the negative input.
    s_.SignIndex = target % 2 == 1 ? 1 : 0;
    if (FullScaleRange()) s_.txtInput.caption = std::string(s_.range->inb) + kSignText[s_.SignIndex];
    SetCell(2, s_.LastPlusText);
    if (FullScaleRange()) SetCell(3, s_.LastMinusText);
    s_.cmdRepeat.enabled = false;
    s_.cmdStop.enabled = true;
    Focus(CalibFocus::cmdStop);
    s_.lblLine1.visible = false;
    s_.lblLine1.caption = kApplyInputText;
    s_.lblLine1Colour = ColourBlack;
    SetCell(4, s_.CurCalibHex);
    if (FullScaleRange()) {
        s_.PlusReading = ReadingValue(s_.LastPlusText);
        s_.MinusReading = ReadingValue(s_.LastMinusText);
        s_.AvgReading = AvgReading(s_.PlusReading, s_.MinusReading);
        TakeCorrection(CalcFS(*s_.range, s_.AvgReading, s_.CurCalib));
    } else {
        TakeCorrection(CalcZero(*s_.range, s_.PlusReading, s_.CurCalib));
    }
    RepeatRun(target);
    EndRun();
}

void Calibration::RepeatRun(int target) {
    if (SendCal() == Flow::Ended) return;
    SetCell(5, s_.NewCalibHex);
    // The word just written is the one the next readings are taken with, so
    // the next correction starts from it.
    s_.CurCalib = s_.NewCalib;
    s_.CurCalibHex = s_.NewCalibHex;
    if (DelayC(6) == Flow::Ended) return;
    if (FullScaleRange() && s_.SignIndex == 1) {
        (void)MeasureMinus(false);
        return;
    }
    double value = 0;
    std::string text;
    if (Read(+1, value, text) == Flow::Ended) return;
    s_.PlusReading = value;
    s_.NewPlusText = SignForm(text, value);
    SetCell(6, s_.NewPlusText);
    if (Zero()) {
        s_.progBar = 100;
        s_.cmd[static_cast<std::size_t>(target)].enabled = true;
        s_.cmdRepeat.enabled = true;
        Focus(CalibFocus::cmdRepeat);
        s_.LastPlusText = s_.NewPlusText;
        lastAttemptWord_ = s_.CurCalibHex;
        NoteAttempt();
        return;
    }
    AskMinusInput();
}

// The positive reading after the correction is in: the attempt goes on
// with the negative input.
void Calibration::AskMinusInput() {
    SetCell(7, kSetInputText);
    s_.txtInput.caption = std::string(s_.range->inb) + kSignText[1];
    s_.txtInput.enabled = true;
    s_.lblLine1.visible = true;
    s_.cmdReady.enabled = true;
    Focus(CalibFocus::cmdReady);
    s_.CalStep = 4;
}

// --- Accept ---

void Calibration::cmd_Click(int index) {
    if (Busy() || index < 1 || index >= kCalibColumns || s_.range == nullptr || !s_.acceptVisible) return;
    CalibControl& button = s_.cmd[static_cast<std::size_t>(index)];
    if (!button.enabled) return;
    const std::string word = s_.grid[5][static_cast<std::size_t>(index)];
    if (word.size() != 4 || !IsHexText(word)) return; // only a column that wrote a word has one to keep
    StartProgress(RateKeep);
    const bool repeatWasEnabled = s_.cmdRepeat.enabled;
    s_.cmdRepeat.enabled = false;
    s_.cmdStop.enabled = false;
    s_.rangeEnabled = true;
    SelectColumn(index);
    s_.gridRow = 5;
    s_.NewCalibHex = word;
    s_.CalBusy = 1; // the write and its wait refuse every other click
    s_.failure.reset();
    Changed();
    // A word that could not be sent leaves the grid as it was, so the
    // operator can keep it again.
    if (SendCal(false) == Flow::Go) {
        button.caption = "Saved";
        Focus(CalibFocus::cboRange);
        // Only the kept attempt stays. After the columns have wrapped, the
        // older attempts to the right of it go too.
        for (int c = 1; c < kCalibColumns; ++c) {
            if (c == index) continue;
            s_.cmd[static_cast<std::size_t>(c)].enabled = false;
            ClearRows(c, 2, kCalibRows - 1);
        }
        s_.progBar = 100;
        s_.cmdEnd.enabled = true;
        if (recordOpen_) {
            record_.ranges.back().keptColumn = index;
            record_.ranges.back().keptWord = word;
        }
    } else {
        // Not sent: the operator may try again, go on, or leave.
        s_.cmdRepeat.enabled = repeatWasEnabled;
        s_.cmdEnd.enabled = true;
    }
    s_.CalBusy = 0;
    Changed();
}

// --- End ---

void Calibration::cmdEnd_Click() {
    if (Busy() || !s_.cmdEnd.enabled) return;
    // The meter goes back to its normal scale factor; it does not answer.
    s_.failure.reset();
    (void)Send("W305000000100001", false);
}

// --- the record ---

void Calibration::NoteAttempt() {
    const CalibRange& r = *s_.range;
    if (!recordOpen_) {
        CalibRangeRecord entry;
        entry.range = r.listText;
        entry.address = r.nvAdr;
        entry.inputApplied = r.inb;
        entry.desiredReading = r.vDesired;
        entry.zero = r.calcTyp == 0;
        entry.originalWord = originalWord_;
        record_.ranges.push_back(std::move(entry));
        recordOpen_ = true;
    }
    const auto cell = [&](int row) {
        return s_.grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(s_.gridCol)];
    };
    CalibAttempt a;
    a.column = s_.gridCol;
    a.plusBefore = cell(2);
    a.minusBefore = cell(3);
    a.wordBefore = cell(4);
    a.wordWritten = cell(5);
    a.plusAfter = cell(6);
    a.minusAfter = cell(7);
    a.outOfRange = lastOutOfRange_;
    record_.ranges.back().attempts.push_back(std::move(a));
}

// --- audit ---

CalibWordsResult ReadCalibWords(Session& session) {
    CalibWordsResult result;
    const MeterAnswer block = session.AskAscii("XL24");
    if (!block.ok() || block.reply.size() < 64 || !IsHexText(block.reply.substr(62, 2))) {
        result.failure = CalibFailure{"XL24", block.status, block.reply};
        return result;
    }
    result.boardType = static_cast<int>(HexNumber(block.reply.substr(62, 2)).value_or(0));
    const auto ranges = CalibRanges(result.boardType);
    if (ranges.empty()) {
        result.invalidBoard = true;
        return result;
    }
    for (const CalibRange& r : ranges) {
        const std::string code = std::string("X1") + r.nvAdr;
        const MeterAnswer a = session.AskAscii(code);
        if (!a.ok() || !CalibWordValue(a.reply, false)) {
            result.failure = CalibFailure{code, a.status, a.reply};
            result.failedRange = r.listText;
            return result;
        }
        result.words.push_back({r.listText, r.nvAdr, a.reply});
    }
    return result;
}

} // namespace wm
