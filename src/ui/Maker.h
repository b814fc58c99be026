// The maker's name and web page, shown by the About window and opened from the tray menu.
#pragma once

inline constexpr char kMakerName[] = "Corvanta";
inline constexpr char kMakerWebAddress[] = "https://corvanta.example.com/";
