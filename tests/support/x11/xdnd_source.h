#pragma once

// Dropping data on a window as a file manager does, through the XDND protocol (version 5):
// XdndEnter, XdndPosition and XdndDrop from a window of the test's own, which owns XdndSelection
// and hands the data over when the target asks for it.

#include "tests/support/x11/x_connection.h"

#include <string>

namespace dravix::x11test {

// How far the target took the drop.
struct DropOutcome {
    bool aware = false;    // the window carries XdndAware
    bool accepted = false; // its XdndStatus at the drop point accepted the drop
    bool fetched = false;  // it asked for the data in the offered type
    bool finished = false; // it sent XdndFinished
};

// Drops the data, offered only as `type` ("text/uri-list"), on the window with the pointer at
// (rootX, rootY). Each answer is awaited up to the timeout; a target that refuses at the
// position gets XdndLeave instead of the drop.
DropOutcome dropOn(XConnection& x, Window target, int rootX, int rootY, const std::string& type,
                   const std::string& data, Milliseconds timeout = Milliseconds(3000));

} // namespace dravix::x11test
