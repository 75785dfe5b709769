// The multimedia command-string interface. Supports MIDI files (".mid", ".midi") played by
// FluidSynth: open (alias, type), play (notify, wait, from, to), stop, close, close all and
// status (mode, ready, length, position). Times are in milliseconds. A completion notice has
// no window to go to here: "notify" is accepted and the notice is dropped.
#pragma once

#include <cstdint>

namespace platform {

using MCIERROR = std::uint32_t;
using HWND = void*;

// Returns 0 on success or one of the codes below; a failed command changes nothing.
// The reply buffer may be null when its length is 0. Call from the user-interface thread.
MCIERROR mciSendStringA(const char* command, char* reply, unsigned reply_length, HWND callback);

namespace mci {
inline constexpr MCIERROR kUnrecognizedKeyword = 259;
inline constexpr MCIERROR kUnrecognizedCommand = 261;
inline constexpr MCIERROR kInvalidDeviceName = 263;
inline constexpr MCIERROR kCannotLoadDriver = 266;
inline constexpr MCIERROR kMissingCommandString = 267;
inline constexpr MCIERROR kParamOverflow = 268;
inline constexpr MCIERROR kBadInteger = 270;
inline constexpr MCIERROR kMissingParameter = 273;
inline constexpr MCIERROR kFileNotFound = 275;
inline constexpr MCIERROR kCannotUseAll = 279;
inline constexpr MCIERROR kExtensionNotFound = 281;
inline constexpr MCIERROR kOutOfRange = 282;
inline constexpr MCIERROR kFlagsNotCompatible = 284;
inline constexpr MCIERROR kDuplicateAlias = 289;
inline constexpr MCIERROR kMissingDeviceName = 292;
inline constexpr MCIERROR kNoClosingQuote = 294;
inline constexpr MCIERROR kDuplicateFlags = 295;
inline constexpr MCIERROR kInvalidFile = 296;
inline constexpr MCIERROR kDeviceOpen = 265;
}  // namespace mci

}  // namespace platform
