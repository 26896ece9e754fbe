#include "platform/fltk/fltk_error_box.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace dravix::fltk {

namespace {

// fl_alert's layout (FLTK 1.3's fl_ask.cxx): the icon at the top left, the text beside it, the
// button at the bottom right.
constexpr int iconSide = 50, margin = 10, textLeft = 60, textTop = 25, minTextWidth = 340,
              minTextHeight = 30, buttonWidth = 90, buttonHeight = 23, buttonGap = 10;

// The start of the box along one axis: centred on `centre`, moved inside [from, from + length)
// where the box fits there, else centred on that span.
int startAlong(int centre, int from, int length, int size) {
    if (length <= size)
        return from + (length - size) / 2;
    return std::clamp(centre - size / 2, from, from + length - size);
}

void closeBox(Fl_Widget* widget, void*) {
    Fl_Window* box = widget->window() != nullptr ? widget->window() : widget->as_window();
    if (box != nullptr)
        box->hide();
}

// FLTK draws @-sequences in a label as its symbols; a message (a path in it, say) is text, so each
// @ is doubled, which FLTK draws as one.
std::string labelOf(const std::string& text) {
    std::string label;
    for (const char character : text) {
        label += character;
        if (character == '@')
            label += '@';
    }
    return label;
}

} // namespace

void showErrorBox(const std::string& caption, const std::string& text, Place centre,
                  const ScreenRect& area) {
    Fl_Group::current(nullptr);
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    const std::string label = labelOf(text);
    int textWidth = 0, textHeight = 0;
    fl_measure(label.c_str(), textWidth, textHeight); // as the label is drawn, symbols and all
    textWidth = std::max(textWidth + 10, minTextWidth);
    textHeight = std::max(textHeight + 10, minTextHeight);
    const int width = textLeft + textWidth + margin;
    const int height =
        std::max(textTop + textHeight, margin + iconSide) + buttonGap + buttonHeight + margin;

    Fl_Window box(startAlong(centre.left, area.left, area.width, width),
                  startAlong(centre.top, area.top, area.height, height), width, height,
                  caption.c_str());
    Fl_Box icon(margin, margin, iconSide, iconSide, "!");
    icon.box(FL_THIN_UP_BOX);
    icon.labelfont(FL_TIMES_BOLD);
    icon.labelsize(34);
    icon.color(FL_WHITE);
    icon.labelcolor(FL_BLUE);
    Fl_Box message(textLeft, textTop, textWidth, textHeight);
    message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    message.copy_label(label.c_str());
    Fl_Return_Button ok(width - margin - buttonWidth, height - margin - buttonHeight, buttonWidth,
                        buttonHeight, fl_close);
    ok.callback(closeBox);
    box.end();
    box.callback(closeBox); // the window manager's close, and Escape
    box.set_modal();
    fl_beep(FL_BEEP_ERROR);
    box.show();
    while (box.shown())
        Fl::wait();
}

} // namespace dravix::fltk
