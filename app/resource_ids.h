#pragma once

// Identifiers of the dialogs, controls, strings and pictures, and the texts the dialogs show.

namespace telvane {

inline constexpr int IDOK = 1;
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MAIN_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_LOGO = 130;
inline constexpr int IDC_LINE1 = 1000;  // IDC_LINE1 + k is box k + 1
inline constexpr int IDC_CONVERT = 1006;
inline constexpr int IDC_CLEAR = 1007;

// System commands: the About item, and Close from the window's menu.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned SC_CLOSE = 0xF060;

inline constexpr const char* IDS_ABOUTBOX = "&About Telvane...";

inline constexpr const char* kIconResource = ":/telvane/dish-antenna.png";
inline constexpr const char* kLogoResource = ":/telvane/satellite.png";

}  // namespace telvane
