#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "setup/Defaults.h"
#include "setup/SetupEditor.h"
#include "setup/ValueEntry.h"

namespace wm {
namespace {

// A default setup on a meter of the given revision, with the editor over it.
struct Rig {
    SetupImage image;
    DerivedSetup derived;
    LinkState link;
    SetupEditor editor{image, derived, link};

    explicit Rig(int revision = 12) {
        image.text = std::string(DefaultSetupText);
        link.MeterRevision = revision;
        derived = DeriveSetup(image);
    }
    void Set(std::string_view field, int code) { StoreFieldCode(image, *FindField(field), code); }
    int Code(std::string_view field) const { return FieldCode(image, *FindField(field)); }
    bool Usable(std::string_view control) const {
        const ControlView v = editor.View(control);
        return v.visible && v.enabled;
    }
};

// Page 3 shows different controls by protocol; relay, comm (RS485) and analog
// boards make every other control visible.
void ShowEverything(Rig& rig, int protocol) {
    rig.Set("RlyOpt", 1);
    rig.Set("ComOpt", 2);
    rig.Set("AnaOpt", 1);
    rig.Set("TranChars", 1);
    rig.Set("SerProtocol", protocol);
}

bool HasRule(std::string_view control) {
    // Lists whose choice also writes other fields; tested by rule below.
    for (std::string_view c : {"cboSCOpt", "cboMode", "cboFunc", "cboSerProtocol", "cboTimConst", "cboDVal"})
        if (c == control) return true;
    return false;
}

// A value that fits a box with dp - 1 digits after the point (kind 4: any
// five digits), as typed on the front panel, and its value in 1e-5 units.
std::pair<std::string, long long> RandomValue(std::mt19937& rng, int kind, int dp) {
    const int after = kind == 4 ? static_cast<int>(rng() % 6) : dp - 1;
    const int before = kind == 4 ? 5 - after : 6 - dp;
    std::string text = rng() % 2 ? "-" : "";
    long long value = 0;
    for (int i = 0; i < before; ++i) {
        const int d = static_cast<int>(rng() % 10);
        text += static_cast<char>('0' + d);
        value = value * 10 + d;
    }
    text += '.';
    for (int i = 0; i < 5; ++i) {
        const int d = i < after ? static_cast<int>(rng() % 10) : 0;
        if (i < after) text += static_cast<char>('0' + d);
        value = value * 10 + d;
    }
    if (before == 0 && after == 0) text += '0';
    return {text, text[0] == '-' ? -value : value};
}

// A shown value ("+012. 50", " - 1. 2345") in 1e-5 units.
long long ValueOf(const std::string& shown) {
    std::string s;
    for (char c : shown)
        if (c != ' ') s += c;
    const bool negative = !s.empty() && s[0] == '-';
    const std::size_t point = s.find('.');
    const std::string whole = s.substr(1, point == std::string::npos ? std::string::npos : point - 1);
    std::string frac = point == std::string::npos ? "" : s.substr(point + 1);
    frac.resize(5, '0');
    const long long v = std::stoll("0" + whole) * 100000 + std::stoll("0" + frac);
    return negative ? -v : v;
}

TEST(SetupEditorLists, EveryListLoadsItsCodeAndStoresIntoExactlyItsBits) {
    for (const FieldDef& field : AllFields()) {
        const std::string_view control = field.control;
        if (!control.starts_with("cbo") || HasRule(control)) continue;
        SCOPED_TRACE(std::string(field.name));
        for (int protocol : {0, 2}) {
            Rig rig;
            ShowEverything(rig, protocol);
            if (!rig.Usable(control)) continue;
            const int entries = rig.editor.View(control).selectable;
            ASSERT_GT(entries, 0);
            for (int entry = 0; entry < entries; ++entry) {
                for (int others : {0x00, 0xFF}) {
                    // Every other bit of the byte set one way, then the other.
                    const int mask = ((1 << (field.hi - field.lo + 1)) - 1) << field.lo;
                    const int before = (others & ~mask) | (rig.image.ByteAt(field.pos) & mask);
                    rig.image.SetBits(7, 0, field.pos, before);
                    if (!rig.Usable(control)) continue;
                    const std::string rest = rig.image.text;
                    ASSERT_TRUE(rig.editor.Choose(control, entry).ok) << entry;
                    const int code = CodeForEntry(field, entry);
                    EXPECT_EQ(rig.image.ByteAt(field.pos), (before & ~mask) | (code << field.lo)) << entry;
                    std::string expected = rest;
                    expected.replace(static_cast<std::size_t>(field.pos - 1), 2, rig.image.Mid(field.pos, 2));
                    if (control != "cboParity" && control != "cboMBTimeout") {
                        EXPECT_EQ(rig.image.text, expected) << "only the field's byte changes";
                    }
                    EXPECT_EQ(rig.editor.View(control).selected, entry) << "the view loads the stored code";
                }
            }
        }
    }
}

TEST(SetupEditorLists, CodePastTheListIsShownNotOfferedAndKept) {
    Rig rig;
    rig.Set("AutoZ", 12);
    rig.Set("State1", 3);
    rig.Set("ComOpt", 3);
    const ControlView autoZ = rig.editor.View("cboAutoZ");
    ASSERT_EQ(autoZ.entries.size(), AutoZTexts.size() + 1);
    EXPECT_EQ(autoZ.entries.back(), "code 12");
    EXPECT_EQ(autoZ.selectable, static_cast<int>(AutoZTexts.size()));
    EXPECT_EQ(autoZ.selected, autoZ.selectable);
    EXPECT_FALSE(rig.editor.Choose("cboAutoZ", autoZ.selectable).ok) << "the stand-in cannot be chosen";
    EXPECT_EQ(rig.editor.View("cboState1").entries.back(), "code 3");
    EXPECT_EQ(rig.editor.View("cboComOpt").entries.back(), "code 3");

    ASSERT_TRUE(rig.editor.Choose("cboCntBy", 2).ok);
    rig.editor.Activate(1);
    EXPECT_EQ(rig.Code("AutoZ"), 12) << "a neighbour's edit keeps the code";
    ASSERT_TRUE(rig.editor.Choose("cboAutoZ", 3).ok);
    EXPECT_EQ(rig.Code("AutoZ"), 3);
    EXPECT_EQ(rig.editor.View("cboAutoZ").entries.size(), AutoZTexts.size());
}

TEST(SetupEditorInput, BoardModeAndRangeListsFollowEachOtherAndWriteByte55) {
    Rig rig;
    EXPECT_EQ(rig.editor.View("cboMode").entries, (std::vector<std::string>{"DC V", "DC A", "Ratio"}));
    EXPECT_EQ(rig.editor.View("cboFunc").entries.size(), 5u);

    ASSERT_TRUE(rig.editor.Choose("cboMode", 2).ok); // Ratio
    EXPECT_EQ(rig.image.Mid(55, 2), "A0");
    EXPECT_EQ(rig.editor.View("cboFunc").entries.size(), 3u);
    EXPECT_EQ(rig.editor.View("cboFunc").help, 1309 + 6);

    ASSERT_TRUE(rig.editor.Choose("cboMode", 1).ok); // DC A
    const EditResult range = rig.editor.Choose("cboFunc", 3);
    ASSERT_TRUE(range.ok);
    EXPECT_EQ(rig.image.Mid(55, 2), "73");
    EXPECT_EQ(rig.derived.InputDP, 4);
    EXPECT_NE(std::find(range.refreshed.begin(), range.refreshed.end(), "txtHiIn"), range.refreshed.end());

    ASSERT_TRUE(rig.editor.Choose("cboSCOpt", 1).ok); // Load Cell: Strain, first range
    EXPECT_EQ(rig.image.Mid(35, 2), "03");
    EXPECT_EQ(rig.image.Mid(55, 2), "C0");
    const ControlView mode = rig.editor.View("cboMode");
    EXPECT_EQ(mode.entries, (std::vector<std::string>{"Strain", "DC mV"}));
    EXPECT_EQ(mode.selected, 0);
    EXPECT_EQ(mode.help, 1305 + 3);
    ASSERT_TRUE(rig.editor.Choose("cboMode", 1).ok);
    EXPECT_EQ(rig.image.Mid(55, 2), "D0");

    // A range the mode lacks is shown as the first without touching the image.
    rig.image.Put(55, "C7");
    EXPECT_EQ(rig.editor.View("cboFunc").selected, 0);
    EXPECT_EQ(rig.image.Mid(55, 2), "C7");
}

TEST(SetupEditorDisplay, DecimalPointRewritesEveryReadingButNotTheScale) {
    Rig rig;
    ASSERT_TRUE(rig.editor.SetField("Tare", "123").ok);
    const std::string scale = rig.editor.View("txtScale").text;
    const EditResult r = rig.editor.Choose("cboDecPt", 4); // d . dddd
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(rig.Code("DecPt"), 5);
    EXPECT_EQ(rig.editor.View("txtTare").text, " +0.0123") << "the stored count, shown with the new point";
    EXPECT_EQ(rig.editor.View("txtScale").text, scale);
    for (const char* box : {"txtTare", "txtSetpt1", "txtAnaLo"})
        EXPECT_NE(std::find(r.refreshed.begin(), r.refreshed.end(), box), r.refreshed.end()) << box;
}

TEST(SetupEditorDisplay, ScalingMethodSetsItsBitsAndEnablesItsBoxes) {
    const struct {
        const char* option;
        int coord, rdCoord;
        bool scale, input, reading;
    } rows[] = {{"optRdCoord", 0, 1, false, false, true},
                {"optCoord", 1, 0, false, true, true},
                {"optSclOff", 0, 0, true, false, false}};
    Rig rig;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.option);
        ASSERT_TRUE(rig.editor.Choose(row.option, 1).ok);
        EXPECT_EQ(rig.Code("Coord"), row.coord);
        EXPECT_EQ(rig.Code("RdCoord"), row.rdCoord);
        EXPECT_EQ(rig.editor.View(row.option).selected, 1);
        EXPECT_EQ(rig.Usable("txtScale"), row.scale);
        EXPECT_EQ(rig.Usable("fraOffset"), row.scale);
        EXPECT_EQ(rig.Usable("txtLoIn"), row.input);
        EXPECT_EQ(rig.Usable("txtHiRd"), row.reading);
        EXPECT_TRUE(rig.Usable("txtTare"));
        EXPECT_EQ(rig.editor.View(row.option).help, 1325);
    }
}

TEST(SetupEditorFilter, NoFilterAndBatchAverageByRevision) {
    // At revision 11 on "No Filter" is code 15; before, the slowest filter
    // (code 10) takes its place. Either forces the display value Filtered.
    for (int revision : {10, 11, 12}) {
        SCOPED_TRACE(revision);
        const int noFilter = revision >= 11 ? 15 : 10, other = revision >= 11 ? 10 : 15;
        Rig rig(revision);
        rig.Set("DVal", 0);
        ASSERT_TRUE(rig.editor.Choose("cboTimConst", other).ok);
        EXPECT_EQ(rig.Code("DVal"), 0);
        ASSERT_TRUE(rig.editor.Choose("cboTimConst", noFilter).ok);
        EXPECT_EQ(rig.Code("DVal"), 1);
        ASSERT_TRUE(rig.editor.Choose("cboDVal", 0).ok);
        EXPECT_EQ(rig.Code("DVal"), 1) << "Batch 16 Avg stays refused";
        EXPECT_EQ(rig.editor.View("cboDVal").selected, 1);
        ASSERT_TRUE(rig.editor.Choose("cboTimConst", 3).ok);
        ASSERT_TRUE(rig.editor.Choose("cboDVal", 0).ok);
        EXPECT_EQ(rig.Code("DVal"), 0);
        EXPECT_EQ(rig.editor.View("cboNegVal").visible, revision > 11);
    }
}

TEST(SetupEditorPages, FramesShareTheHelpTopicOfTheirControl) {
    Rig rig;
    const std::pair<const char*, int> rows[] = {{"fraExtIn", 1379}, {"fraLeadZ", 1324},  {"fraSP2Diff", 1368},
                                                {"fraDrib", 1368},  {"fraAnaHI", 2167},  {"lblLockout", 1361},
                                                {"lblAscTbl", 1138}, {"fraTranStop", 1382}, {"chkDisThresh", 1282},
                                                {"fraAutoZ", 1274}, {"fraInMode", 1305 + 1}};
    for (const auto& [control, topic] : rows) EXPECT_EQ(rig.editor.View(control).help, topic) << control;
}

TEST(SetupEditorPages, AlarmFramesFollowTheRelayBoard) {
    Rig rig;
    for (int relay : {0, 1}) {
        rig.Set("RlyOpt", relay);
        for (const char* c : {"fraAlarm1", "fraAlarm2", "fraBothAlm", "cboState2", "txtSetpt1"})
            EXPECT_EQ(rig.editor.View(c).visible, relay == 1) << c;
    }
}

TEST(SetupEditorPage3, VisibleAndEnabledByBoardProtocolFamilyAndRevision) {
    // The controls asked about, and their expected state as "ve" pairs:
    // visible, enabled ('-' when hidden, enabled not asked).
    const std::vector<std::string> controls = {"fraSerComm", "cboBaudRate", "cboAddress", "cboDuplex",
                                               "cboOutItems", "chkLF",     "fraRTS",     "fraParity",
                                               "fraMBTimeout", "fraTranChars", "fraTranStart", "lblAscTbl"};
    const struct {
        int comOpt, protocol, family, revision, tranChars;
        const char* states; // per control
    } rows[] = {
        {0, 0, 2, 12, 0, "-- -- -- -- -- -- -- -- -- -- -- --"},
        {1, 0, 2, 12, 0, "ve ve ve vd ve ve ve -- -- ve -- --"},
        {2, 0, 2, 12, 1, "ve ve ve ve ve ve ve -- -- ve ve ve"},
        {3, 0, 2, 12, 0, "ve vd vd ve ve vd vd -- -- ve -- --"},
        {2, 0, 5, 12, 0, "ve ve ve ve ve ve -- -- -- ve -- --"},
        {2, 1, 2, 12, 1, "ve ve -- ve -- -- -- ve -- -- -- --"},
        {2, 2, 2, 12, 0, "ve ve -- ve -- -- -- ve ve -- -- --"},
        {2, 0, 2, 0, 0, "ve ve ve ve ve ve ve -- -- -- -- --"},
        {2, 0, 2, 0, 1, "ve ve ve ve ve ve ve -- -- -- vd ve"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "ComOpt " << row.comOpt << " protocol " << row.protocol << " family "
                                          << row.family << " revision " << row.revision);
        Rig rig(row.revision);
        rig.link.MeterFamily = row.family;
        rig.Set("ComOpt", row.comOpt);
        rig.Set("SerProtocol", row.protocol);
        rig.Set("TranChars", row.tranChars);
        rig.editor.Activate(3);
        std::string got;
        for (const std::string& c : controls) {
            const ControlView v = rig.editor.View(c);
            got += !v.visible ? "--" : v.enabled ? "ve" : "vd";
            got += ' ';
        }
        got.pop_back();
        EXPECT_EQ(got, row.states);
    }
}

TEST(SetupEditorPage3, ActivationCopiesTheLinkSettingsAndProtocolSwitchRewritesByte133) {
    Rig rig;
    rig.link.ParityCode = 2;
    rig.link.ModbusTimeoutChoice = 3;
    rig.Set("SerProtocol", 2);
    rig.Set("ModbusAddr", 0);
    rig.editor.Activate(3);
    EXPECT_EQ(rig.Code("Parity"), 2);
    EXPECT_EQ(rig.Code("MBTimeout"), 3);
    EXPECT_EQ(rig.image.Mid(135, 2), "01");
    EXPECT_EQ(rig.editor.View("txtMBAddr").text, " 1");
    EXPECT_EQ(rig.link.SerialMode, 2);

    ASSERT_TRUE(rig.editor.Choose("cboSerProtocol", 0).ok);
    EXPECT_EQ(rig.image.GetBits(3, 0, 133), 0);
    EXPECT_EQ(rig.link.ParityCode, 0);
    EXPECT_EQ(rig.link.SerialMode, 0);
    ASSERT_TRUE(rig.editor.Choose("cboSerProtocol", 1).ok);
    EXPECT_EQ(rig.image.GetBits(3, 0, 133), 4) << "Modbus RTU, parity none";
    EXPECT_FALSE(rig.editor.View("fraMBTimeout").visible);

    rig.link.ParityCode = 1;
    rig.Set("SerProtocol", 0);
    rig.editor.Activate(3);
    EXPECT_EQ(rig.image.GetBits(3, 0, 133), 0) << "Custom ASCII clears protocol and parity";
    EXPECT_EQ(rig.link.ParityCode, 0);
}

TEST(SetupEditorPage3, LockoutBoxesAndCharacterBoxes) {
    Rig rig;
    rig.Set("TranChars", 1);
    ASSERT_TRUE(rig.editor.Choose("chkLock(4)", 1).ok); // Filter
    EXPECT_EQ(rig.image.GetBits(7, 7, 43), 1);
    ASSERT_TRUE(rig.editor.Choose("chkLock(11)", 1).ok); // Serial communication
    EXPECT_EQ(rig.image.GetBits(0, 0, 41), 1);
    EXPECT_EQ(rig.editor.View("chkLock(11)").help, 1258 + 11);
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(rig.editor.Choose("chkLock(" + std::to_string(i) + ")", 1).ok);
    EXPECT_EQ(rig.image.Mid(41, 4), "FFFF") << "sixteen boxes, sixteen distinct bits";
    EXPECT_FALSE(rig.editor.View("chkLock(16)").visible);
    EXPECT_EQ(rig.editor.View("lblLockout").text, "  Lockout  jumper IS NOT installed");

    ASSERT_TRUE(rig.editor.Enter("txtTranStop", " 13").ok);
    EXPECT_EQ(rig.editor.View("txtTranStop").text, " 13");
    EXPECT_EQ(rig.editor.View("lblTranStop").text, CharName(13));
    const EditResult big = rig.editor.Enter("txtTranStart", "256");
    EXPECT_FALSE(big.ok);
    EXPECT_NE(big.problem.find("StartChar"), std::string::npos) << big.problem;
    EXPECT_NE(big.problem.find("256"), std::string::npos) << big.problem;
}

TEST(SetupEditorEntry, StoresWhatTheValueEntryDialogWouldAndRefusesWhatCannotFit) {
    // The dialog's accepted text handed to the editor stores what the dialog
    // itself stores.
    const struct {
        const char* control;
        const char* keys;
    } rows[] = {{"txtTare", ">>>9"},       {"txtOffset", "-12345"},   {"txtScale", "->>>.9"},
                {"txtScale", ">>.>7"},      {"txtLoIn", "+>>>>>1"},    {"txtMBAddr", "<<042"},
                {"txtTranStart", "<<255"},  {"txtAnaHi", "-9<<<<3"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.control + std::string(" ") + row.keys);
        Rig rig;
        ShowEverything(rig, row.control == std::string("txtMBAddr") ? 1 : 0);
        ASSERT_TRUE(rig.editor.Choose("cboDecPt", 2).ok);
        ASSERT_TRUE(rig.editor.SetField("Tare", "123.45").ok);
        EXPECT_EQ(rig.image.Mid(1, 6), "003039");
        if (row.control == std::string("txtLoIn")) {
            ASSERT_TRUE(rig.editor.Choose("optCoord", 1).ok);
        }
        const std::optional<EntryRequest> req = rig.editor.BeginEntry(row.control);
        ASSERT_TRUE(req);
        SetupImage scratch = rig.image;
        ValueEntry entry(req->kind, req->pos, req->text);
        for (const char* k = row.keys; *k != 0; ++k) {
            if (*k == '>') entry.Right();
            else if (*k == '<') entry.Left();
            else entry.Type(*k);
        }
        ASSERT_EQ(entry.Enter(scratch), KeyOutcome::Stored);
        const EditResult r = rig.editor.Enter(row.control, entry.EntryText());
        ASSERT_TRUE(r.ok) << r.problem;
        EXPECT_EQ(rig.image.text, scratch.text);
        EXPECT_EQ(ValueOf(rig.editor.View(row.control).text), ValueOf(entry.EntryText()));
        if (row.control == std::string("txtTare")) {
            EXPECT_EQ(rig.image.Mid(1, 6), "003291") << "123.45 with a 9 on the third digit";
        }
    }

    Rig rig;
    for (const char* bad : {"123456", "1.2.3", "abc", "", "+", "999.999", "12a"}) {
        const std::string before = rig.image.text;
        const EditResult r = rig.editor.SetField("Tare", bad);
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_NE(r.problem.find("Tare"), std::string::npos) << r.problem;
        EXPECT_EQ(rig.image.text, before) << bad;
    }
    ASSERT_TRUE(rig.editor.SetField("Tare", "-12").ok);
    EXPECT_EQ(rig.image.Mid(1, 6), "FFFFF4");
    EXPECT_FALSE(rig.editor.SetField("ModbusAddr", "5").ok) << "hidden with Custom ASCII";
    ASSERT_TRUE(rig.editor.SetField("SerProtocol", "Modbus RTU").ok);
    EXPECT_TRUE(rig.editor.SetField("ModbusAddr", "0").ok);
    EXPECT_EQ(rig.Code("ModbusAddr"), 1) << "no slave answers address 0";
}

TEST(SetupEditorSetField, TakesShownTextOrCodeAndRefusesTheRest) {
    Rig rig;
    EXPECT_FALSE(rig.editor.SetField("BaudRate", "9600").ok) << "the shown text is exact, blanks included";
    EXPECT_TRUE(rig.editor.SetField("BaudRate", " 2400").ok);
    EXPECT_EQ(rig.Code("BaudRate"), 3);
    EXPECT_TRUE(rig.editor.SetField("BaudRate", "6").ok);
    EXPECT_EQ(rig.Code("BaudRate"), 6);
    EXPECT_TRUE(rig.editor.SetField("DecPt", "3").ok) << "the code, not the entry index";
    EXPECT_EQ(rig.editor.View("cboDecPt").entries[2], rig.editor.View("cboDecPt").entries[static_cast<std::size_t>(
                                                          rig.editor.View("cboDecPt").selected)]);
    EXPECT_TRUE(rig.editor.SetField("Lockout4", "on").ok);
    EXPECT_TRUE(rig.editor.SetField("Lockout5", "Scale, Lo/Hi In: on").ok);
    EXPECT_EQ(rig.image.GetBits(7, 6, 43), 3);
    EXPECT_TRUE(rig.editor.SetField("InCode", "Ratio").ok);
    EXPECT_EQ(rig.image.Mid(55, 2), "A0");

    const std::string before = rig.image.text;
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"Nonesuch", "1"}, {"BaudRate", "7"}, {"BaudRate", "-1"}, {"LF", "yes"}, {"Revision", "3"},
             {"LockJumper", "1"}, {"InCode", "Strain"}, {"StartChar", "300"}}) {
        const EditResult r = rig.editor.SetField(name, value);
        EXPECT_FALSE(r.ok) << name << "=" << value;
        EXPECT_NE(r.problem.find(name), std::string::npos) << r.problem;
    }
    EXPECT_EQ(rig.image.text, before);
}

TEST(SetupEditorChanges, MarksAndListsTheFieldsThatDifferFromTheBaseline) {
    Rig rig;
    rig.editor.SetBaseline(rig.image);
    EXPECT_TRUE(rig.editor.Changes().empty());
    ASSERT_TRUE(rig.editor.SetField("Tare", "5").ok);
    ASSERT_TRUE(rig.editor.Choose("cboDecPt", 3).ok);
    ASSERT_TRUE(rig.editor.Choose("chkLock(2)", 1).ok);
    const std::vector<FieldChange> changes = rig.editor.Changes();
    std::vector<std::string> names;
    for (const FieldChange& c : changes) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Tare", "DecPt", "Lockout2"})) << "a new point changes no reading";
    EXPECT_EQ(changes[1].a, "ddddd .");
    EXPECT_EQ(changes[1].b, "dd . ddd");
    EXPECT_TRUE(rig.editor.View("txtTare").changed);
    EXPECT_TRUE(rig.editor.View("chkLock(2)").changed);
    EXPECT_FALSE(rig.editor.View("txtSetpt1").changed);
    EXPECT_FALSE(rig.editor.View("chkLock(3)").changed);
    EXPECT_EQ(CompareSetups(rig.image, rig.image).size(), 0u);
}

// Random edits over the three pages, with page changes between them: after
// each, no field outside the edit and the rules it sets off has moved. Then
// "reload": a fresh editor over the image shows what the first one shows,
// every list and box agrees with `wmctl show`'s rows, and every field holds
// what the edits asked.
TEST(SetupEditorRandom, EditsThenReloadAgreeFieldByField) {
    const std::map<std::string, std::vector<std::string>> rules = {
        {"cboSCOpt", {"InCode", "Func"}}, {"cboMode", {"Func"}}, {"cboTimConst", {"DVal"}},
        {"cboDVal", {"DVal"}},            {"cboSerProtocol", {"Parity"}}};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Rig rig(static_cast<int>(rng() % 14));
        rig.Set("ComOpt", 1 + static_cast<int>(rng() % 2));
        rig.Set("RlyOpt", 1);
        rig.editor.Activate(3);
        std::map<std::string, int> codes;           // list and bit fields: the code asked for
        std::map<std::string, std::string> values;  // value boxes: the characters stored
        std::vector<std::string> controls;
        for (int page = 1; page <= 3; ++page)
            for (const std::string& c : rig.editor.ControlsOf(page)) controls.push_back(c);
        for (int step = 0; step < 300; ++step) {
            if (rng() % 10 == 0) {
                rig.editor.Activate(1 + static_cast<int>(rng() % 3));
                continue;
            }
            const std::string& c = controls[rng() % controls.size()];
            const ControlView v = rig.editor.View(c);
            const FieldDef* field = FindFieldByControl(c);
            if (!v.visible || !v.enabled || v.kind == ControlKind::Frame || v.kind == ControlKind::Label) continue;
            const std::vector<FieldRow> before = DescribeSetup(rig.image);
            const std::string name = field != nullptr ? std::string(field->name) : "";
            EditResult r;
            if (v.kind == ControlKind::List) {
                const int entry = static_cast<int>(rng() % static_cast<unsigned>(v.selectable));
                const auto modes = ModesForScType(rig.derived.ScType);
                codes[name] = c == "cboMode"   ? modes[static_cast<std::size_t>(entry)].inCode
                              : c == "cboFunc" ? entry
                                               : CodeForEntry(*field, entry);
                r = rig.editor.Choose(c, entry);
            } else if (v.kind == ControlKind::CheckBox) {
                const int bit = static_cast<int>(rng() % 2);
                r = rig.editor.Choose(c, bit);
                codes[name] = bit;
            } else if (v.kind == ControlKind::Option) {
                r = rig.editor.Choose(c, 1);
                codes["RdCoord"] = c == "optRdCoord" ? 1 : 0;
                if (c != "optRdCoord") codes["Coord"] = c == "optCoord" ? 1 : 0;
            } else if (field->kind == 7) {
                const int byte = static_cast<int>(rng() % 256);
                r = rig.editor.Enter(c, std::to_string(byte));
                codes[name] = name == "ModbusAddr" && byte == 0 ? 1 : byte;
            } else {
                const int dp = field->kind == 3 ? rig.derived.InputDP : rig.derived.DisplayDP;
                const auto [text, value] = RandomValue(rng, field->kind, dp);
                r = rig.editor.Enter(c, text);
                values[name] = rig.image.Mid(field->pos, 6);
                EXPECT_EQ(ValueOf(rig.editor.View(c).text), value) << c << " " << text;
            }
            ASSERT_TRUE(r.ok) << c << ": " << r.problem;
            const auto it = rules.find(c);
            const std::vector<FieldRow> after = DescribeSetup(rig.image);
            for (std::size_t i = 0; i < after.size(); ++i) {
                const std::string& n = after[i].name;
                const bool ruled = it != rules.end() &&
                                   std::find(it->second.begin(), it->second.end(), n) != it->second.end();
                if (ruled) {
                    codes[n] = std::stoi(after[i].code);
                } else if (n != name && n != "ScaleMethod" && n != "InputDP" &&
                           !(v.kind == ControlKind::Option && (n == "Coord" || n == "RdCoord"))) {
                    EXPECT_EQ(after[i].code, before[i].code) << n << " moved when " << c << " was edited";
                }
            }
        }
        for (int page = 1; page <= 3; ++page) rig.editor.Activate(page);
        SetupImage copy = rig.image;
        DerivedSetup derived = DeriveSetup(copy);
        LinkState link = rig.link;
        SetupEditor again(copy, derived, link);
        std::map<std::string, FieldRow> rows;
        for (const FieldRow& row : DescribeSetup(rig.image)) rows[row.name] = row;
        for (const std::string& c : controls) {
            const ControlView a = rig.editor.View(c), b = again.View(c);
            EXPECT_EQ(a.entries, b.entries) << c;
            EXPECT_EQ(a.selected, b.selected) << c;
            EXPECT_EQ(a.text, b.text) << c;
            EXPECT_EQ(a.visible, b.visible) << c;
            EXPECT_EQ(a.enabled, b.enabled) << c;
            const FieldDef* field = FindFieldByControl(c);
            if (field == nullptr) continue;
            const std::string& shown = rows.at(std::string(field->name)).text;
            if (a.kind == ControlKind::List && a.selected >= 0) {
                EXPECT_EQ(a.entries[static_cast<std::size_t>(a.selected)], shown) << c;
            }
            if (a.kind == ControlKind::ValueBox && field->kind != 7) {
                EXPECT_EQ(a.text, shown) << c;
            }
        }
        for (const auto& [name, code] : codes) EXPECT_EQ(rig.Code(name), code) << name;
        for (const auto& [name, stored] : values) EXPECT_EQ(rows.at(name).code, stored) << name;
    }
}

} // namespace
} // namespace wm
