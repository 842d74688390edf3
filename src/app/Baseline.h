#pragma once
// The setup the program compares its own with: as the meter holds it (last
// read by a Get, or last written by a Put), or as it was opened from a file
// or loaded as the default setup. The change markers of the setup pages and
// the preview before a Put read it; Get, Put, Open and Default Setup set it,
// for the desktop program and wmctl alike.
#include <string>
#include <vector>

#include "setup/SetupEditor.h"
#include "sc/SigCond.h"
#include "setup/SetupImage.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm {

struct Program;

enum class SetupSource {
    None,    // nothing loaded yet
    Get,     // read from the meter
    Put,     // written to the meter
    File,    // opened from a setup file
    Default, // the default setup
};

struct Baseline {
    SetupSource source = SetupSource::None;
    SetupImage image;
    std::string file; // the setup file it was opened from (SetupSource::File)
    // Whether a Put first lists what it will change; the operator can turn
    // it off in that box for the rest of the session.
    bool previewBeforePut = true;
};

// The program's setup as it is now becomes the baseline.
void SetBaseline(Program& program, SetupSource source);

// True when the baseline is what the meter holds (the last successful Get
// or Put).
[[nodiscard]] bool BaselineOnMeter(const Baseline& baseline);

// The fields a Put of the program's setup changes on the meter, in
// catalogue order; empty when the meter's setup is unknown.
[[nodiscard]] std::vector<FieldChange> ChangesOnMeter(const Program& program);

// Whether a Put first shows ChangesOnMeter: while the baseline is what the
// meter holds and the operator has not turned the preview off.
[[nodiscard]] bool PutPreviewDue(const Program& program);

// Meter > Get Setup: GetSetup, and after a success what the meter sent is
// the baseline. A failed Get keeps the baseline it had.
[[nodiscard]] GetResult GetFromMeter(Program& program);

struct PutOutcome {
    bool cancelled = false; // the operator cancelled in the preview: nothing was sent
    PutResult put;          // the Put itself, when not cancelled
};

// Meter > Put Setup: the preview when due (the operator may cancel, or turn
// the preview off for the session), then PutSetup. After a Put that the
// meter took whole, the setup put is the baseline. A Put that failed, even
// part way, keeps the old baseline, so the next preview still lists every
// field that may not have reached the meter.
[[nodiscard]] PutOutcome PutToMeter(Program& program);

// SigCondType > DC or Load Cell: RestoreSCType. The restore writes the
// board's type and range on the meter and leaves the setup in memory as it
// was; once the meter took it, the baseline that stands for the meter holds
// the new type and range, so a later Put shows that it sets them back.
[[nodiscard]] SCRestoreReport RestoreSCTypeOnMeter(Program& program, SCBoard board);

} // namespace wm
