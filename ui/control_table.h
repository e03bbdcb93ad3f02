// The window's controls as plain data: the window is built from this table.
// Positions and sizes are in twips (1/1440 inch) from the top left of the
// client area; at 96 dpi one pixel is 15 twips.
#pragma once

#include <array>
#include <string_view>

namespace synthfactors::ui {

enum class ControlKind { kLabel, kTextBox, kMultiLineTextBox, kPushButton };

struct ControlSpec {
  std::string_view name;
  ControlKind kind;
  int left, top, width, height;  // twips
  std::string_view text;         // caption or start text
  int tab_index;
};

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 5280;
inline constexpr int kClientHeightTwips = 5115;
inline constexpr std::string_view kWindowTitle =
    "uWave Frequency Synthesis Factors";

inline constexpr std::array<ControlSpec, 14> kControls = {{
    {"Label1", ControlKind::kLabel, 1920, 480, 1335, 255, "RF Output  MHz", 0},
    {"RFOut", ControlKind::kTextBox, 240, 480, 1575, 285, "", 12},
    {"Label4", ControlKind::kLabel, 3480, 600, 1695, 255, "RF Source Frequency", 5},
    {"Label2", ControlKind::kLabel, 1920, 840, 1575, 255, "RF Multiplication", 2},
    {"RFMult", ControlKind::kTextBox, 240, 840, 1575, 285, "1", 1},
    {"RFund", ControlKind::kTextBox, 3360, 840, 1815, 285, "", 3},
    {"Label5", ControlKind::kLabel, 1920, 1200, 1695, 255, "Ref. Input   MHz", 7},
    {"Ref", ControlKind::kTextBox, 240, 1200, 1575, 285, "10", 6},
    {"Label6", ControlKind::kLabel, 1920, 1560, 1695, 255, "Minimum Fcomp  kHz", 11},
    {"MinFC", ControlKind::kTextBox, 240, 1560, 1575, 285, "5", 10},
    {"Label7", ControlKind::kLabel, 1920, 1920, 1575, 255, "Maximum Fcomp kHz", 14},
    {"MaxFC", ControlKind::kTextBox, 240, 1920, 1575, 285, "100", 13},
    {"DivDisp", ControlKind::kMultiLineTextBox, 240, 2280, 3735, 2655, "", 8},
    {"GO", ControlKind::kPushButton, 4200, 2280, 975, 735, "GO !", 9},
}};

// The control with the first focus when the window opens.
inline constexpr std::string_view kFirstFocus = "RFMult";

constexpr int ToPixels(int twips) { return twips / kTwipsPerPixel; }

}  // namespace synthfactors::ui
