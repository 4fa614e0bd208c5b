#pragma once

// The program's fixed configuration values, in one place. Classes that reach
// the network, the registry or the shell take them injected, with these as
// the production defaults.
namespace config {

inline constexpr const char* AdServerHost = "ads.orvanta.example";
inline constexpr const char* DefaultLinkUrl = "http://www.orvanta.example/";
inline constexpr const char* FeedbackAddress = "feedback@orvanta.example";
inline constexpr const char* ApplicationTitle = "Quilmere";
inline constexpr const char* ApplicationHelpFile = "Quilmere.hlp";
inline constexpr const char* WindowHelpFile = "quilmere.hlp";
// Where the installed program finds its help page, relative to its own
// folder: bin/../share/quilmere (app/CMakeLists.txt installs it there).
inline constexpr const char* InstalledHelpDirectory = "../share/quilmere";
// The name of the desktop entry and icon, after the maker's domain.
inline constexpr const char* DesktopFileId = "example.orvanta.Quilmere";

}  // namespace config
