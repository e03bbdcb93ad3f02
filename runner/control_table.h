// The classic window's controls as plain data: the Qt window and the web
// page's calculator are both built from this table.
// Positions and sizes are in twips (1/1440 inch) from the top left of the
// client area; at 96 dpi one pixel is 15 twips. The text boxes take their
// names and start texts from the calculation's box table.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "go_action.h"

namespace synthfactors::runner {

enum class ControlKind { kLabel, kTextBox, kMultiLineTextBox, kPushButton };

struct Twips {
  int left, top, width, height;
};

struct ControlEntry {
  std::string_view name;
  ControlKind kind;
  Twips rect;
  std::string_view text;  // caption or start text
  int tab_index;
  std::optional<Box> box;  // the text box the GO action reads or writes
};

// A label or the button.
constexpr ControlEntry Control(std::string_view name, ControlKind kind,
                               Twips rect, std::string_view text,
                               int tab_index) {
  return {name, kind, rect, text, tab_index, std::nullopt};
}

// One of the calculation's text boxes.
constexpr ControlEntry TextBox(Box box, ControlKind kind, Twips rect,
                               int tab_index) {
  return {BoxName(box), kind, rect, StartText(box), tab_index, box};
}

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 5280;
inline constexpr int kClientHeightTwips = 5115;
inline constexpr std::string_view kWindowTitle =
    "uWave Frequency Synthesis Factors";

using enum ControlKind;

inline constexpr std::array<ControlEntry, 14> kControls = {{
    Control("Label1", kLabel, {1920, 480, 1335, 255}, "RF Output  MHz", 0),
    TextBox(Box::RFOut, kTextBox, {240, 480, 1575, 285}, 12),
    Control("Label4", kLabel, {3480, 600, 1695, 255}, "RF Source Frequency", 5),
    Control("Label2", kLabel, {1920, 840, 1575, 255}, "RF Multiplication", 2),
    TextBox(Box::RFMult, kTextBox, {240, 840, 1575, 285}, 1),
    TextBox(Box::RFund, kTextBox, {3360, 840, 1815, 285}, 3),
    Control("Label5", kLabel, {1920, 1200, 1695, 255}, "Ref. Input   MHz", 7),
    TextBox(Box::Ref, kTextBox, {240, 1200, 1575, 285}, 6),
    Control("Label6", kLabel, {1920, 1560, 1695, 255}, "Minimum Fcomp  kHz", 11),
    TextBox(Box::MinFC, kTextBox, {240, 1560, 1575, 285}, 10),
    Control("Label7", kLabel, {1920, 1920, 1575, 255}, "Maximum Fcomp kHz", 14),
    TextBox(Box::MaxFC, kTextBox, {240, 1920, 1575, 285}, 13),
    TextBox(Box::DivDisp, kMultiLineTextBox, {240, 2280, 3735, 2655}, 8),
    Control("GO", kPushButton, {4200, 2280, 975, 735}, "GO !", 9),
}};

// The control with the first focus when the window opens.
inline constexpr Box kFirstFocus = Box::RFMult;

constexpr int ToPixels(int twips) { return twips / kTwipsPerPixel; }

}  // namespace synthfactors::runner
