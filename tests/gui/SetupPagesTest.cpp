// The three setup pages driven as the operator drives them: lists by the
// keyboard, check boxes and option buttons by the mouse, value boxes by a
// click that opens a scripted value entry.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <random>

#include "MenuRig.h"
#include "gui/setup/frmEntVal.h"
#include "gui/setup/frmSetup1.h"
#include "gui/setup/frmSetup3.h"
#include "gui/setup/frmSetupPages.h"
#include "setup/Fields.h"

namespace wm::test {
namespace {

// The main window with the default setup loaded (meter revision 12), and
// View > Setup chosen. Value entries answer from `entries`, in turn.
struct PagesRig : MenuRig {
    PagesRig() : MenuRig(WithPort(Line1(0, "012"), '0')) {
        Item("mnuDefaultSet")->trigger();
        program.link.MeterRevision = 12;
        OpenPages();
    }
    void OpenPages() {
        Item("mnuSetup")->trigger();
        pages = window->findChild<SetupPages*>("SetupPages");
        if (pages == nullptr) return;
        Front();
        pages->entryOpener = [this](QWidget&, QLineEdit&, const EntryRequest& request) {
            requests.push_back(request);
            if (entries.empty()) return EntryAnswer{};
            EntryAnswer a{true, entries.front()};
            entries.erase(entries.begin());
            return a;
        };
    }
    [[nodiscard]] frmSetupPage* Page(int n) const { return pages->Loaded(n); }
    template <class T>
    [[nodiscard]] T* On(int page, const char* name) const {
        return Page(page) == nullptr ? nullptr : Page(page)->findChild<T*>(name);
    }
    [[nodiscard]] int Code(const char* field) const { return FieldCode(program.setup, *FindField(field)); }
    // A click where a button's caption begins (a check box takes clicks on
    // its box and caption only); the page in front is the active window.
    void Click(int page, const char* button) { ClickButton(On<QAbstractButton>(page, button)); }
    void ClickButton(QAbstractButton* button) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        Front();
    }
    void Front() {
        for (int n = 1; n <= 3; ++n)
            if (Page(n) != nullptr && Page(n)->isVisible()) QApplication::setActiveWindow(Page(n));
    }

    SetupPages* pages = nullptr;
    std::vector<std::string> entries;
    std::vector<EntryRequest> requests;
};

// Chooses a list entry with the arrow keys, as the operator does; entries
// that cannot be chosen are skipped by the list itself.
void Pick(QComboBox* list, int entry) {
    ASSERT_NE(list, nullptr);
    list->setFocus(Qt::OtherFocusReason);
    for (int guard = 0; list->currentIndex() < entry && guard < 40; ++guard) QTest::keyClick(list, Qt::Key_Down);
    for (int guard = 0; list->currentIndex() > entry && guard < 40; ++guard) QTest::keyClick(list, Qt::Key_Up);
}

std::string Text(const QLineEdit* box) { return box->text().toLatin1().toStdString(); }

TEST(SetupPages, walkingThePagesAndBackShowsOneWindowAtATime) {
    PagesRig rig;
    ASSERT_NE(rig.pages, nullptr);
    frmSetupPage* one = rig.Page(1);
    ASSERT_NE(one, nullptr);
    EXPECT_TRUE(one->isVisible());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(one->windowTitle().toStdString(), "WEIGHT METER SETUP  PAGE  1  ");
    EXPECT_EQ(rig.On<QPushButton>(1, "cmdNextPage")->text().toStdString(), "Page 2    >");
    EXPECT_EQ(Text(rig.On<QLineEdit>(1, "txtF1Help")), " <  Select box and use F1 Key for Help  >");

    rig.Click(1, "cmdNextPage");
    ASSERT_NE(rig.Page(2), nullptr);
    EXPECT_TRUE(rig.Page(2)->isVisible());
    EXPECT_FALSE(one->isVisible());
    EXPECT_EQ(rig.On<QPushButton>(2, "cmdPrevPage")->text().toStdString(), "<    Page 1");
    rig.Click(2, "cmdNextPage");
    ASSERT_NE(rig.Page(3), nullptr);
    EXPECT_TRUE(rig.Page(3)->isVisible());
    EXPECT_EQ(rig.pages->Page3Shown, 1);

    // The lockouts are one control array: sixteen boxes of one name.
    const QList<QCheckBox*> locks = rig.Page(3)->findChildren<QCheckBox*>("chkLock");
    ASSERT_EQ(locks.size(), 16);
    for (QCheckBox* box : locks) {
        const int i = box->property("Index").toInt();
        EXPECT_EQ(box->text().toStdString(), LockoutCaptions[static_cast<std::size_t>(i)]);
    }

    rig.Click(3, "cmdPrevPage");
    EXPECT_TRUE(rig.Page(2)->isVisible());
    rig.Click(2, "cmdMMenu");
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_FALSE(rig.Page(2)->isVisible());

    // Closing a page also leads back to the main window.
    rig.OpenPages();
    EXPECT_TRUE(rig.Page(1)->isVisible());
    rig.Page(1)->close();
    EXPECT_TRUE(rig.window->isVisible());
}

TEST(SetupPages, listsStoreTheirFieldAndTheDecimalPointRewritesEveryReading) {
    PagesRig rig;
    Pick(rig.On<QComboBox>(1, "cboCntBy"), 3);
    EXPECT_EQ(rig.program.setup.GetBits(7, 4, 11), 3);
    Pick(rig.On<QComboBox>(1, "cboHz"), 1);
    EXPECT_EQ(rig.program.setup.GetBits(6, 6, 53), 1);
    // Only the changed fields carry the marker.
    EXPECT_EQ(rig.On<QComboBox>(1, "cboCntBy")->toolTip().toStdString(), ChangedTip);
    EXPECT_TRUE(rig.On<QComboBox>(1, "cboAutoZ")->toolTip().isEmpty());

    // Scrolling over a list the operator has not gone to changes nothing.
    QComboBox* hz = rig.On<QComboBox>(1, "cboHz");
    rig.On<QPushButton>(1, "cmdMMenu")->setFocus();
    const QPointF at(hz->width() / 2.0, hz->height() / 2.0);
    QWheelEvent wheel(at, hz->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(hz, &wheel);
    EXPECT_EQ(rig.program.setup.GetBits(6, 6, 53), 1);
    EXPECT_EQ(hz->currentIndex(), 1);

    Pick(rig.On<QComboBox>(1, "cboDecPt"), 4); // "d . dddd"
    EXPECT_EQ(rig.program.setup.GetBits(2, 0, 39), 5);
    const std::string scale = Text(rig.On<QLineEdit>(1, "txtScale"));
    for (const char* box : {"txtTare", "txtOffset", "txtLoRd", "txtHiRd"}) {
        const std::string text = Text(rig.On<QLineEdit>(1, box));
        const auto point = text.find('.');
        ASSERT_NE(point, std::string::npos) << box;
        EXPECT_EQ(text.size() - point - 1, 4u) << box << " \"" << text << "\"";
    }
    EXPECT_EQ(Text(rig.On<QLineEdit>(1, "txtScale")), scale);
    // Page 2 shows its readings with the new point too.
    rig.Click(1, "cmdNextPage");
    const std::string setpoint = Text(rig.On<QLineEdit>(2, "txtSetpt1"));
    EXPECT_EQ(setpoint.size() - setpoint.find('.') - 1, 4u) << setpoint;

    // Page 2's lists: the 16th input pair keeps the other nibble of its byte.
    const int high = rig.program.setup.GetBits(7, 4, 53);
    Pick(rig.On<QComboBox>(2, "cboExtAB"), 15);
    EXPECT_EQ(rig.program.setup.GetBits(3, 0, 53), 15);
    EXPECT_EQ(rig.program.setup.GetBits(7, 4, 53), high);

    // Without a filter the display value stays "Filtered": the list the
    // operator set to "Batch 16 Avg" goes back to what was stored.
    Pick(rig.On<QComboBox>(2, "cboTimConst"), 15); // "No Filter"
    EXPECT_EQ(rig.program.setup.GetBits(5, 5, 51), 1);
    rig.Click(2, "cmdPrevPage");
    QComboBox* dval = rig.On<QComboBox>(1, "cboDVal");
    Pick(dval, 0);
    EXPECT_EQ(rig.program.setup.GetBits(5, 5, 51), 1);
    EXPECT_EQ(dval->currentText().toStdString(), "Filtered");
}

TEST(SetupPages, markersCompareWithTheSetupLastReadPutOrOpened) {
    PagesRig rig;
    Pick(rig.On<QComboBox>(1, "cboCntBy"), 3);
    EXPECT_EQ(rig.On<QComboBox>(1, "cboCntBy")->toolTip().toStdString(), ChangedTip);
    // Leaving the pages and coming back keeps the mark: the setup loaded
    // last is still the default one.
    rig.Click(1, "cmdMMenu");
    rig.OpenPages();
    EXPECT_EQ(rig.On<QComboBox>(1, "cboCntBy")->toolTip().toStdString(), ChangedTip);
    // Once the meter holds the edited setup (a Put it took, or a Get that
    // read exactly it), nothing differs any more.
    SetBaseline(rig.program, SetupSource::Put);
    rig.Click(1, "cmdMMenu");
    rig.OpenPages();
    EXPECT_TRUE(rig.On<QComboBox>(1, "cboCntBy")->toolTip().isEmpty());
}

TEST(SetupPages, aCodeNoEntryStandsForIsShownButCannotBeChosen) {
    PagesRig rig;
    rig.Click(1, "cmdMMenu");
    rig.program.setup.SetBits(7, 4, 11, 12); // CntBy 12
    rig.OpenPages();
    QComboBox* list = rig.On<QComboBox>(1, "cboCntBy");
    ASSERT_EQ(list->count(), 11);
    EXPECT_EQ(list->currentIndex(), 10);
    EXPECT_EQ(list->currentText().toStdString(), "code 12");
    Pick(list, 9);
    EXPECT_EQ(rig.program.setup.GetBits(7, 4, 11), 9);
    QTest::keyClick(list, Qt::Key_Down); // the stand-in entry is not offered
    EXPECT_EQ(list->currentIndex(), 9);
    EXPECT_EQ(rig.program.setup.GetBits(7, 4, 11), 9);
}

TEST(SetupPages, theScalingMethodEnablesItsBoxes) {
    PagesRig rig;
    const auto enabled = [&rig](const char* box) { return rig.On<QLineEdit>(1, box)->isEnabled(); };
    rig.Click(1, "optCoord");
    EXPECT_EQ(rig.program.setup.GetBits(4, 4, 53), 1);
    EXPECT_EQ(rig.program.setup.GetBits(3, 3, 33), 0);
    EXPECT_TRUE(enabled("txtLoIn") && enabled("txtHiIn") && enabled("txtLoRd") && enabled("txtHiRd"));
    EXPECT_FALSE(enabled("txtScale") || enabled("txtOffset"));

    // Reaching the button with Tab is enough to choose it.
    rig.On<QRadioButton>(1, "optRdCoord")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(rig.program.setup.GetBits(3, 3, 33), 1);
    EXPECT_TRUE(rig.On<QRadioButton>(1, "optRdCoord")->isChecked());
    EXPECT_FALSE(enabled("txtLoIn") || enabled("txtHiIn"));
    EXPECT_TRUE(enabled("txtLoRd") && enabled("txtHiRd"));
    EXPECT_EQ(rig.pages->HelpTopic, 1325);

    rig.Click(1, "optSclOff");
    EXPECT_EQ(rig.program.setup.GetBits(3, 3, 33), 0);
    EXPECT_EQ(rig.program.setup.GetBits(4, 4, 53), 0);
    EXPECT_TRUE(enabled("txtScale") && enabled("txtOffset") && enabled("txtTare"));
    EXPECT_FALSE(enabled("txtLoRd"));
}

TEST(SetupPages, boardsDecideWhatPagesTwoAndThreeShow) {
    PagesRig rig;
    const auto shown = [&rig](int page, const char* name) {
        return rig.On<QWidget>(page, name)->isVisibleTo(rig.Page(page));
    };
    Pick(rig.On<QComboBox>(1, "cboRlyOpt"), 0);
    EXPECT_EQ(rig.program.setup.GetBits(6, 6, 49), 0);
    rig.Click(1, "cmdNextPage");
    EXPECT_FALSE(shown(2, "fraAlarm1") || shown(2, "fraAlarm2") || shown(2, "fraBothAlm"));
    rig.Click(2, "cmdPrevPage");
    Pick(rig.On<QComboBox>(1, "cboRlyOpt"), 1);
    Pick(rig.On<QComboBox>(1, "cboComOpt"), 2);
    rig.Click(1, "cmdNextPage");
    EXPECT_TRUE(shown(2, "fraAlarm1") && shown(2, "fraAlarm2") && shown(2, "fraBothAlm"));

    // Page 3: Custom ASCII settings, then Modbus RTU, then Modbus ASCII.
    rig.Click(2, "cmdNextPage");
    EXPECT_TRUE(shown(3, "fraSerComm"));
    EXPECT_TRUE(shown(3, "fraAddress") && shown(3, "fraOutItems"));
    EXPECT_FALSE(shown(3, "fraParity") || shown(3, "fraMBAddr"));
    Pick(rig.On<QComboBox>(3, "cboSerProtocol"), 1);
    EXPECT_EQ(rig.program.setup.GetBits(3, 2, 133), 1);
    EXPECT_EQ(rig.program.link.SerialMode, 1);
    EXPECT_TRUE(shown(3, "fraParity") && shown(3, "fraMBAddr"));
    EXPECT_FALSE(shown(3, "fraMBTimeout") || shown(3, "fraAddress") || shown(3, "fraTranChars"));
    Pick(rig.On<QComboBox>(3, "cboParity"), 2);
    EXPECT_EQ(rig.program.setup.GetBits(1, 0, 133), 2);
    Pick(rig.On<QComboBox>(3, "cboSerProtocol"), 2);
    EXPECT_TRUE(shown(3, "fraMBTimeout"));
    Pick(rig.On<QComboBox>(3, "cboSerProtocol"), 0);
    EXPECT_EQ(rig.program.setup.GetBits(3, 0, 133), 0);
    EXPECT_EQ(rig.program.link.ParityCode, 0);
    EXPECT_TRUE(shown(3, "fraAddress"));

    // A lockout box sets its own bit.
    QCheckBox* filter = nullptr;
    for (QCheckBox* box : rig.Page(3)->findChildren<QCheckBox*>("chkLock"))
        if (box->property("Index").toInt() == 4) filter = box;
    ASSERT_NE(filter, nullptr);
    const bool was = filter->isChecked();
    rig.ClickButton(filter);
    EXPECT_EQ(rig.program.setup.GetBits(7, 7, 43), was ? 0 : 1);
    EXPECT_EQ(rig.pages->HelpTopic, 1262);
}

TEST(SetupPages, returningFromValueEntryKeepsPagesOneAndTwoAsTheyAre) {
    PagesRig rig;
    QLineEdit* tare = rig.On<QLineEdit>(1, "txtTare");
    // The default setup shows readings without decimals: a value with one
    // is refused and said so, and nothing is stored.
    const std::string unchanged = rig.program.setup.text;
    rig.entries = {"-12.5", "-125"};
    QTest::mouseClick(tare, Qt::LeftButton);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_NE(rig.dialogs.boxes[0].text.find("Tare cannot hold"), std::string::npos);
    EXPECT_EQ(rig.program.setup.text, unchanged);
    EXPECT_EQ(tare->toolTip().toStdString(), "");

    QTest::keyClick(tare, Qt::Key_Return); // the keyboard opens the box too
    ASSERT_EQ(rig.requests.size(), 2u);
    EXPECT_EQ(rig.requests[1].kind, 2);
    EXPECT_EQ(rig.requests[1].pos, 1);
    EXPECT_EQ(rig.program.setup.FormatField(2, 1, rig.program.derived.DisplayDP), Text(tare));
    EXPECT_NE(Text(tare).find('-'), std::string::npos);
    EXPECT_EQ(rig.pages->SkipPageReload, 1);
    EXPECT_EQ(tare->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_EQ(tare->toolTip().toStdString(), ChangedTip);

    // The page comes to the front again: it is not loaded afresh, so a
    // change made behind its back does not show.
    const std::string hz = rig.On<QComboBox>(1, "cboHz")->currentText().toStdString();
    rig.program.setup.SetBits(6, 6, 53, 1 - rig.program.setup.GetBits(6, 6, 53));
    rig.Page(1)->Form_Activate();
    EXPECT_EQ(rig.On<QComboBox>(1, "cboHz")->currentText().toStdString(), hz);
    // ... yet its lists still store.
    Pick(rig.On<QComboBox>(1, "cboAutoZ"), 2);
    EXPECT_EQ(rig.program.setup.GetBits(3, 0, 11), 2);

    // A cancelled entry stores nothing.
    const std::string before = rig.program.setup.text;
    QTest::mouseClick(tare, Qt::LeftButton);
    EXPECT_EQ(rig.program.setup.text, before);

    // Page 3 reloads on every activation: the Modbus address byte.
    rig.Click(1, "cmdNextPage");
    rig.Click(2, "cmdNextPage");
    Pick(rig.On<QComboBox>(3, "cboSerProtocol"), 1);
    rig.entries = {" 247"};
    QTest::mouseClick(rig.On<QLineEdit>(3, "txtMBAddr"), Qt::LeftButton);
    EXPECT_EQ(rig.program.setup.ByteAt(135), 247);
    rig.program.setup.Put(135, "00");
    rig.Page(3)->Form_Activate();
    EXPECT_EQ(rig.program.setup.ByteAt(135), 1);
    EXPECT_EQ(Text(rig.On<QLineEdit>(3, "txtMBAddr")), " 1");
}

TEST(SetupPages, theValueEntryDialogStoresWhatIsTypedAndTheNameFollows) {
    PagesRig rig;
    rig.pages->UseValueEntryDialog(); // the real dialog, answered by keys once it is up
    rig.Click(1, "cmdNextPage");
    rig.Click(2, "cmdNextPage");
    Pick(rig.On<QComboBox>(3, "cboTranChars"), 1);
    QLineEdit* stop = rig.On<QLineEdit>(3, "txtTranStop");
    ASSERT_TRUE(stop->isEnabled() && stop->isVisibleTo(rig.Page(3)));

    QTimer::singleShot(0, rig.Page(3), [&rig] {
        auto* dialog = rig.Page(3)->findChild<frmEntVal*>();
        ASSERT_NE(dialog, nullptr);
        for (char c : std::string("013")) QTest::keyClick(dialog->focusWidget(), c);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    });
    QTimer deadline; // a dialog left open fails the test instead of hanging it
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, rig.Page(3), [&rig] {
        ADD_FAILURE() << "the dialog was still open";
        if (auto* dialog = rig.Page(3)->findChild<frmEntVal*>()) dialog->reject();
    });
    deadline.start(5000);
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(rig.program.setup.ByteAt(125), 13);
    EXPECT_EQ(Text(stop), " 13");
    EXPECT_EQ(rig.On<QLabel>(3, "lblTranStop")->text().toStdString(), "cr ");
    EXPECT_EQ(stop->palette().color(QPalette::Base), QColor(255, 255, 255));
}

TEST(SetupPages, aCorruptSignalConditionerTypeIsPutToTheOperatorOnOpening) {
    for (const Answer answer : {Answer::No, Answer::Yes}) {
        MenuRig rig(WithPort(Line1(0, "012"), '0'));
        rig.Item("mnuDefaultSet")->trigger();
        rig.program.setup.Put(35, "1F");
        rig.dialogs.answerFor[MessageId::CorruptType] = answer;
        bool ended = false;
        QObject::connect(rig.window.get(), &frmMMenu::programEnded, [&ended] { ended = true; });
        rig.Item("mnuSetup")->trigger();
        auto* pages = rig.window->findChild<SetupPages*>("SetupPages");
        ASSERT_NE(pages, nullptr);
        if (answer == Answer::No) {
            // Going on: a DC board in its first mode, shown and stored.
            EXPECT_FALSE(ended);
            EXPECT_EQ(rig.program.setup.Mid(35, 2), "01");
            EXPECT_TRUE(pages->Loaded(1)->isVisible());
            EXPECT_EQ(pages->Loaded(1)->findChild<QComboBox*>("cboSCOpt")->currentText().toStdString(), "DC");
        } else {
            EXPECT_TRUE(ended);
            EXPECT_FALSE(pages->Loaded(1)->isVisible());
            EXPECT_FALSE(rig.window->isVisible());
        }
    }
}

TEST(SetupPages, helpFollowsTheFocusAndF1OpensIt) {
    PagesRig rig;
    rig.On<QComboBox>(1, "cboHz")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(rig.pages->HelpTopic, 1320);
    QTest::mouseClick(rig.On<QGroupBox>(1, "fraDecPt"), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(rig.pages->HelpTopic, 1323);
    QTest::keyClick(rig.Page(1), Qt::Key_F1);
    ASSERT_NE(rig.pages->HelpWindow(), nullptr);
    EXPECT_TRUE(rig.pages->HelpWindow()->isVisible());
    EXPECT_EQ(rig.pages->HelpWindow()->Topic(), 1323);
    rig.pages->HelpWindow()->cmdOK_Click();

    rig.Click(1, "cmdNextPage");
    rig.Click(2, "cmdNextPage");
    Pick(rig.On<QComboBox>(3, "cboTranChars"), 1);
    auto* table = rig.On<QLabel>(3, "lblAscTbl");
    ASSERT_TRUE(table->isVisibleTo(rig.Page(3)));
    QTest::mouseClick(table, Qt::LeftButton);
    EXPECT_EQ(rig.pages->HelpTopic, 1138);
    EXPECT_EQ(rig.pages->HelpWindow()->Topic(), 1138);
}

// The state of a bound widget, as the operator sees it.
std::string StateOf(QWidget* w) {
    if (auto* list = qobject_cast<QComboBox*>(w)) return "list " + std::to_string(list->currentIndex());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->isChecked() ? "on" : "off";
    if (auto* box = qobject_cast<QLineEdit*>(w)) return "text " + box->text().toLatin1().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w)) return "label " + label->text().toLatin1().toStdString();
    return {};
}

std::string Expected(const ControlView& v) {
    switch (v.kind) {
    case ControlKind::List: return "list " + std::to_string(v.selected);
    case ControlKind::CheckBox:
    case ControlKind::Option: return v.selected == 1 ? "on" : "off";
    case ControlKind::ValueBox: return "text " + v.text;
    case ControlKind::Label: return "label " + v.text;
    case ControlKind::Frame: return {};
    }
    return {};
}

// Replaces every digit of a value box's text, so that it fits the field.
std::string RandomValue(const std::string& shown, int kind, std::mt19937& random) {
    if (kind == 7) return " " + std::to_string(random() % 256);
    std::string text = shown;
    for (char& c : text)
        if (c >= '0' && c <= '9') c = static_cast<char>('0' + random() % 10);
    if (kind != 4) text[text.find_first_of("+-")] = random() % 2 != 0 ? '-' : '+';
    return text;
}

TEST(SetupPages, randomEditsThroughTheWidgetsShowWhatTheSetupHoldsWhenReopened) {
    PagesRig rig;
    std::mt19937 random(20261207);
    std::string last = rig.program.setup.text;
    int edits = 0;
    int current = 1;
    for (int tries = 0; tries < 200;) {
        // Walk to page n the way the operator does.
        const int n = 1 + static_cast<int>(random() % 3);
        for (; current < n; ++current) rig.Click(current, "cmdNextPage");
        for (; current > n; --current) rig.Click(current, "cmdPrevPage");
        frmSetupPage* page = rig.Page(n);
        ASSERT_TRUE(page != nullptr && page->isVisible());
        const std::vector<std::string> controls = rig.pages->Editor().ControlsOf(n);
        const std::string control = controls[random() % controls.size()];
        const ControlKind kind = rig.pages->Editor().View(control).kind;
        if (kind == ControlKind::Frame || kind == ControlKind::Label) continue;
        ++tries;
        QWidget* w = page->Binding().Widget(control);
        if (w == nullptr || !w->isEnabled() || !w->isVisibleTo(page)) continue;
        if (auto* list = qobject_cast<QComboBox*>(w)) {
            const int selectable = rig.pages->Editor().View(control).selectable;
            if (selectable > 0) Pick(list, static_cast<int>(random() % static_cast<unsigned>(selectable)));
        } else if (auto* box = qobject_cast<QLineEdit*>(w)) {
            const auto request = rig.pages->Editor().BeginEntry(control);
            if (!request) continue;
            rig.entries = {RandomValue(request->text, request->kind, random)};
            QTest::mouseClick(box, Qt::LeftButton);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            rig.ClickButton(button);
        }
        ASSERT_TRUE(rig.dialogs.boxes.empty()) << control << ": " << rig.dialogs.boxes[0].text;
        if (rig.program.setup.text != last) ++edits;
        last = rig.program.setup.text;
    }
    EXPECT_GT(edits, 100) << edits; // the walk really edits

    // Back to the main window, and every page opened afresh.
    for (int page = 1; page <= 3; ++page)
        if (rig.Page(page) != nullptr && rig.Page(page)->isVisible()) rig.Click(page, "cmdMMenu");
    rig.OpenPages();
    rig.Click(1, "cmdNextPage");
    rig.Click(2, "cmdNextPage");
    for (int n = 1; n <= 3; ++n) {
        for (const std::string& control : rig.pages->Editor().ControlsOf(n)) {
            QWidget* w = rig.Page(n)->Binding().Widget(control);
            if (w == nullptr) continue;
            const ControlView v = rig.pages->Editor().View(control);
            EXPECT_EQ(w->isVisibleTo(rig.Page(n)), v.visible) << control;
            if (!v.visible) continue;
            EXPECT_EQ(StateOf(w), Expected(v)) << control;
            // A plain list or check box shows exactly the code its bits hold.
            const FieldDef* field = FindFieldByControl(control);
            if (field == nullptr || field->type == FieldType::Numeric || field->shown != Shown::ListText ||
                field->shownAsEntry >= 0)
                continue;
            if (auto* list = qobject_cast<QComboBox*>(w); list != nullptr && v.selected < v.selectable) {
                EXPECT_EQ(CodeForEntry(*field, list->currentIndex()), FieldCode(rig.program.setup, *field)) << control;
            }
        }
    }
}

} // namespace
} // namespace wm::test
