// MessagePack marker bytes and the fixed ranges of the one-byte forms, shared by the encoder
// and the decoder.
#pragma once

#include <cstdint>

namespace zq::mp {

inline constexpr std::uint8_t kPositiveFixIntMax = 0x7f;
inline constexpr std::uint8_t kFixMap = 0x80;    // 0x80..0x8f, count in the low 4 bits
inline constexpr std::uint8_t kFixArray = 0x90;  // 0x90..0x9f, count in the low 4 bits
inline constexpr std::uint8_t kFixStr = 0xa0;    // 0xa0..0xbf, length in the low 5 bits
inline constexpr std::uint8_t kNil = 0xc0;
inline constexpr std::uint8_t kNeverUsed = 0xc1;
inline constexpr std::uint8_t kFalse = 0xc2;
inline constexpr std::uint8_t kTrue = 0xc3;
inline constexpr std::uint8_t kBin8 = 0xc4;
inline constexpr std::uint8_t kBin16 = 0xc5;
inline constexpr std::uint8_t kBin32 = 0xc6;
inline constexpr std::uint8_t kExt8 = 0xc7;
inline constexpr std::uint8_t kExt16 = 0xc8;
inline constexpr std::uint8_t kExt32 = 0xc9;
inline constexpr std::uint8_t kFloat32 = 0xca;
inline constexpr std::uint8_t kFloat64 = 0xcb;
inline constexpr std::uint8_t kUInt8 = 0xcc;
inline constexpr std::uint8_t kUInt16 = 0xcd;
inline constexpr std::uint8_t kUInt32 = 0xce;
inline constexpr std::uint8_t kUInt64 = 0xcf;
inline constexpr std::uint8_t kInt8 = 0xd0;
inline constexpr std::uint8_t kInt16 = 0xd1;
inline constexpr std::uint8_t kInt32 = 0xd2;
inline constexpr std::uint8_t kInt64 = 0xd3;
inline constexpr std::uint8_t kFixExt1 = 0xd4;
inline constexpr std::uint8_t kFixExt2 = 0xd5;
inline constexpr std::uint8_t kFixExt4 = 0xd6;
inline constexpr std::uint8_t kFixExt8 = 0xd7;
inline constexpr std::uint8_t kFixExt16 = 0xd8;
inline constexpr std::uint8_t kStr8 = 0xd9;
inline constexpr std::uint8_t kStr16 = 0xda;
inline constexpr std::uint8_t kStr32 = 0xdb;
inline constexpr std::uint8_t kArray16 = 0xdc;
inline constexpr std::uint8_t kArray32 = 0xdd;
inline constexpr std::uint8_t kMap16 = 0xde;
inline constexpr std::uint8_t kMap32 = 0xdf;
inline constexpr std::uint8_t kNegativeFixIntMin = 0xe0;  // 0xe0..0xff are -32..-1

// The timestamp extension type.
inline constexpr std::int8_t kTimestampType = -1;

}  // namespace zq::mp
