#include "forms/qt/widgets.h"

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include "forms/qt/pixels.h"
#include "forms/window_rules.h"

namespace forms::qt {

namespace {

// Qt sizes fonts in whole pixels.
int designPixels(double points, double twipsPerPixel) {
  return std::max(1, static_cast<int>(std::lround(fontPixels(points, twipsPerPixel))));
}

QFont designFont(const FontSpec& design) {
  QFont font(QString::fromStdString(design.family));
  // Lets the font configuration pick a metric twin of the family when it is not installed.
  font.setStyleHint(QFont::Serif);
  font.setBold(design.bold);
  return font;
}

void drawEdge(QPainter& painter, const QRect& rect, const Edge& edge) {
  const auto frame = [&painter](const QRect& r, Rgb topLeft, Rgb bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), toColor(topLeft));
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), toColor(topLeft));
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), toColor(bottomRight));
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), toColor(bottomRight));
  };
  frame(rect, edge.outerTopLeft, edge.outerBottomRight);
  frame(rect.adjusted(1, 1, -1, -1), edge.innerTopLeft, edge.innerBottomRight);
}

}  // namespace

PictureButton::PictureButton(const ButtonEntry& entry, double twipsPerPixel, QWidget* parent)
    : QAbstractButton(parent), entry_(entry), twipsPerPixel_(twipsPerPixel) {
  setObjectName(QString::fromStdString(entry.name));
  setAccessibleName(QString::fromStdString(entry.word));
  setAccessibleDescription(QString::fromStdString(entry.accessibleDescription));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect face = rect();
  painter.fillRect(face, toColor(entry_.faceColor));
  const bool sunken = isDown();
  drawEdge(painter, face, sunken ? kSunkenEdge : kRaisedEdge);
  const QPixmap& word = wordPicture(devicePixelRatioF());
  const QSizeF wordSize = word.deviceIndependentSize();
  QPointF origin((face.width() - wordSize.width()) / 2.0,
                 (face.height() - wordSize.height()) / 2.0);
  origin = QPointF(std::floor(origin.x()), std::floor(origin.y()));
  if (sunken) {
    origin += QPointF(1, 1);
  }
  painter.drawPixmap(origin, word);
  if (hasFocus()) {
    painter.setPen(QPen(toColor(kFocusMark), 1, Qt::DotLine));
    // A drawn rectangle covers one pixel more than its size to the right and below.
    constexpr int in = kFocusMarkInset;
    painter.drawRect(face.adjusted(in, in, -in - 1, -in - 1));
  }
}

// A focused button also answers the Enter key, as the Space bar; holding the key down does not
// repeat the click.
void PictureButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (!event->isAutoRepeat()) {
      click();
    }
    event->accept();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

const QPixmap& PictureButton::wordPicture(qreal ratio) {
  if (word_.isNull() || wordRatio_ != ratio) {
    const int width = std::max(entry_.pictureWidthPixels, 1);
    const int height = std::max(entry_.pictureHeightPixels, 1);
    QImage image(static_cast<int>(std::lround(width * ratio)),
                 static_cast<int>(std::lround(height * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(toColor(entry_.faceColor));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = designFont(entry_.wordFont);
    font.setPixelSize(designPixels(entry_.wordFont.points, twipsPerPixel_));
    painter.setFont(font);
    painter.setPen(toColor(entry_.wordColor));
    painter.drawText(QRectF(0, 0, width, height), Qt::AlignCenter,
                     QString::fromStdString(entry_.word));
    painter.end();
    word_ = QPixmap::fromImage(image);
    wordRatio_ = ratio;
  }
  return word_;
}

EntryBox::EntryBox(const TextBoxEntry& entry, QWidget* parent) : QLineEdit(parent) {
  setObjectName(QString::fromStdString(entry.name));
  setFrame(false);
  setTextMargins(2, 0, 2, 0);
  setAutoFillBackground(true);
  setFont(boxFont(entry));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Base, toColor(entry.backColor));
  palette.setColor(QPalette::Window, toColor(entry.backColor));
  palette.setColor(QPalette::Text, toColor(entry.foreColor));
  setPalette(palette);
  setText(QString::fromStdString(entry.box->Text()));
  setCursorPosition(0);
  setAccessibleName(QString::fromStdString(entry.accessibleName.empty() ? entry.box->Text()
                                                                        : entry.accessibleName));
  setAccessibleDescription(QString::fromStdString(entry.accessibleDescription));
  before_ = text();
  connect(this, &QLineEdit::textChanged, this, &EntryBox::countUndoRecords);
}

QFont EntryBox::boxFont(const TextBoxEntry& entry) {
  QFont font = designFont(entry.font);
  font.setPointSizeF(entry.font.points);
  return font;
}

void EntryBox::countUndoRecords(const QString& text) {
  // A write of the whole text clears the history.
  records_ = isUndoAvailable() ? records_ + before_.size() + text.size() : 0;
  before_ = text;
  if (records_ > kUndoRecords && !forgetting_) {
    // Not in the middle of the edit that is still being recorded.
    forgetting_ = true;
    QMetaObject::invokeMethod(this, &EntryBox::forgetHistory, Qt::QueuedConnection);
  }
}

void EntryBox::forgetHistory() {
  forgetting_ = false;
  const int cursor = cursorPosition();
  // Writing the same text changes nothing but the history.
  setText(text());
  setCursorPosition(cursor);
  records_ = 0;
}

void EntryBox::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  QPainter painter(this);
  drawEdge(painter, rect(), kSunkenEdge);
}

}  // namespace forms::qt
