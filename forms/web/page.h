#pragma once

#include <cstdint>

// The page side of the browser window, in forms/web/page.js. Sizes and places are CSS pixels
// unless they say device pixels; colours are 0xRRGGBB; texts are UTF-8.
extern "C" {

// What the page queues for the pump. Text boxes and buttons are numbered by their place in the
// form's description.
enum PageEvent : int {
  kNoEvent = 0,
  kTextEdited = 1,  // a text box and its new text
  kTextBoxClicked = 2,
  kButtonClicked = 3,
  kRatioChanged = 4,  // the screen's device pixel ratio changed
};

// The window: its caption, client size and colour; the canvas in device pixels.
void cw_window(const char* caption, double width, double height, std::uint32_t back);
void cw_canvas(int deviceWidth, int deviceHeight);
double cw_ratio();
// Caches picture `index` as a device-pixel bitmap of the given size filled with `back`, with
// the RGBA `pixels` at its top left.
void cw_picture(int index, const std::uint8_t* pixels, int width, int height, int cacheWidth,
                int cacheHeight, std::uint32_t back);
// The page's icon, from RGBA pixels.
void cw_icon(const std::uint8_t* pixels, int width, int height);
// Draws a line into the cached picture, in its device pixels.
void cw_line(int index, double x1, double y1, double x2, double y2, int width, std::uint32_t color);
// Draws into the canvas: `count` commands of seven numbers each, [picture, source x, source y,
// width, height, target x, target y] in device pixels; picture -1 fills the target with the
// window's colour.
void cw_paint(const std::int32_t* commands, int count);

void cw_text_box(int index, const char* text, const char* name, const char* description,
                 const char* family, double pixels, int bold, std::uint32_t fore,
                 std::uint32_t back);
void cw_button(int index, const char* word, const char* description, const char* family,
               double pixels, int bold, std::uint32_t face, std::uint32_t wordColor,
               int pictureWidth, int pictureHeight);
void cw_place(int isButton, int index, double left, double top, double width, double height);
void cw_set_text(int index, const char* text);

void cw_announce(const char* text);
void cw_show();
void cw_close();
// Says on the page that the program has ended.
void cw_end();

// Takes the oldest queued event: returns its kind, writes the control's number and, for an
// edit, a malloc'd copy of the text (otherwise null) to `out`.
int cw_next_event(std::int32_t* out);
// Suspends the program until an event is queued or `milliseconds` have passed; a wait of 0
// only lets the browser run what is due.
void cw_wait(double milliseconds);
}
