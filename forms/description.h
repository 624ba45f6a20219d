#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/controls.h"

// What a backend needs to build a window: every control with its place, look and order. The
// models themselves belong to the form; a description only points at them.
namespace forms {

// 0xRRGGBB.
using Rgb = std::uint32_t;

// A bitmap of 0xAARRGGBB pixels, rows top to bottom.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t pixel(int x, int y) const { return pixels[index(x, y)]; }
  std::uint32_t& at(int x, int y) { return pixels[index(x, y)]; }

 private:
  std::size_t index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
  }
};

// Draws a picture at `scale` device pixels per design pixel, so that it stays sharp on any
// screen. The result is round(design size * scale) pixels in each direction.
using PictureRenderer = std::function<Image(double scale)>;

struct FontSpec {
  std::string family;
  double points = 0;
  bool bold = false;
};

struct LineEntry {
  Line line;
  Rgb color = 0;
  int widthPixels = 1;
};

struct PictureBoxEntry {
  std::string name;  // as in the front-to-back list, e.g. "Picture1(0)"
  PictureBox* box = nullptr;
  Rgb backColor = 0;
  PictureRenderer picture;
  // Drawn over the picture, in the box's own twips.
  std::vector<LineEntry> lines;
};

struct TextBoxEntry {
  std::string name;
  TextBox* box = nullptr;
  RectF rect;
  int tabIndex = 0;
  FontSpec font;
  Rgb foreColor = 0;
  Rgb backColor = 0;
  // What assistive technology says of the box, which loses its prompt at the first click.
  std::string accessibleName;
  std::string accessibleDescription;
};

// A button whose face is a picture of one word, centred on its face.
struct ButtonEntry {
  std::string name;
  CommandButton* button = nullptr;
  RectF rect;
  int tabIndex = 0;
  Rgb faceColor = 0;
  std::string word;
  FontSpec wordFont;
  Rgb wordColor = 0;
  int pictureWidthPixels = 0;
  int pictureHeightPixels = 0;
  // The word is the button's accessible name; this says what it does.
  std::string accessibleDescription;
};

struct FormDescription {
  std::string caption;
  float clientWidth = 0;  // twips
  float clientHeight = 0;
  float twipsPerPixel = 15;
  Rgb backColor = 0;
  Rgb foreColor = 0;
  PictureRenderer icon;  // square, design size iconPixels
  int iconPixels = 32;

  std::vector<PictureBoxEntry> pictureBoxes;
  std::vector<TextBoxEntry> textBoxes;
  std::vector<ButtonEntry> buttons;
  // Names of the picture boxes that overlap, frontmost first. Text boxes and buttons are not
  // listed: they stand in front of every picture.
  std::vector<std::string> frontToBack;

  // Raised once, after every control exists and before the window first shows.
  std::function<void()> onLoad;
  // What the window's close box does.
  std::function<void()> onClose;
  // A sentence saying what the picture boxes show, for assistive technology. Cheap enough to
  // ask once per pass of the event loop.
  std::function<std::string()> describePictures;
};

// The picture boxes in the order they are drawn, back to front: first whatever the stacking list
// leaves out, then the list reversed. Entries without a box are left out.
std::vector<const PictureBoxEntry*> backToFront(const FormDescription& form);

// A position in twips as a whole number of device pixels. Positions come from the program and
// may be anything, so they are bounded before the conversion.
int devicePixels(double twips, double twipsPerPixel, double ratio);

// Where a rectangle given in twips lands on screen, in device pixels: each edge is rounded on
// its own, so that boxes that touch in twips touch on screen.
struct DeviceEdges {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};
DeviceEdges deviceEdges(const RectF& twips, double twipsPerPixel, double ratio);

// What owns a window's controls, state and handlers, and describes the window. A backend keeps
// the form alive for as long as the window it built from the description.
class Form {
 public:
  virtual ~Form() = default;
  virtual FormDescription describe() = 0;
};

}  // namespace forms
