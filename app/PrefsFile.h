// The game's preferences file: its name in the preferences folder, the
// type and creator codes it carries, and the fields of its record.
#pragma once

#include <cstdint>

inline constexpr const char kPrefsFileName[] = "Pandriskの設定";
inline constexpr const char kPrefsFileType[] = "PREF";
inline constexpr const char kAppCreator[] = "VEZA";

// The settings record (ApplPreferences' record, which the file holds after
// its header) is two fields of one byte, at these 1-based byte positions of
// the record: the sound player's level code (SoundPlayer::SaveData), then
// the tile pattern as one digit.
inline constexpr int32_t kPrefsSoundLevelPos = 1;
inline constexpr int32_t kPrefsPatternPos = 2;
inline constexpr int32_t kPrefsFieldBytes = 1;
