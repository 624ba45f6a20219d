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
  kRatioChanged = 4,  // the window covers a different number of the screen's pixels
};

// The window: its caption, client size and colour; the canvas in device pixels.
void cw_window(const char* caption, double width, double height, std::uint32_t back);
void cw_canvas(int deviceWidth, int deviceHeight);
// Canvas pixels for each of the window's: as many as it covers on the screen, at most `finest`;
// 1 where the page has no size.
double cw_ratio(double finest);
// The screen's own device pixels per CSS pixel.
double cw_screen_ratio();
// The edges of the boxes and buttons: the raised edge's outer top-left, outer bottom-right,
// inner top-left and inner bottom-right colours, the sunken edge's likewise, then the focus
// mark's colour; and how far in from a button's outer edge the focus mark is drawn.
void cw_edges(const std::uint32_t* colours, int count, int focusInset);
// The page's icon, from RGBA pixels.
void cw_icon(const std::uint8_t* pixels, int width, int height);
// Keeps picture `index` as a bitmap, from RGBA pixels, replacing the one it had.
void cw_picture(int index, const std::uint32_t* pixels, int width, int height);
// Fills the rectangle of the canvas at `left`, `top` with the window's colour, then draws
// `count` parts of pictures in order, each seven numbers: the picture's index, the part's place
// in the picture, its place on the canvas, and its width and height.
void cw_compose(int left, int top, int width, int height, const std::int32_t* parts, int count);

void cw_text_box(int index, const char* text, const char* name, const char* description,
                 const char* family, double pixels, int bold, std::uint32_t fore,
                 std::uint32_t back);
void cw_button(int index, const char* word, const char* description, const char* family,
               double pixels, int bold, std::uint32_t face, std::uint32_t wordColor,
               int pictureWidth, int pictureHeight);
void cw_place(int isButton, int index, double left, double top, double width, double height);
// A text of `length` bytes, which may hold NUL characters as a box can.
void cw_set_text(int index, const char* text, int length);

void cw_announce(const char* text);
void cw_show();
void cw_close();
// Says on the page that the program has ended.
void cw_end();

// The page's own checks: a picture box, then each of its lines, then the JSON of all of them
// (null when no window is shown), valid until the next call.
void cw_probe_picture(const char* name, double x, double y, double width, double height,
                      int visible, double probeX, double probeY, std::uint32_t color);
void cw_probe_line(double x, double y, std::uint32_t color, double beforeX, double beforeY,
                   double afterX, double afterY);
const char* cw_probe_end(int shown, double ratio, double paints);

// Takes the oldest queued event: returns its kind, writes the control's number and, for an
// edit, a malloc'd copy of the text (otherwise null) and its length in bytes to `out`.
int cw_next_event(std::int32_t* out);
// Suspends the program until an event is queued or `milliseconds` have passed; a wait of 0
// only lets the browser run what is due.
void cw_wait(double milliseconds);
}
