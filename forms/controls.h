#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

// The controls of a form, as plain models. They hold the truth: a backend only mirrors them on
// screen and feeds user input back into them.
namespace forms {

// The runtime's Boolean: 16 bits, True is all bits set.
using Boolean = std::int16_t;
inline constexpr Boolean True = -1;
inline constexpr Boolean False = 0;

struct RectF {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  friend bool operator==(const RectF&, const RectF&) = default;
};

class PictureBox;
class TextBox;

// A backend that draws the controls registers one of these to hear of every change, so that it
// can redraw exactly what changed.
class ControlObserver {
 public:
  virtual ~ControlObserver() = default;
  virtual void pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) = 0;
  virtual void textChanged(const TextBox& box) = 0;
};

// Position and size are single-precision twips; a read returns exactly the value last written.
class PictureBox {
 public:
  PictureBox() = default;
  explicit PictureBox(const RectF& rect) : rect_(rect) {}

  float Left() const { return rect_.left; }
  float Top() const { return rect_.top; }
  float Width() const { return rect_.width; }
  float Height() const { return rect_.height; }
  Boolean Visible() const { return visible_ ? True : False; }
  const RectF& rect() const { return rect_; }

  void setLeft(float left);
  void setTop(float top);
  // Any non-zero value shows the box.
  void setVisible(Boolean visible);

  void setObserver(ControlObserver* observer) { observer_ = observer; }

 private:
  void changed(const RectF& before, bool wasVisible);

  RectF rect_;
  bool visible_ = true;
  ControlObserver* observer_ = nullptr;
};

class TextBox {
 public:
  TextBox() = default;
  explicit TextBox(std::string text) : text_(std::move(text)) {}

  const std::string& Text() const { return text_; }
  // A write that changes the text raises Change before it returns, whoever wrote it: the
  // program, or the backend on behalf of the user. Writing the same text again raises nothing.
  void setText(std::string text);
  // The backend calls this for a mouse click in the box.
  void click();

  std::function<void()> onChange;
  std::function<void()> onClick;

  void setObserver(ControlObserver* observer) { observer_ = observer; }

 private:
  std::string text_;
  ControlObserver* observer_ = nullptr;
};

class CommandButton {
 public:
  void click();
  std::function<void()> onClick;
};

// A straight line drawn inside a picture box, in that box's own twips.
struct Line {
  float x1 = 0;
  float y1 = 0;
  float x2 = 0;
  float y2 = 0;
};

}  // namespace forms
