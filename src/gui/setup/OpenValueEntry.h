#pragma once
// How a setup page opens the value entry dialog for one of its value boxes.
#include <functional>
#include <optional>
#include <string>

#include "setup/SetupEditor.h"

class QLineEdit;
class QWidget;

namespace wm {

class Operator;

struct EntryOutcome {
    bool accepted = false;
    std::string entryText;            // accepted: the value as the box shows it from now on
    std::optional<int> lastByteEntry; // accepted byte (kind 7): the value entered
};

// Opens frmEntVal modally for a value box and returns when it is hidden.
// `where` 0: the dialog's top edge 1000 twips (about 67 px) below the top of
// the page's window, else 3500 twips. While it is open the box is pale green;
// afterwards it is white again, whatever ended the entry.
//
// The dialog stores nothing: on acceptance the box shows entryText, and the
// page hands it to SetupEditor::Enter, the one place that stores a value
// (and the page shows what the editor made of it). Cancel, Escape and F1
// leave the box's text as it was. With `help`, F1 hides the dialog and help
// is called once it is closed; without it, F1 does nothing.
//
// One dialog per page window is made on first use and shown again after.
EntryOutcome OpenValueEntry(QWidget* page, QLineEdit& box, const EntryRequest& request, Operator& op,
                            int where = 0, std::function<void()> help = {});

} // namespace wm
