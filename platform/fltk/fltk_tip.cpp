#include "platform/fltk/fltk_tip.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unistd.h>

namespace dravix::fltk {

namespace {

constexpr int horizontalPadding = 4;
constexpr int verticalPadding = 2;
// Bytes of text measured at once: even at the largest font and scale they stay far narrower than
// 32,767 pixels.
constexpr std::size_t measuredPieceBytes = 64;

// What a compositor or a screen reader reads to know the window for a tooltip, and the process
// it belongs to.
void describeWindow(Display* display, Window window) {
    const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
    const unsigned long pid = static_cast<unsigned long>(::getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
}

// An empty input region: the pointer acts on whatever lies below the window, as if it were not
// there, so the tip never takes a press or a move from the strip it describes.
void letInputThrough(Display* display, Window window) {
    int eventBase = 0;
    int errorBase = 0;
    if (!XShapeQueryExtension(display, &eventBase, &errorBase))
        return;
    XShapeCombineRectangles(display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
}

} // namespace

TipWindow::TipWindow(int scale) : Fl_Window(0, 0, 1, 1), scale_(scale) {
    end();
    set_override();
    box(FL_NO_BOX);
}

void TipWindow::useFont() const {
    fl_font(Fl_Tooltip::font(), Fl_Tooltip::size() * scale_);
}

PixelSize TipWindow::sizeFor(const std::string& text, int scale) {
    fl_font(Fl_Tooltip::font(), Fl_Tooltip::size() * scale);
    // Xft measures a text in 16-bit units, so a text wider than 32,767 pixels would come back
    // short or negative: it is measured in pieces that never are, cut between characters.
    double width = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.size(), start + measuredPieceBytes);
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        width += fl_width(text.c_str() + start, static_cast<int>(end - start));
        start = end;
    }
    const double padded = std::ceil(width) + 2 * horizontalPadding * scale;
    return {static_cast<int>(std::min<double>(padded, std::numeric_limits<int>::max())),
            fl_height() + 2 * verticalPadding * scale};
}

void TipWindow::showText(const std::string& text, Place at) {
    text_ = text;
    const PixelSize size = sizeFor(text_, scale_);
    resize(at.left, at.top, size.width, size.height);
    if (shown()) {
        redraw();
        return;
    }
    show();
    describeWindow(fl_display, fl_xid(this));
    letInputThrough(fl_display, fl_xid(this));
}

void TipWindow::draw() {
    fl_rectf(0, 0, w(), h(), Fl_Tooltip::color());
    fl_color(FL_BLACK);
    fl_rect(0, 0, w(), h());
    useFont();
    fl_color(Fl_Tooltip::textcolor());
    // The plain form of fl_draw: a path is text, not FLTK's @-symbols or &-shortcuts.
    fl_draw(text_.c_str(), static_cast<int>(text_.size()), horizontalPadding * scale_,
            verticalPadding * scale_ + fl_height() - fl_descent());
}

} // namespace dravix::fltk
