#pragma once
#include <cstdint>

// File attribute bits of a directory listing entry. The listing maps what
// lstat(2) reports onto these bits; entries that get none of them (sockets,
// FIFOs, devices, dangling links, links to directories) are passed over by
// every caller, which keeps the scan out of link cycles.
namespace platform {

constexpr std::uint32_t faReadOnly = 1;
constexpr std::uint32_t faHidden = 2;
constexpr std::uint32_t faSysFile = 4;
constexpr std::uint32_t faVolumeID = 8;
constexpr std::uint32_t faDirectory = 16;
constexpr std::uint32_t faArchive = 32;
constexpr std::uint32_t faAnyFile = 63;

// The path delimiter. Wherever the program speaks of a trailing delimiter or
// of Directory + Name, this is the character.
constexpr char PathDelimiter = '/';

}  // namespace platform
