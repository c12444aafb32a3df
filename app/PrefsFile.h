// The game's preferences file: its name in the preferences folder, the
// type and creator codes it carries, its header and size bound, and the
// fields of its record.
#pragma once

#include <cstdint>

inline constexpr const char kPrefsFileName[] = "Pandriskの設定";
inline constexpr const char kPrefsFileType[] = "PREF";
inline constexpr const char kAppCreator[] = "VEZA";

// The two bytes before the settings record.
inline constexpr const char kPrefsHeader[] = "00";
// The most bytes a preferences file holds: the record is a few bytes, and a
// longer file is no settings file. Nor is a longer shadow file one that a
// save left behind.
inline constexpr int32_t kPrefsMaxFileBytes = 64 * 1024;

// The settings record (ApplPreferences' record, which the file holds after
// its header) is two fields of one byte, at these 1-based byte positions of
// the record: the sound player's level code (SoundPlayer::SaveData), then
// the tile pattern as one digit.
inline constexpr int32_t kPrefsSoundLevelPos = 1;
inline constexpr int32_t kPrefsPatternPos = 2;
inline constexpr int32_t kPrefsFieldBytes = 1;
