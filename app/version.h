// The program calls itself version 0.4.409 in the window title and in the statistics log.
#pragma once

namespace glintor {

inline constexpr unsigned VersionMinor = 4;
inline constexpr const char* BuildString = "409";

}  // namespace glintor
