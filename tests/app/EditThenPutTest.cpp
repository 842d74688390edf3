// Get, a few edits through the setup editor, Put: against the simulated
// meter, only the bits of the edited fields change in the meter's setup,
// and the box before the Put lists exactly those fields.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/SimProgram.h"
#include "app/Baseline.h"
#include "comm/Hex.h"
#include "setup/Fields.h"
#include "setup/SetupEditor.h"

namespace wm::test {
namespace {

// Per image byte (characters 2n+1, 2n+2), the bits the named fields own.
std::vector<int> FieldMask(const std::set<std::string>& names) {
    std::vector<int> mask(68, 0);
    for (const std::string& name : names) {
        const FieldDef* f = FindField(name);
        if (f == nullptr) {
            ADD_FAILURE() << "no field " << name;
            continue;
        }
        const int first = (f->pos - 1) / 2;
        if (f->type == FieldType::Numeric) {
            for (int i = 0; i < 3; ++i)
                mask[static_cast<std::size_t>(first + i)] = 0xFF;
        } else {
            mask[static_cast<std::size_t>(first)] |= ((1 << (f->hi + 1)) - 1) & ~((1 << f->lo) - 1);
        }
    }
    return mask;
}

int ByteOf(const std::string& image, std::size_t index) {
    return static_cast<unsigned char>(HexToBytes(image.substr(2 * index, 2))[0]);
}

TEST(EditThenPut, onlyTheEditedFieldsReachTheMeterAndTheBoxListsThem) {
    for (const int protocol : {0, 1, 2}) {
        const std::string label = protocol == 0 ? "custom ascii" : protocol == 1 ? "modbus rtu" : "modbus ascii";
        SimProgram rig(Line1(protocol, "007", '5', '1', "001"));
        {
            // The meter's setup speaks the protocol of the link. Its scale
            // of 1 is kept with four decimals: the scale's registers carry
            // the value without its point, so a Modbus Get reads 1 that way
            // and its Put stores it so, whatever point the meter showed.
            SetupImage im;
            im.text = rig.meter.Image();
            im.SetBits(3, 2, 133, protocol);
            im.SetBits(1, 0, 133, 0);
            im.Put(103, "502710");
            ASSERT_TRUE(rig.meter.SetImage(im.text)) << label;
        }
        Program& program = rig.program;
        ASSERT_TRUE(GetFromMeter(program).ok()) << label;
        const std::string meterBefore = rig.meter.Image();

        // A list, a value box and one lockout box, as the pages edit them.
        SetupEditor editor(program.setup, program.derived, program.link);
        editor.SetBaseline(program.baseline.image);
        const ControlView autoZ = editor.View("cboAutoZ");
        ASSERT_TRUE(editor.Choose("cboAutoZ", (autoZ.selected + 1) % autoZ.selectable).ok) << label;
        ASSERT_TRUE(editor.SetField("SetPt1", "123").ok) << label;
        const ControlView lock = editor.View("chkLock(4)");
        ASSERT_TRUE(editor.Choose("chkLock(4)", 1 - lock.selected).ok) << label;
        const std::string lockName(FindFieldByControl("chkLock(4)")->name);
        const std::set<std::string> edited = {"AutoZ", "SetPt1", lockName};

        std::set<std::string> editorSays;
        for (const FieldChange& c : editor.Changes())
            editorSays.insert(c.name);
        EXPECT_EQ(editorSays, edited) << label;

        const PutOutcome out = PutToMeter(program);
        ASSERT_TRUE(out.put.ok()) << label << " status " << out.put.status;
        ASSERT_EQ(rig.op.previews.size(), 1U) << label;
        std::set<std::string> listed;
        for (const PutPreview::Change& c : rig.op.previews[0].changes) {
            listed.insert(c.name);
            EXPECT_NE(c.meter, c.put) << label << " " << c.name;
        }
        EXPECT_EQ(listed, edited) << label;

        // Bit for bit: outside the edited fields the meter's setup is as it
        // was; inside them it holds what the editor stored.
        const std::string meterAfter = rig.meter.Image();
        const std::vector<int> mask = FieldMask(edited);
        for (std::size_t i = 0; i < 68; ++i) {
            const int was = ByteOf(meterBefore, i), now = ByteOf(meterAfter, i);
            const int wanted = ByteOf(program.setup.text, i);
            EXPECT_EQ((was ^ now) & ~mask[i], 0) << label << " byte at " << 2 * i + 1;
            EXPECT_EQ((wanted ^ now) & mask[i], 0) << label << " byte at " << 2 * i + 1;
        }
        EXPECT_NE(meterAfter, meterBefore) << label;
    }
}

} // namespace
} // namespace wm::test
