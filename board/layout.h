#pragma once

#include <array>

#include "forms/controls.h"
#include "forms/description.h"

// The window as designed: every place, size, colour and text. Positions are twips from the
// top-left of the client area, 15 twips to a pixel.
namespace board {

inline constexpr const char* kCaption = "Corvane by Ambrell";
inline constexpr float kClientWidth = 14880;
inline constexpr float kClientHeight = 11010;
inline constexpr float kTwipsPerPixel = 15;
inline constexpr forms::Rgb kBackColor = 0x000000;
inline constexpr forms::Rgb kForeColor = 0xE0E0E0;

struct DiskDesign {
  forms::RectF rect;
  int tabIndex;
  forms::Rgb boxColor;
  forms::Rgb leftEdge;
  forms::Rgb highlight;
  int highlightColumn;
  forms::Rgb rightEdge;
};

inline constexpr std::array<DiskDesign, 7> kDisks{{
    {{1208, 6158, 3855, 495}, 8, 0x0000FF, 0x6A6CC0, 0xA49ED3, 61, 0x0C0E5D},
    {{1448, 5678, 3375, 495}, 2, 0x00FFFF, 0x4CB5B8, 0x76D8C5, 50, 0x066E6E},
    {{1718, 5198, 2895, 495}, 3, 0x00FF00, 0x55CB56, 0x7BE264, 41, 0x045716},
    {{1928, 4718, 2415, 495}, 4, 0xFFFF00, 0xC9C876, 0xF2EA83, 39, 0x817E2E},
    {{2168, 4238, 1935, 495}, 5, 0xFF8000, 0xCC9A51, 0xEEBA5F, 31, 0x684709},
    {{2408, 3758, 1455, 495}, 6, 0xFF0000, 0xC44A52, 0xE86E5E, 24, 0x660609},
    {{2648, 3278, 975, 495}, 7, 0xFF00FF, 0xCC90D4, 0xF2B4DD, 16, 0x754C7C},
}};

struct PieceDesign {
  forms::RectF rect;
  int tabIndex;
};

inline constexpr std::array<PieceDesign, 3> kPosts{{
    {{3008, 3038, 300, 3615}, 9},
    {{7358, 3038, 300, 3615}, 10},
    {{11648, 3038, 300, 3615}, 11},
}};

inline constexpr std::array<PieceDesign, 3> kBases{{
    {{1283, 6638, 3750, 1335}, 13},
    {{5603, 6638, 3750, 1335}, 14},
    {{9923, 6638, 3750, 1335}, 15},
}};

// The post bitmap is 243 rows high, of which the box shows the top 241.
inline constexpr int kPostBitmapRows = 243;
inline constexpr std::array<forms::Rgb, 20> kPostColumns{
    0x341E0B, 0x5A3214, 0x81461C, 0xB56028, 0xFE8437, 0x7C3721, 0x57211B,
    0xA0807D, 0xCFBEBD, 0xD1B5A9, 0xBF8D71, 0xB06940, 0x9C4C1B, 0x7E411B,
    0x60361C, 0x4F2F1C, 0x3E291C, 0x2D231C, 0x1C1C1C, 0x1C1C1C};

// The frame around the numeral of each base, in the base's own twips, 3 pixels wide.
struct FrameLineDesign {
  const char* name;
  forms::Line line;
  forms::Rgb color;
};
inline constexpr int kFrameLinePixels = 3;
inline constexpr std::array<FrameLineDesign, 4> kFrame{{
    {"Line1", {240, 240, 3480, 240}, 0xC0C0C0},
    {"Line4", {240, 240, 240, 1080}, 0x404040},
    {"Line3", {240, 1080, 3480, 1080}, 0x808080},
    {"Line5", {3480, 240, 3480, 1080}, 0xE0E0E0},
}};

inline constexpr const char* kEntryFontFamily = "Times New Roman";
inline constexpr double kEntryFontPoints = 9.75;
inline constexpr double kButtonFontPoints = 12;

struct EntryDesign {
  forms::RectF rect;
  int tabIndex;
  const char* prompt;
  forms::Rgb backColor;
};
inline constexpr EntryDesign kNumDisksBox{{4800, 8858, 1095, 495}, 1, "Disks (1-7)", 0x070000};
inline constexpr EntryDesign kDelayBox{{6000, 8858, 1095, 495}, 12, "Delay (s)", 0x000000};
inline constexpr forms::Rgb kEntryTextColor = 0xFFFFFF;

struct ButtonDesign {
  forms::RectF rect;
  int tabIndex;
  const char* word;
};
inline constexpr ButtonDesign kMovesButton{{7200, 8858, 855, 495}, 16, "Moves"};
inline constexpr ButtonDesign kResetButton{{8160, 8858, 855, 495}, 0, "Reset"};
inline constexpr ButtonDesign kQuitButton{{9120, 8858, 855, 495}, 17, "Quit"};
inline constexpr int kButtonPictureWidth = 53;
inline constexpr int kButtonPictureHeight = 29;

// Overlapping controls, frontmost first.
inline constexpr std::array<const char*, 18> kFrontToBack{
    "cmdQuit",     "cmdMoves",    "Picture3(0)", "Picture3(2)", "Picture3(1)", "txtDelay",
    "Picture1(0)", "Picture1(6)", "Picture1(5)", "Picture1(4)", "Picture1(3)", "Picture1(2)",
    "Picture1(1)", "txtNumDisks", "cmdReset",    "Picture2(1)", "Picture2(2)", "Picture2(0)"};

}  // namespace board
