// The game's preferences file: its name in the preferences folder and the
// type and creator codes it carries.
#pragma once

inline constexpr const char kPrefsFileName[] = "Pandriskの設定";
inline constexpr const char kPrefsFileType[] = "PREF";
inline constexpr const char kAppCreator[] = "VEZA";
