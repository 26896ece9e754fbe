#pragma once

// Where the tests of the real window press the toggle: its middle, in window coordinates. In the
// closed window the toggle is at the top; in the open one it sits openToggleTop pixels down.
// scripts/take-readme-picture.sh clicks the same point.

namespace dravix::testing {

inline constexpr int toggleX = 12;
inline constexpr int toggleY = 11;
inline constexpr int openToggleTop = 300;

} // namespace dravix::testing
