#include "forms/qt/form_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace forms::qt {

namespace {

// The board is one picture as far as assistive technology is concerned; the window provides
// what it shows.
class BoardArea final : public QWidget {
 public:
  explicit BoardArea(FormWindow* window) : QWidget(window) {
    setObjectName(QStringLiteral("board"));
    setAccessibleName(QStringLiteral("Board"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  QString summary() const { return static_cast<const FormWindow*>(parentWidget())->boardSummary(); }
};

class BoardAccessible final : public QAccessibleWidget {
 public:
  explicit BoardAccessible(BoardArea* area) : QAccessibleWidget(area, QAccessible::Graphic) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Description) {
      return static_cast<const BoardArea*>(widget())->summary();
    }
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* boardAccessible(const QString&, QObject* object) {
  if (auto* area = dynamic_cast<BoardArea*>(object)) {
    return new BoardAccessible(area);
  }
  return nullptr;
}

QColor toColor(Rgb rgb) {
  return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb));
}

// Pictures arrive as 0xAARRGGBB words, which is Qt's own 32-bit ARGB layout.
QImage toImage(const Image& image) {
  const auto width = static_cast<std::size_t>(std::max(image.width, 0));
  const auto height = static_cast<std::size_t>(std::max(image.height, 0));
  if (width == 0 || height == 0 || image.pixels.size() < width * height) {
    return {};
  }
  QImage result(image.width, image.height, QImage::Format_ARGB32);
  for (std::size_t row = 0; row < height; ++row) {
    std::memcpy(result.scanLine(static_cast<int>(row)), image.pixels.data() + row * width,
                width * sizeof(std::uint32_t));
  }
  return result;
}

// A position in twips as a whole number of device pixels. Positions come from the program and
// may be anything, so they are bounded before the conversion.
int toDevice(double twips, double twipsPerPixel, qreal ratio) {
  const double pixels = twips / twipsPerPixel * ratio;
  if (std::isnan(pixels)) {
    return 0;
  }
  return static_cast<int>(std::lround(std::clamp(pixels, -1e6, 1e6)));
}

// Design fonts are sized for the design's pixels, whatever the screen says about its dots per
// inch: 1440 twips to the inch, 72 points to the inch.
int designPixels(double points, double twipsPerPixel) {
  return std::max(1, static_cast<int>(std::lround(points * 20.0 / twipsPerPixel)));
}

QFont designFont(const FontSpec& design) {
  QFont font(QString::fromStdString(design.family));
  // Lets the font configuration pick a metric twin of the family when it is not installed.
  font.setStyleHint(QFont::Serif);
  font.setBold(design.bold);
  return font;
}

// The classic raised (or, pressed, sunken) two-pixel edge of a button or entry box.
void drawEdge(QPainter& painter, const QRect& rect, bool sunken) {
  const QColor light(0xFF, 0xFF, 0xFF);
  const QColor midLight(0xE3, 0xE3, 0xE3);
  const QColor shadow(0xA0, 0xA0, 0xA0);
  const QColor darkShadow(0x69, 0x69, 0x69);
  const auto frame = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
  };
  if (sunken) {
    frame(rect, shadow, light);
    frame(rect.adjusted(1, 1, -1, -1), darkShadow, midLight);
  } else {
    frame(rect, light, darkShadow);
    frame(rect.adjusted(1, 1, -1, -1), midLight, shadow);
  }
}

// A button whose face is a picture of one word. It has no caption of its own: the word is only
// its accessible name.
class PictureButton final : public QAbstractButton {
 public:
  PictureButton(const ButtonEntry& entry, double twipsPerPixel, QWidget* parent)
      : QAbstractButton(parent), entry_(entry), twipsPerPixel_(twipsPerPixel) {
    setAccessibleName(QString::fromStdString(entry.word));
    setAccessibleDescription(QString::fromStdString(entry.accessibleDescription));
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect face = rect();
    painter.fillRect(face, toColor(entry_.faceColor));
    const bool sunken = isDown();
    drawEdge(painter, face, sunken);
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
      painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DotLine));
      painter.drawRect(face.adjusted(3, 3, -4, -4));
    }
  }

  // A focused button also answers the Enter key, as the Space bar; holding the key down does
  // not repeat the click.
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      if (!event->isAutoRepeat()) {
        click();
      }
      event->accept();
      return;
    }
    QAbstractButton::keyPressEvent(event);
  }

 private:
  const QPixmap& wordPicture(qreal ratio) {
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

  const ButtonEntry& entry_;
  double twipsPerPixel_;
  QPixmap word_;
  qreal wordRatio_ = 0;
};

// A single-line entry box with a thin sunken edge in the classic style.
class EntryBox final : public QLineEdit {
 public:
  explicit EntryBox(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(2, 0, 2, 0);
    setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    drawEdge(painter, rect(), true);
  }
};

}  // namespace

FormWindow::FormWindow(QtRuntime& runtime, FormDescription description)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      runtime_(runtime),
      description_(std::move(description)) {
  if (!(description_.twipsPerPixel > 0)) {
    description_.twipsPerPixel = 15;
  }
  setWindowTitle(QString::fromStdString(description_.caption));
  setFixedSize(
      toPixels({0, 0, description_.clientWidth, description_.clientHeight}).toRect().size());
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, toColor(description_.backColor));
  palette.setColor(QPalette::WindowText, toColor(description_.foreColor));
  setPalette(palette);
  // The paint event covers every pixel it is asked for.
  setAttribute(Qt::WA_OpaquePaintEvent);

  if (description_.icon) {
    QIcon icon;
    const int design = std::max(description_.iconPixels, 1);
    for (const int side : {16, 32, 48, 64}) {
      const QImage image = toImage(description_.icon(static_cast<double>(side) / design));
      if (!image.isNull()) {
        icon.addPixmap(QPixmap::fromImage(image));
      }
    }
    setWindowIcon(icon);
  }

  buildPictures();
  buildTextBoxes();
  buildButtons();
  buildTabOrder();
  buildBoard();
  runtime_.setWindow(this);
}

FormWindow::~FormWindow() {
  QAccessible::removeActivationObserver(this);
  runtime_.setWindow(nullptr);
  for (const Picture& picture : pictures_) {
    picture.entry->box->setObserver(nullptr);
  }
  for (const auto& [edit, box] : boxOfEdit_) {
    box->setObserver(nullptr);
  }
}

void FormWindow::buildPictures() {
  // Painted back to front: first whatever the stacking list leaves out, then the list reversed.
  std::vector<const PictureBoxEntry*> order;
  for (const PictureBoxEntry& entry : description_.pictureBoxes) {
    if (std::find(description_.frontToBack.begin(), description_.frontToBack.end(), entry.name) ==
        description_.frontToBack.end()) {
      order.push_back(&entry);
    }
  }
  for (auto name = description_.frontToBack.rbegin(); name != description_.frontToBack.rend();
       ++name) {
    for (const PictureBoxEntry& entry : description_.pictureBoxes) {
      if (entry.name == *name) {
        order.push_back(&entry);
      }
    }
  }
  for (const PictureBoxEntry* entry : order) {
    if (entry->box == nullptr) {
      continue;
    }
    entry->box->setObserver(this);
    pictures_.push_back({entry, {}, 0});
  }
}

void FormWindow::buildTextBoxes() {
  for (const TextBoxEntry& entry : description_.textBoxes) {
    if (entry.box == nullptr) {
      continue;
    }
    auto* edit = new EntryBox(this);
    edit->setObjectName(QString::fromStdString(entry.name));
    edit->setGeometry(toPixels(entry.rect).toRect());
    QFont font = designFont(entry.font);
    font.setPointSizeF(entry.font.points);
    edit->setFont(font);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, toColor(entry.backColor));
    palette.setColor(QPalette::Window, toColor(entry.backColor));
    palette.setColor(QPalette::Text, toColor(entry.foreColor));
    edit->setPalette(palette);
    edit->setText(QString::fromStdString(entry.box->Text()));
    edit->setCursorPosition(0);
    edit->installEventFilter(this);
    edit->setAccessibleName(QString::fromStdString(
        entry.accessibleName.empty() ? entry.box->Text() : entry.accessibleName));
    edit->setAccessibleDescription(QString::fromStdString(entry.accessibleDescription));

    TextBox* box = entry.box;
    connect(edit, &QLineEdit::textEdited, this, [this, box](const QString& text) {
      runtime_.dispatch([box, &text] { box->setText(text.toStdString()); });
    });
    box->setObserver(this);
    edits_[box] = edit;
    boxOfEdit_[edit] = box;
    focusable_.emplace_back(entry.tabIndex, edit);
  }
}

void FormWindow::buildButtons() {
  for (const ButtonEntry& entry : description_.buttons) {
    if (entry.button == nullptr) {
      continue;
    }
    auto* button = new PictureButton(entry, description_.twipsPerPixel, this);
    button->setObjectName(QString::fromStdString(entry.name));
    button->setGeometry(toPixels(entry.rect).toRect());
    CommandButton* model = entry.button;
    connect(button, &QAbstractButton::clicked, this,
            [this, model] { runtime_.dispatch([model] { model->click(); }); });
    focusable_.emplace_back(entry.tabIndex, button);
  }
}

void FormWindow::buildTabOrder() {
  std::stable_sort(focusable_.begin(), focusable_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < focusable_.size(); ++i) {
    setTabOrder(focusable_[i - 1].second, focusable_[i].second);
  }
}

void FormWindow::buildBoard() {
  if (!description_.describePictures) {
    return;
  }
  float bottom = 0;
  for (const PictureBoxEntry& entry : description_.pictureBoxes) {
    if (entry.box != nullptr) {
      bottom = std::max(bottom, entry.box->Top() + entry.box->Height());
    }
  }

  static const bool factoryInstalled = [] {
    QAccessible::installFactory(boardAccessible);
    return true;
  }();
  static_cast<void>(factoryInstalled);
  board_ = new BoardArea(this);
  // The disks travel above the posts, up to the top of the window.
  board_->setGeometry(toPixels({0, 0, description_.clientWidth, bottom}).toRect());
  board_->lower();
  // It draws nothing itself; a paint event for it at every step of a run would cost a few
  // percent of the animation's speed.
  board_->setUpdatesEnabled(false);

  accessibilityActive_ = QAccessible::isActive();
  announcedBoard_ = boardSummary();
  QAccessible::installActivationObserver(this);
}

QString FormWindow::boardSummary() const {
  if (!description_.describePictures) {
    return {};
  }
  return QString::fromStdString(description_.describePictures());
}

void FormWindow::accessibilityActiveChanged(bool active) {
  accessibilityActive_ = active;
  if (active) {
    announcedBoard_ = boardSummary();
  }
}

void FormWindow::announceBoard() {
  boardCheckPending_ = false;
  if (board_ == nullptr || !accessibilityActive_) {
    return;
  }
  QString summary = boardSummary();
  if (summary == announcedBoard_) {
    return;
  }
  announcedBoard_ = std::move(summary);
  QAccessibleEvent event(board_, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&event);
  emit boardAnnounced(announcedBoard_);
}

void FormWindow::load() {
  if (description_.onLoad) {
    runtime_.dispatch(description_.onLoad);
  }
}

void FormWindow::present() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  if (screen != nullptr) {
    const QRect available = screen->availableGeometry();
    move(available.center() - rect().center());
  }
  if (!focusable_.empty()) {
    focusable_.front().second->setFocus(Qt::OtherFocusReason);
  }
  show();
  activateWindow();
}

QRectF FormWindow::toPixels(const RectF& twips) const {
  const qreal ratio = devicePixelRatioF();
  const double scale = description_.twipsPerPixel;
  const int left = toDevice(twips.left, scale, ratio);
  const int top = toDevice(twips.top, scale, ratio);
  const int right =
      toDevice(static_cast<double>(twips.left) + static_cast<double>(twips.width), scale, ratio);
  const int bottom =
      toDevice(static_cast<double>(twips.top) + static_cast<double>(twips.height), scale, ratio);
  return {left / ratio, top / ratio, (right - left) / ratio, (bottom - top) / ratio};
}

void FormWindow::repaintTwips(const RectF& twips) {
  update(toPixels(twips).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void FormWindow::pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) {
  if (wasVisible) {
    repaintTwips(before);
  }
  if (box.Visible() != False) {
    repaintTwips(box.rect());
  }
  // A run moves a disk many thousand times a second: the counts are compared once per pass of
  // the event loop, however many steps it took.
  if (accessibilityActive_ && board_ != nullptr && !boardCheckPending_) {
    boardCheckPending_ = true;
    QMetaObject::invokeMethod(this, &FormWindow::announceBoard, Qt::QueuedConnection);
  }
}

void FormWindow::textChanged(const TextBox& box) {
  const auto found = edits_.find(&box);
  if (found == edits_.end()) {
    return;
  }
  const QString text = QString::fromStdString(box.Text());
  // The user's own edit arrives here too: leave the cursor where the typing left it.
  if (found->second->text() != text) {
    found->second->setText(text);
  }
}

const QPixmap& FormWindow::pixmapFor(Picture& picture, qreal ratio) {
  if (picture.ratio != ratio) {
    picture.pixmap = {};
    if (picture.entry->picture) {
      picture.pixmap = QPixmap::fromImage(toImage(picture.entry->picture(ratio)));
      picture.pixmap.setDevicePixelRatio(ratio);
    }
    picture.ratio = ratio;
  }
  return picture.pixmap;
}

void FormWindow::paintPicture(QPainter& painter, Picture& picture, qreal ratio) {
  const PictureBoxEntry& entry = *picture.entry;
  const QRectF box = toPixels(entry.box->rect());
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  painter.fillRect(box, toColor(entry.backColor));
  const QPixmap& pixmap = pixmapFor(picture, ratio);
  if (!pixmap.isNull()) {
    painter.drawPixmap(box.topLeft(), pixmap);
  }
  const double scale = description_.twipsPerPixel;
  for (const LineEntry& line : entry.lines) {
    // Centred on the pixel the line passes through, as wide as asked in whole device pixels.
    const int width = std::max(1, static_cast<int>(std::lround(line.widthPixels * ratio)));
    const qreal centre = (width % 2 == 1) ? 0.5 : 0.0;
    const auto at = [&](float x, float y) {
      return box.topLeft() + QPointF((toDevice(x, scale, ratio) + centre) / ratio,
                                     (toDevice(y, scale, ratio) + centre) / ratio);
    };
    painter.setPen(QPen(toColor(line.color), width / ratio, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(at(line.line.x1, line.line.y1), at(line.line.x2, line.line.y2));
  }
  painter.restore();
}

void FormWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), toColor(description_.backColor));
  const qreal ratio = devicePixelRatioF();
  const QRectF dirty(event->rect());
  for (Picture& picture : pictures_) {
    if (picture.entry->box->Visible() == False ||
        !toPixels(picture.entry->box->rect()).intersects(dirty)) {
      continue;
    }
    paintPicture(painter, picture, ratio);
  }
}

void FormWindow::quit() {
  if (description_.onClose) {
    description_.onClose();
  } else {
    runtime_.Unload();
    runtime_.End();
  }
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The close box asks exactly what the quit button asks. The window goes away only when the
  // program ends, or when it has already hidden it itself.
  if (!runtime_.ended() && isVisible()) {
    runtime_.dispatch([this] { quit(); });
  }
  event->setAccepted(runtime_.ended() || !isVisible());
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    const auto found = boxOfEdit_.find(watched);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (found != boxOfEdit_.end() && mouse->button() == Qt::LeftButton &&
        static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
      TextBox* box = found->second;
      runtime_.dispatch([box] { box->click(); });
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace forms::qt
