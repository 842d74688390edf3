#pragma once
// The calibration record on one page: the meter, the board, the date and
// time, and for each range calibrated the input applied, the desired
// reading, every attempt's readings before and after with the old and the
// new word, and the word left in the meter. Printed (or saved as PDF) by the
// calibration window's Print Record.
#include <QImage>

#include "sc/Calibration.h"

namespace wm {

// The record as a white page of A4 proportions, at least; a record with
// many attempts makes a taller page, which printing fits to one sheet.
[[nodiscard]] QImage CalibRecordPicture(const CalibRecord& record);

} // namespace wm
