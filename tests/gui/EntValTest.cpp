// The value entry dialog driven as a person drives it: key strokes to the
// focused box and clicks on its buttons, while OpenValueEntry waits for it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "comm/Tables.h"
#include "gui/setup/OpenValueEntry.h"
#include "gui/setup/frmEntVal.h"
#include "setup/SetupImage.h"
#include "setup/ValueEntry.h"
#include "support/ScriptedOperator.h"

namespace wm {
namespace {

constexpr int Pos = 21;

Rgb Background(const QLineEdit& box) {
    const QColor c = box.palette().color(QPalette::Base);
    return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
               static_cast<std::uint8_t>(c.blue())};
}

// The box that has the focus (-1: none of them).
int Focused(const frmEntVal& d) {
    const QWidget* w = d.focusWidget();
    return w != nullptr && w->objectName() == "txtDigit" ? w->property("Index").toInt() : -1;
}

// The visible boxes as one text, "|" between them.
std::string Boxes(const frmEntVal& d) {
    std::string s;
    for (const QLineEdit* box : d.findChildren<QLineEdit*>("txtDigit")) {
        if (box->isHidden()) continue;
        if (!s.empty()) s += '|';
        s += box->text().toStdString();
    }
    return s;
}

// Keys to whatever has the focus: '<' and '>' are the arrows, '\r' Enter,
// anything else is typed.
void Keys(frmEntVal& d, const std::string& keys) {
    for (char c : keys) {
        QWidget* target = d.focusWidget() != nullptr ? d.focusWidget() : &d;
        if (c == '<') QTest::keyClick(target, Qt::Key_Left);
        else if (c == '>') QTest::keyClick(target, Qt::Key_Right);
        else if (c == '\r') QTest::keyClick(target, Qt::Key_Return);
        else QTest::keyClick(target, c);
    }
}

void Click(frmEntVal& d, const char* button) { QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton); }

// A page with one value box.
struct Page {
    Page() {
        box = new QLineEdit(&window);
        box->setObjectName("txtScale");
        window.resize(640, 480);
        window.show();
    }
    [[nodiscard]] frmEntVal* Dialog() const { return window.findChild<frmEntVal*>(); }

    // Opens the dialog on `text` and runs `script` once it is up. A script
    // that leaves the dialog open fails the test after five seconds, and
    // the dialog is cancelled so that the run goes on.
    EntryOutcome Open(int kind, const std::string& text, const std::function<void(frmEntVal&)>& script,
                      std::function<void()> help = {}, int where = 0) {
        box->setText(QString::fromLatin1(text));
        QTimer::singleShot(0, &window, [this, script] {
            frmEntVal* d = Dialog();
            ASSERT_NE(d, nullptr);
            ASSERT_TRUE(d->isVisible());
            script(*d);
        });
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &window, [this] {
            ADD_FAILURE() << "the dialog was still open";
            if (frmEntVal* d = Dialog()) d->reject();
        });
        deadline.start(5000);
        return OpenValueEntry(&window, *box, EntryRequest{kind, Pos, text}, op, where, std::move(help));
    }

    QWidget window;
    QLineEdit* box = nullptr;
    test::ScriptedOperator op;
};

// What the page's image holds after the setup editor took the text.
std::string StoredFrom(int kind, const std::string& entryText) {
    SetupImage image;
    ValueEntry again(kind, Pos, entryText);
    EXPECT_EQ(again.Enter(image), KeyOutcome::Stored);
    return image.Mid(Pos, kind == 7 ? 2 : 6);
}

struct Example {
    const char* name;
    int kind;
    std::string text;
    std::string keys;
    bool byOk; // else Enter on the box
    std::string boxes;
    std::string shown;
    std::string stored;
};

TEST(EntVal, WorkedExamplesByKeysGiveThePageItsTextAndTheField) {
    const Example examples[] = {
        {"digitOnThePointBox", 2, " +123. 45", ">>>9", true, "+|1|2|9.|4|5", " +129. 45", "003291"},
        {"negativeAsItWas", 2, " - 1. 2345", "", false, "-|1.|2|3|4|5", " - 1. 2345", "FFCFC7"},
        {"signTyped", 3, " +1. 2345", "-\r", false, "-|1.|2|3|4|5", " - 1. 2345", "FFCFC7"},
        {"movablePointOnBoxTwo", 4, " +12345", ">>.", true, "+|1|2.|3|4|5", " +12. 345", "403039"},
        {"byteTyped", 7, " 5", "200", false, "2|0|0", " 200", "C8"},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.name);
        Page page;
        const EntryOutcome out = page.Open(e.kind, e.text, [&](frmEntVal& d) {
            Keys(d, e.keys);
            EXPECT_EQ(Boxes(d), e.boxes);
            if (e.byOk) Click(d, "cmdOK");
            else Keys(d, "\r");
        });
        EXPECT_TRUE(out.accepted);
        EXPECT_EQ(out.entryText, e.shown);
        EXPECT_EQ(page.box->text().toStdString(), e.shown);
        EXPECT_EQ(StoredFrom(e.kind, out.entryText), e.stored);
        EXPECT_EQ(out.lastByteEntry.has_value(), e.kind == 7);
        EXPECT_EQ(page.op.beeps, 0);
    }
}

TEST(EntVal, ByteAboveTwoFiftyFiveBeepsAndStaysOnTheMiddleDigit) {
    Page page;
    const EntryOutcome out = page.Open(7, "5", [&](frmEntVal& d) {
        EXPECT_EQ(Boxes(d), "0|0|5") << "the sign box and the first two digits are hidden";
        EXPECT_EQ(Focused(d), 3);
        Keys(d, "256");
        Click(d, "cmdOK");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(page.op.beeps, 1);
        EXPECT_EQ(Focused(d), 4);
        Keys(d, "<<");
        EXPECT_EQ(Focused(d), 3) << "Left stops at the first box shown";
        Keys(d, "042");
        Click(d, "cmdOK");
    });
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(out.entryText, " 42");
    EXPECT_EQ(out.lastByteEntry, 42);
    EXPECT_EQ(StoredFrom(7, out.entryText), "2A");
}

TEST(EntVal, RefusedKeysLeaveTheBoxesAndBeepOnlyOutsideKindFour) {
    struct Refusal {
        int kind;
        int key; // a Qt key: typed keys are their character
        int beeps;
    };
    // The boxes change only through the entry: Backspace is a refused key
    // like any other, Delete types nothing.
    const Refusal refusals[] = {
        {2, '5', 1}, {2, '.', 0}, {2, Qt::Key_Backspace, 1}, {2, Qt::Key_Delete, 0}, {4, 'x', 0}, {7, '3', 1},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE("kind " + std::to_string(r.kind) + " key " + std::to_string(r.key));
        Page page;
        const std::string text = r.kind == 7 ? " 42" : " +123. 45";
        page.Open(r.kind, text, [&](frmEntVal& d) {
            const std::string before = Boxes(d);
            const int focused = Focused(d);
            if (r.key < 0x80) QTest::keyClick(d.focusWidget(), static_cast<char>(r.key));
            else QTest::keyClick(d.focusWidget(), static_cast<Qt::Key>(r.key));
            EXPECT_EQ(Boxes(d), before);
            EXPECT_EQ(Focused(d), focused);
            EXPECT_EQ(page.op.beeps, r.beeps);
            Click(d, "cmdCancel");
        });
    }
}

TEST(EntVal, FocusFollowsTheArrowsTheTypingAndAClickedBox) {
    Page page;
    page.Open(2, " +123. 45", [&](frmEntVal& d) {
        EXPECT_EQ(Focused(d), 0);
        Keys(d, ">>>>>");
        EXPECT_EQ(Focused(d), 5);
        Keys(d, ">");
        EXPECT_EQ(Focused(d), 5) << "Right on the last box";
        Keys(d, "<");
        EXPECT_EQ(Focused(d), 5) << "the first Left after it stays";
        Keys(d, "<");
        EXPECT_EQ(Focused(d), 4);
        Keys(d, "<<<<<");
        EXPECT_EQ(Focused(d), 0);
        Keys(d, "-98");
        EXPECT_EQ(Focused(d), 3);

        QLineEdit* box1 = d.findChildren<QLineEdit*>("txtDigit").at(1);
        QTest::mouseClick(box1, Qt::LeftButton);
        EXPECT_EQ(Focused(d), 1);
        Keys(d, "7");
        EXPECT_EQ(Boxes(d), "-|7|8|3.|4|5");
        EXPECT_EQ(Focused(d), 2);
        Click(d, "cmdCancel");
    });
}

TEST(EntVal, CancelEscapeAndHelpLeaveTheTextAndTheBoxTurnsWhiteAgain) {
    Page page;
    bool helped = false;
    const auto help = [&] {
        EXPECT_FALSE(page.Dialog()->isVisible()) << "help comes after the dialog is hidden";
        helped = true;
    };
    const std::function<void(frmEntVal&)> endings[] = {
        [&](frmEntVal& d) { Click(d, "cmdCancel"); },
        [&](frmEntVal& d) { QTest::keyClick(d.focusWidget(), Qt::Key_Escape); },
        [&](frmEntVal& d) { QTest::keyClick(d.focusWidget(), Qt::Key_F1); },
    };
    for (const auto& end : endings) {
        const EntryOutcome out = page.Open(2, " +123. 45", [&](frmEntVal& d) {
            EXPECT_EQ(Background(*page.box), ColourPaleGreen);
            Keys(d, ">9");
            end(d);
        }, help);
        EXPECT_FALSE(out.accepted);
        EXPECT_EQ(out.entryText, "");
        EXPECT_EQ(page.box->text().toStdString(), " +123. 45");
        EXPECT_EQ(Background(*page.box), ColourWhite);
    }
    EXPECT_TRUE(helped);
    EXPECT_EQ(page.op.beeps, 0);
}

TEST(EntVal, WithoutHelpF1DoesNothing) {
    Page page;
    const EntryOutcome out = page.Open(2, " +123. 45", [&](frmEntVal& d) {
        QTest::keyClick(d.focusWidget(), Qt::Key_F1);
        EXPECT_TRUE(d.isVisible());
        Click(d, "cmdOK");
    });
    EXPECT_TRUE(out.accepted);
}

TEST(EntVal, OneDialogPerPageReloadedOnEveryOpeningAndPlacedBelowThePageTop) {
    Page page;
    frmEntVal* first = nullptr;
    page.Open(2, " +123. 45", [&](frmEntVal& d) {
        first = &d;
        Keys(d, ">>>>");
        Click(d, "cmdCancel");
    });
    const int top = page.window.frameGeometry().top();
    EXPECT_EQ(first->y() - top, 1000 / 15);

    page.Open(7, " 255", [&](frmEntVal& d) {
        EXPECT_EQ(&d, first);
        EXPECT_EQ(Boxes(d), "2|5|5");
        EXPECT_EQ(Focused(d), 3);
        Click(d, "cmdCancel");
    }, {}, 1);
    EXPECT_EQ(first->y() - top, 3500 / 15);
}

} // namespace
} // namespace wm
