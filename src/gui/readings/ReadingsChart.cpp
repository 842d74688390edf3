#include "gui/readings/ReadingsChart.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Program.h"
#include "app/SaveFileAs.h"
#include "app/SetupFileCommands.h"
#include "gui/common/PrintWindow.h"
#include "gui/readings/ReadingsPicture.h"
#include "readings/RecordReceiver.h"

namespace wm {

namespace {

constexpr const char* kPictureTitle = "Save Graph As";
constexpr const char* kPictureFilter = ".BMP files (*.BMP)|*.BMP|.PNG files (*.PNG)|*.PNG";

// What the entry fields hold after New Scale.
const QString kBlankEntry(9, ' ');

} // namespace

ReadingsChart::ReadingsChart(Program& program, const Names& names, QWidget* parent)
    : QWidget(parent, Qt::Window), program_(program), baseName_(names.baseName) {
    setObjectName(names.window);
    setWindowTitle(names.caption);
    BuildControls(names);
    // Loading the window raises RTS, as the meter's serial board expects.
    program_.platform.port.SetRTSEnable(true);
}

ReadingsChart::~ReadingsChart() = default;

QPushButton* ReadingsChart::AddButton(const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumWidth(96);
    return b;
}

QPushButton* ReadingsChart::Button(const char* name) const { return findChild<QPushButton*>(name); }

void ReadingsChart::BuildControls(const Names& names) {
    Picture1 = new ReadingsPicture(this);

    const auto entry = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setMaximumWidth(140);
        QSizePolicy policy = edit->sizePolicy();
        policy.setRetainSizeWhenHidden(true); // the picture keeps its size when the entries go
        edit->setSizePolicy(policy);
        return edit;
    };
    const auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        QSizePolicy policy = l->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        l->setSizePolicy(policy);
        return l;
    };
    txtMidVal = entry("txtMidVal");
    txtSmallVal = entry("txtSmallVal");
    txtThird = entry(names.thirdEntry);
    lblMidVal = label("lblMidVal", "Mid-Scale Value");
    lblSmallVal = label("lblSmallVal", "Small Division Value");
    lblThird = label(names.thirdLabel, names.thirdText);
    cmdOK = AddButton("cmdOK", "OK");
    cmdOK->setAutoDefault(true); // Enter on it clicks it
    QSizePolicy okPolicy = cmdOK->sizePolicy();
    okPolicy.setRetainSizeWhenHidden(true);
    cmdOK->setSizePolicy(okPolicy);

    auto* entries = new QGridLayout;
    int column = 0;
    for (const auto& [l, e] : {std::pair{lblMidVal, txtMidVal}, {lblSmallVal, txtSmallVal}, {lblThird, txtThird}}) {
        entries->addWidget(l, 0, column);
        entries->addWidget(e, 1, column);
        ++column;
    }
    entries->addWidget(cmdOK, 1, column);
    entries->setColumnStretch(column + 1, 1);

    // Enter goes from one entry to the next, then to OK.
    connect(txtMidVal, &QLineEdit::returnPressed, this, [this] {
        txtSmallVal->setFocus();
        txtSmallVal->selectAll();
    });
    connect(txtSmallVal, &QLineEdit::returnPressed, this, [this] {
        txtThird->setFocus();
        txtThird->selectAll();
    });
    connect(txtThird, &QLineEdit::returnPressed, this, [this] { cmdOK->setFocus(); });
    connect(cmdOK, &QPushButton::clicked, this, &ReadingsChart::cmdOK_Click);

    auto* buttons = new QVBoxLayout;
    const std::pair<const char*, const char*> captions[] = {
        {"cmdNewScale", "New Scale"}, {"cmdPause", "Pause"}, {"cmdContinue", "Continue"}, {"cmdEnd", "End"},
        {"cmdPrint", "Print"},        {"cmdSave", "Save"},   {"cmdSaveCsv", "Save CSV"}};
    for (const auto& [name, caption] : captions) buttons->addWidget(AddButton(name, caption));
    buttons->addStretch(1);
    connect(Button("cmdNewScale"), &QPushButton::clicked, this, &ReadingsChart::cmdNewScale_Click);
    connect(Button("cmdPause"), &QPushButton::clicked, this, &ReadingsChart::cmdPause_Click);
    connect(Button("cmdContinue"), &QPushButton::clicked, this, &ReadingsChart::cmdContinue_Click);
    connect(Button("cmdEnd"), &QPushButton::clicked, this, &ReadingsChart::cmdEnd_Click);
    connect(Button("cmdPrint"), &QPushButton::clicked, this, &ReadingsChart::cmdPrint_Click);
    connect(Button("cmdSave"), &QPushButton::clicked, this, &ReadingsChart::cmdSave_Click);
    connect(Button("cmdSaveCsv"), &QPushButton::clicked, this, &ReadingsChart::cmdSaveCsv_Click);

    auto* left = new QVBoxLayout;
    left->addWidget(Picture1, 1);
    left->addLayout(entries);
    auto* main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addLayout(buttons);
    resize(860, 560);
}

double ReadingsChart::Now() const { return program_.platform.clock.SecondsSinceMidnight(); }

void ReadingsChart::ShowEntries(bool show) {
    for (QWidget* w : std::initializer_list<QWidget*>{txtMidVal, txtSmallVal, txtThird, lblMidVal, lblSmallVal,
                                                      lblThird, cmdOK})
        w->setVisible(show);
    cmdOK->setEnabled(show);
}

// ---------------------------------------------------------------- the window's life

void ReadingsChart::Open() {
    show();
    Form_Activate();
}

void ReadingsChart::Form_Activate() {
    if (left_) return;
    program_.platform.port.SetRTSEnable(true);
    SendOutput(true);
    if (!left_) cmdNewScale_Click();
}

void ReadingsChart::cmdEnd_Click() { Leave(true); }

void ReadingsChart::Stop() { Leave(false); }

void ReadingsChart::closeEvent(QCloseEvent* event) {
    Leave(true);
    event->accept();
}

void ReadingsChart::Leave(bool tellMeter) {
    if (left_) return;
    left_ = true;
    stop_ = true;
    if (tellMeter) SendOutput(false);
    Picture1->Cls();
    program_.platform.op.SetBusy(true);
    Q_EMIT finished();
    program_.platform.op.SetBusy(false);
    hide();
    deletePending_ = true;
    if (onStack_ == 0) deleteLater();
}

void ReadingsChart::Unwind() {
    if (--onStack_ == 0 && deletePending_) deleteLater();
}

// The start or stop command, no reply read. A command asked for while one
// is being sent (End during Continue's send) follows it, so the meter ends
// up as the operator asked last.
void ReadingsChart::SendOutput(bool start) {
    wantOutput_ = start;
    if (sending_) return;
    sending_ = true;
    ++onStack_;
    bool sent = false;
    do {
        sent = wantOutput_;
        program_.meter.SendAscii(sent ? "A0" : "A1");
    } while (sent != wantOutput_);
    sending_ = false;
    Unwind();
}

// ---------------------------------------------------------------- the scale entries and the run

void ReadingsChart::cmdNewScale_Click() {
    if (left_) return;
    Picture1->Cls();
    paused_ = true;
    if (framer_) framer_->Pause();
    stop_ = true;
    runWanted_ = false;
    for (QLineEdit* e : {txtMidVal, txtSmallVal, txtThird}) e->setText(kBlankEntry);
    ShowEntries(true);
    txtMidVal->setFocus();
    txtMidVal->selectAll();
}

void ReadingsChart::cmdOK_Click() {
    if (left_ || !cmdOK->isEnabled()) return;
    paused_ = false;
    ShowEntries(false);
    runWanted_ = true;
    if (looping_) {
        stop_ = true; // the loop on the stack starts the run
        return;
    }
    RunLoop();
}

void ReadingsChart::RunLoop() {
    looping_ = true;
    ++onStack_;
    RecordReceiver receiver(program_.platform.port, program_.platform.pump, program_.platform.clock);
    bool gone = false;
    while (runWanted_ && !left_ && !gone) {
        runWanted_ = false;
        stop_ = false;
        paused_ = false;
        framer_ = std::make_unique<RecordFramer>(ChooseRecordCharacters(program_.setup, program_.link.MeterRevision),
                                                 RecordFramer::DefaultMaxBuffered, FramerUse::Values);
        log_.Clear();
        receiver.Discard();
        Picture1->Begin(Scale());
        Picture1->Apply(BeginRun(txtMidVal->text().toStdString(), txtSmallVal->text().toStdString(),
                                 txtThird->text().toStdString(), Picture1->Measure()));
        for (;;) {
            const ReceivedRecord got = receiver.Next(*framer_, [this] {
                Observe(Now());
                return stop_ || left_;
            });
            if (got.outcome == ReceivedRecord::Outcome::Gone) gone = true;
            if (got.outcome != ReceivedRecord::Outcome::Record) break;
            // The record without its end character: a record that holds no
            // number counts as 0.
            const std::string& record = got.record;
            const double value = RecordValue(std::string_view(record).substr(0, record.size() - 1));
            log_.Add(got.tickMs, record);
            Picture1->Apply(AddValue(value, Now()));
            program_.platform.pump.ProcessEvents();
        }
    }
    looping_ = false;
    Unwind();
}

void ReadingsChart::PauseRun() {
    paused_ = true;
    if (framer_) framer_->Pause();
}

void ReadingsChart::cmdPause_Click() {
    if (left_) return;
    Picture1->setFocus();
    const bool drawing = looping_ && !stop_ && !paused_;
    PauseRun();
    if (drawing) Paused(Now());
}

void ReadingsChart::cmdContinue_Click() {
    if (left_) return;
    Picture1->setFocus();
    SendOutput(true);
    if (left_) return;
    const bool wasPaused = paused_;
    paused_ = false;
    // Only a paused run goes on; without one the meter has just been asked
    // to send.
    if (!looping_ || stop_ || !wasPaused || !framer_) return;
    if (ContinueRestarts(Now())) {
        runWanted_ = true; // the loop on the stack starts it afresh
        stop_ = true;
        return;
    }
    framer_->Continue();
}

// ---------------------------------------------------------------- print and save

void ReadingsChart::cmdPrint_Click() {
    (void)PrintWidget(*this, program_.platform.op, SetupFileFolder(program_),
                      baseName_.toStdString()); // failures have been told
}

void ReadingsChart::cmdSave_Click() {
    if (left_) return;
    // The picture as it was when Save was clicked.
    QImage picture = Picture1->Image();
    if (picture.isNull()) {
        picture = QImage(Picture1->size().expandedTo(QSize(ReadingsPicture::MinWidth, ReadingsPicture::MinHeight)),
                         QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    Operator& op = program_.platform.op;
    const SaveAsRequest request{kPictureTitle, kPictureFilter, SetupFileFolder(program_),
                                baseName_.toStdString() + ".BMP", {".BMP", ".PNG"}};
    const auto file = ChooseFileToSave(op, request);
    if (!file) return;
    const char* format = MatchingExtension(file->string(), {".PNG"}) ? "PNG" : "BMP";
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, format)) {
        op.Ask({"The picture was not saved: it could not be encoded.", kPictureTitle, Buttons::Ok, Answer::Ok,
                Icon::Exclamation, MessageId::FileNotWritten});
        return;
    }
    (void)WriteSavedFile(op, *file, bytes.toStdString(), kPictureTitle, "picture");
}

void ReadingsChart::cmdSaveCsv_Click() {
    if (left_) return;
    const std::filesystem::path folder =
        program_.ReadingsFolder.empty() ? SetupFileFolder(program_) : program_.ReadingsFolder;
    if (const auto file = SaveReadingsCsv(program_.platform.op, log_, folder, baseName_.toStdString());
        file && file->has_parent_path())
        program_.ReadingsFolder = file->parent_path();
}

} // namespace wm
