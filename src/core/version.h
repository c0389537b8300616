#pragma once

// The product's name and release, shown in banners and given to the system macros.
inline constexpr char kProductName[] = "Palindor";
inline constexpr char kProductNameShort[] = "Palindor";
inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;
inline constexpr char kReleaseString[] = "1.0.0";
