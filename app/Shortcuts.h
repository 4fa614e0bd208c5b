#pragma once

// The program's keys, written as QKeySequence reads them and as the help page
// names them. The window matches its own keys against these texts; the grid
// handles Space, Shift+F10, Menu and Ctrl+A itself. The help page's test
// reads this table, so a key added here and not described there fails it.
namespace shortcuts {

inline constexpr const char* Help = "F1";
inline constexpr const char* Find = "Ctrl+F";
inline constexpr const char* FindNext = "F3";
inline constexpr const char* Cancel = "Esc";
inline constexpr const char* Process = "Enter";
inline constexpr const char* SelectAll = "Ctrl+A";
inline constexpr const char* ToggleCheck = "Space";
inline constexpr const char* PopupMenu = "Shift+F10";
inline constexpr const char* MenuKey = "Menu";

inline constexpr const char* All[] = {Help,      Find,        FindNext,  Cancel, Process,
                                      SelectAll, ToggleCheck, PopupMenu, MenuKey};

}  // namespace shortcuts
