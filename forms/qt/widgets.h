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
//
// Qt keeps an undo record for every character an edit inserts or removes, for as long as the box
// lives, so pasting over a long text again and again would grow memory without end. Once the
// records may pass kUndoRecords, the box forgets its history and starts a fresh one: far beyond
// any ordinary undo, which stays as it was. The text itself is bounded by the line edit's own
// maximum length, 32767 characters, which the program's handlers read in one pass.
class EntryBox final : public QLineEdit {
 public:
  EntryBox(const TextBoxEntry& entry, QWidget* parent);

  // The font the box shows its text in.
  static QFont boxFont(const TextBoxEntry& entry);

  static constexpr qsizetype kUndoRecords = 1 << 17;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void countUndoRecords(const QString& text);
  void forgetHistory();

  QString before_;
  // At least as many as Qt holds: an edit records at most one per character of the text before
  // and after it.
  qsizetype records_ = 0;
  bool forgetting_ = false;
};

}  // namespace forms::qt
