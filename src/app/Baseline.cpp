#include "app/Baseline.h"

#include "app/Program.h"
#include "setup/Fields.h"

namespace wm {

void SetBaseline(Program& program, SetupSource source) {
    Baseline& b = program.baseline;
    b.source = source;
    b.image = program.setup;
    b.file = source == SetupSource::File ? program.SetupFileName : std::string();
}

bool BaselineOnMeter(const Baseline& baseline) {
    return baseline.source == SetupSource::Get || baseline.source == SetupSource::Put;
}

std::vector<FieldChange> ChangesOnMeter(const Program& program) {
    if (!BaselineOnMeter(program.baseline)) return {};
    return CompareSetups(program.baseline.image, program.setup);
}

bool PutPreviewDue(const Program& program) {
    return program.baseline.previewBeforePut && BaselineOnMeter(program.baseline);
}

GetResult GetFromMeter(Program& program) {
    GetResult result = GetSetup(program);
    if (result.ok()) {
        SetBaseline(program, SetupSource::Get);
        // The signal-conditioner check may have put a DC board in place of a
        // corrupt type in memory; the meter still holds what it sent.
        program.baseline.image.text = result.received;
    }
    return result;
}

PutOutcome PutToMeter(Program& program) {
    PutOutcome outcome;
    // While another exchange runs the Put is refused; no box before that.
    if (!program.txn.Waiting() && PutPreviewDue(program)) {
        PutPreview preview;
        for (const FieldChange& c : ChangesOnMeter(program)) preview.changes.push_back({c.name, c.a, c.b});
        const Answer answer = program.platform.op.ReviewPut(preview);
        if (answer != Answer::Ok) {
            // Cancel leaves everything as it was, the check box included.
            outcome.cancelled = true;
            return outcome;
        }
        program.baseline.previewBeforePut = preview.showBeforeEveryPut;
    }
    outcome.put = PutSetup(program);
    if (outcome.put.ok()) SetBaseline(program, SetupSource::Put);
    return outcome;
}

SCRestoreReport RestoreSCTypeOnMeter(Program& program, SCBoard board) {
    SCRestoreReport report = RestoreSCType(program, board);
    if (report.succeeded && BaselineOnMeter(program.baseline)) {
        // The meter's board takes the type that goes with the range written:
        // DC with 200 mV ("01", "60"), load cell with 20 mV ("03", "D0").
        const bool dc = board == SCBoard::DC;
        program.baseline.image.Put(FieldNamed("ScTypeCode").pos, dc ? "01" : "03");
        program.baseline.image.Put(FieldNamed("InCode").pos, dc ? "60" : "D0");
    }
    return report;
}

} // namespace wm
