#pragma once

#include <cstdint>

// The window-message triple the layout filter takes, and the few messages it acts on.
// Parameters are pointer-sized so that WM_SIZING can carry a rectangle's address.
namespace DynamicLayout {

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_SIZING = 0x0214;

// wParam of WM_SIZE.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM SIZE_MAXSHOW = 3;

// Two 16-bit values in one parameter, as mouse and size messages carry them.
constexpr LPARAM MakeLParam(int low, int high) {
    return static_cast<LPARAM>((static_cast<uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<uint32_t>(low & 0xFFFF));
}
// Each half is signed: a captured mouse left of or above the window gives negative values.
constexpr int LowWord(LPARAM l) { return static_cast<int16_t>(l & 0xFFFF); }
constexpr int HighWord(LPARAM l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }

}  // namespace DynamicLayout
