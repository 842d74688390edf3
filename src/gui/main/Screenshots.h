#pragma once
// Draws every window of the desktop program into PNG files, without a
// display and without a meter, for the manual and for reviewing layouts.
#include <QString>
#include <filesystem>

namespace wm {

// Writes the PNG files into `folder` (created when missing); help texts come
// from `helpFolder`. Returns 0, or 1 when a file could not be written.
int RenderScreenshots(const QString& folder, const std::filesystem::path& helpFolder);

} // namespace wm
