#pragma once

// Every wizard page's client area, in twips, centred on the primary screen.
// The demo's drive panel, a program of its own, keeps clear of it.
namespace PageArea {

inline constexpr int kWidth = 6450;
inline constexpr int kHeight = 2625;

} // namespace PageArea
