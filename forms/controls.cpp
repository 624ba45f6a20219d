#include "forms/controls.h"

#include <utility>

namespace forms {

void PictureBox::setLeft(float left) {
  const RectF before = rect_;
  rect_.left = left;
  changed(before, visible_);
}

void PictureBox::setTop(float top) {
  const RectF before = rect_;
  rect_.top = top;
  changed(before, visible_);
}

void PictureBox::setVisible(Boolean visible) {
  const bool wasVisible = visible_;
  visible_ = visible != False;
  changed(rect_, wasVisible);
}

void PictureBox::changed(const RectF& before, bool wasVisible) {
  if (observer_ != nullptr && (before != rect_ || wasVisible != visible_)) {
    observer_->pictureChanged(*this, before, wasVisible);
  }
}

void TextBox::setText(std::string text) {
  if (text == text_) {
    return;
  }
  text_ = std::move(text);
  if (observer_ != nullptr) {
    observer_->textChanged(*this);
  }
  if (onChange) {
    onChange();
  }
}

void TextBox::click() {
  if (onClick) {
    onClick();
  }
}

void CommandButton::click() {
  if (onClick) {
    onClick();
  }
}

}  // namespace forms
