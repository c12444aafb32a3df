// The file record that ExchangeFiles takes: where a file lies and its name,
// in a block of kFileRecordSize bytes. The numbers are in the host's byte
// order, as MacVRefNum and MacDirID give them.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

inline constexpr int32_t kFileRecordSize = 70;
inline constexpr int32_t kFileRecordVolume = 0;  // int16: the volume reference number
inline constexpr int32_t kFileRecordFolder = 2;  // int32: the parent folder's ID
inline constexpr int32_t kFileRecordName = 6;    // a length byte, then the name's bytes
inline constexpr int32_t kFileRecordNameBytes = 63;

// The record's form of a file name: in the MacJapanese encoding, cut to
// kFileRecordNameBytes bytes.
std::string FileRecordName(const std::string& fileName);

}  // namespace fw
