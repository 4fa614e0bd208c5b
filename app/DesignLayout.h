#pragma once
#include <string_view>

// The main window's design layout, in design units (pixels at 120 pixels per
// inch, scaled with the screen): one table that the window's construction
// and its layout tests both read.
namespace design {

// A control's place; a width or height of 0 keeps the control's own.
struct TPlace {
  const char* Control;  // its object name
  int Left, Top, Width, Height;
};

// The controls placed by hand on Panel1 and Panel4.
inline constexpr TPlace Places[] = {
    {"ImgJPEGAd", 76, 10, 576, 74},
    {"Label1", 6, 103, 0, 0},
    {"CBProjectDir", 112, 98, 305, 0},
    {"BtnProcess", 422, 89, 83, 32},
    {"BtnDelete", 512, 90, 81, 31},
};

// The place of the control of that name (it must be in Places).
constexpr const TPlace& PlaceOf(std::string_view control) {
  for (const TPlace& place : Places) {
    if (control == place.Control) return place;
  }
  return Places[0];  // not reached for the names above
}

// The window and the parts that layouts arrange.
inline constexpr int ClientWidth = 592;  // Panel1 and Panel4 fill it
inline constexpr int WindowWidth = 600, WindowHeight = 380;
inline constexpr int MinimumWidth = 600, MinimumHeight = 360;
inline constexpr int Panel1Height = 137;
inline constexpr int Panel4Height = 85;
inline constexpr int TreeWidth = 228;
inline constexpr int SplitterHandle = 5;
inline constexpr int TreeIndentation = 19;
inline constexpr int StatusBarHeight = 29;
inline constexpr int StatusPanel0Width = 450;
inline constexpr int FontPixels = 13;
// Beyond the classic layout: the find box's margin, the run's progress bar,
// and the share of the screen a first window takes.
inline constexpr int FindMargin = 2;
inline constexpr int ProgressBarWidth = 260;
inline constexpr double FirstWindowShare = 2.0 / 3.0;

// The results grid.
inline constexpr int GridDefaultColWidth = 128;
inline constexpr int GridRowHeight = 24;
inline constexpr int GridColWidths[] = {77, 186, 234};

}  // namespace design
