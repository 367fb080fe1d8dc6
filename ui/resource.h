#pragma once

// Identifiers of the window resources: the main dialog, its controls, the
// About menu entry and its string, and the program icon. Each control also
// carries its identifier's name as its objectName.

namespace brindlewick {

inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDI_MAIN = 128;
inline constexpr int IDM_ABOUTBOX = 0x0010;

inline constexpr int IDC_GENERATE = 1002;
inline constexpr int IDC_ABOUT = 1003;
inline constexpr int IDC_COPYRIGHT = 1006;
inline constexpr int IDC_ADDFILES = 1007;
inline constexpr int IDC_COMMENT = 1010;
inline constexpr int IDC_SHOWALL = 1011;
inline constexpr int IDC_IMAGELIST = 1014;
inline constexpr int IDC_DELETEALL = 1015;

// The text of string IDS_ABOUTBOX.
inline constexpr const char* kAboutMenuText = "&About Brindlewick...";

// The program icon IDI_MAIN, compiled in as Qt resources in two sizes.
inline constexpr const char* kMainIcon16 = ":/icons/brindlewick-16.png";
inline constexpr const char* kMainIcon32 = ":/icons/brindlewick-32.png";

}  // namespace brindlewick
