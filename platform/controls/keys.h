#pragma once
// Key codes and shift states as the host's controls report them in their key events: the virtual-key
// numbers of the platform (13 Enter, 114 F3...) and the Shift argument as a bit set.

#include <cstdint>

namespace kv::controls::keys {

inline constexpr int16_t kBack = 8;
inline constexpr int16_t kTab = 9;
inline constexpr int16_t kReturn = 13;
inline constexpr int16_t kEscape = 27;
inline constexpr int16_t kPageUp = 33;
inline constexpr int16_t kPageDown = 34;
inline constexpr int16_t kEnd = 35;
inline constexpr int16_t kHome = 36;
inline constexpr int16_t kLeft = 37;
inline constexpr int16_t kUp = 38;
inline constexpr int16_t kRight = 39;
inline constexpr int16_t kDown = 40;
inline constexpr int16_t kDelete = 46;
inline constexpr int16_t kF2 = 113;
inline constexpr int16_t kF3 = 114;
inline constexpr int16_t kF4 = 115;

// Shift argument bits.
inline constexpr int16_t kShiftMask = 1;
inline constexpr int16_t kCtrlMask = 2;
inline constexpr int16_t kAltMask = 4;

}  // namespace kv::controls::keys
