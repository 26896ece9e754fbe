#include "platform/fltk/fltk_settings.h"

#include "platform/fltk/fltk_internals.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Preferences.H>

// FLTK 1.3 reads its global options (visible focus, tooltips, text drag and drop) the first time
// any button, text field or list asks for one, and on the way it rewrites
// /etc/fltk/fltk.org/fltk.prefs and ~/.fltk/fltk.org/fltk.prefs. Its file chooser likewise saves
// its preview setting and favourites to ~/.fltk/fltk.org/filechooser.prefs each time it opens.
// Dravix writes nothing but its own two files, so both are settled before they are used: the
// options, before any widget runs, take FLTK's own defaults and count as read; the chooser, before
// it is first made (opening even the file below costs the start a file), gets a preferences object
// whose file lies under /dev/null, where no file can ever be made, so its settings last for the
// run only.
//
// FLTK keeps these in private static members and has no call that sets them without reading the
// files first. An explicit template instantiation is the one place where C++ allows naming a
// private member from outside its class; the friend function defined in it carries the addresses
// out.
namespace dravix::fltk {

namespace {

void applyDefaultSettings();
void applyChooserSettings();

constexpr const char* nowhere = "/dev/null";

DRAVIX_FLTK_INTERNALS_CHECKED("keeps its options in the private Fl::options_read_ and "
                              "Fl::options_ and the file chooser's preferences in "
                              "Fl_File_Chooser::prefs_, read and written only as described above");

template <unsigned char* OptionsRead, unsigned char (*Options)[Fl::OPTION_LAST],
          Fl_Preferences** ChooserPreferences>
struct ToolkitSettings {
    friend void applyDefaultSettings() {
        (*Options)[Fl::OPTION_ARROW_FOCUS] = 0;
        (*Options)[Fl::OPTION_VISIBLE_FOCUS] = 1;
        (*Options)[Fl::OPTION_DND_TEXT] = 1;
        (*Options)[Fl::OPTION_SHOW_TOOLTIPS] = 1;
        (*Options)[Fl::OPTION_FNFC_USES_GTK] = 1;
        *OptionsRead = 1;
    }

    friend void applyChooserSettings() {
        if (*ChooserPreferences == nullptr) {
            // Never deleted: a preferences object writes itself out when destroyed.
            *ChooserPreferences = new Fl_Preferences(nowhere, "fltk.org", "filechooser");
        }
    }
};

template struct ToolkitSettings<&Fl::options_read_, &Fl::options_, &Fl_File_Chooser::prefs_>;

} // namespace

void keepToolkitSettingsInMemory() {
    applyDefaultSettings();
}

void keepChooserSettingsInMemory() {
    applyChooserSettings();
}

} // namespace dravix::fltk
