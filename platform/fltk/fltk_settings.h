#pragma once

namespace dravix::fltk {

// Gives FLTK its default settings in memory, so that it neither reads nor rewrites its preference
// files. Call once, before any widget is created.
void keepToolkitSettingsInMemory();

// The same for FLTK's file chooser: its preferences live in memory for the run. Call before the
// first Fl_File_Chooser is made; only then is the preferences object made.
void keepChooserSettingsInMemory();

} // namespace dravix::fltk
