#pragma once

#include <FL/Enumerations.H>

// Where no public call of FLTK does what the backend needs, it reaches into FLTK's inner workings:
// private statics, a function declared only for FLTK's own use, a public member that only FLTK
// writes, Xlib calls that FLTK makes on its own. A later FLTK may change any of them without a
// word, so each such place names what it relies on in this check, and the build stops on any FLTK
// but the one the place was written and tested against until someone has re-checked it there.
#define DRAVIX_FLTK_INTERNALS_CHECKED(reliesOn)                                                    \
    static_assert(FL_API_VERSION == 10308,                                                         \
                  "written against FLTK 1.3.8: re-check that this FLTK still " reliesOn)
