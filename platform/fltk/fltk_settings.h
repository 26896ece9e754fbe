#pragma once

namespace dravix::fltk {

// Gives FLTK its default settings in memory, so that it neither reads nor rewrites its preference
// files. Call once, before any widget is created.
void keepToolkitSettingsInMemory();

} // namespace dravix::fltk
