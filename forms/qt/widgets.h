#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QPixmap>

#include "forms/description.h"

// The widgets that stand for the form's text boxes and buttons, drawn in the classic style.
namespace forms::qt {

// A button whose face is a picture of one word. It has no caption of its own: the word is only
// its accessible name.
class PictureButton final : public QAbstractButton {
 public:
  // `entry` must outlive the button.
  PictureButton(const ButtonEntry& entry, double twipsPerPixel, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const QPixmap& wordPicture(qreal ratio);

  const ButtonEntry& entry_;
  double twipsPerPixel_;
  QPixmap word_;
  qreal wordRatio_ = 0;
};

// A single-line entry box with a thin sunken edge, in the font and colours of its entry and
// showing the text its model holds.
class EntryBox final : public QLineEdit {
 public:
  EntryBox(const TextBoxEntry& entry, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace forms::qt
