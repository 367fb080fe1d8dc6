#pragma once

// The window's resources: the About entry of the window menu and the program
// icon. Each control carries a name of its own as its objectName.

namespace brindlewick {

// The window menu's About entry carries this number as its data.
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr const char* kAboutMenuText = "&About Brindlewick...";
inline constexpr const char* kWebGalleryMenuText = "Web gallery with thumbnails";
inline constexpr const char* kWebGallerySettingsMenuText = "Web gallery settings\u2026";

// The program icon, compiled in as Qt resources in two sizes.
inline constexpr const char* kMainIcon16 = ":/icons/brindlewick-16.png";
inline constexpr const char* kMainIcon32 = ":/icons/brindlewick-32.png";

}  // namespace brindlewick
