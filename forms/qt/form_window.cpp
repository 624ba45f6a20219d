// The desktop's window. It follows the rules in forms/window_rules.h as the browser's does, and
// differs from the browser's on purpose in these:
// - The text boxes and buttons are Qt widgets that draw their own edges; in the browser they are
//   page elements, styled to look the same.
// - A change of a picture box repaints only the pixels it can change, straight into the window's
//   image or by moving pixels already on screen; the browser composes the changed rectangles in
//   memory and copies them to its canvas once per pump.
// - The board's words are told to assistive technology at most once per pass of the event loop;
//   the browser's live region changes at most every two seconds, since a screen reader speaks
//   every change of it.
// - The window keeps its size, centred on the screen, and has a close box that asks what the
//   quit button asks; the browser fits the window to the page and scales it down whole.
// - Runs nest up to 200 deep; the browser's smaller stack allows 32.
// - An end of the program ends the process; in the browser it takes the window off the page.
#include "forms/qt/form_window.h"

#include <algorithm>
#include <string>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QWindow>

#include "forms/qt/accessibility.h"
#include "forms/qt/pixels.h"
#include "forms/qt/widgets.h"
#include "forms/window_rules.h"

namespace forms::qt {

FormWindow::FormWindow(QtRuntime& runtime, FormDescription description)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      runtime_(runtime),
      description_(std::move(description)) {
  installAccessibleFactory();
  description_.twipsPerPixel = usableTwipsPerPixel(description_.twipsPerPixel);
  setWindowTitle(QString::fromStdString(description_.caption));
  setFixedSize(
      toPixels({0, 0, description_.clientWidth, description_.clientHeight}).toRect().size());
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, toColor(description_.backColor));
  palette.setColor(QPalette::WindowText, toColor(description_.foreColor));
  setPalette(palette);
  // The paint event covers every pixel it is asked for.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setIcon();

  for (PictureBox* box : painter_.boxes()) {
    box->setObserver(this);
  }
  buildTabOrder(buildTextBoxes(), buildButtons());
  buildBoard();
  runtime_.setWindow(this);
}

FormWindow::~FormWindow() {
  board_.reset();
  runtime_.setWindow(nullptr);
  for (PictureBox* box : painter_.boxes()) {
    box->setObserver(nullptr);
  }
  for (const auto& [edit, box] : boxOfEdit_) {
    box->setObserver(nullptr);
  }
}

void FormWindow::setIcon() {
  if (!description_.icon) {
    return;
  }
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

std::vector<QWidget*> FormWindow::buildTextBoxes() {
  std::vector<QWidget*> built;
  // A line edit lays out its still empty text while it is being made, in the application's font
  // and then in its window's, before it is given its own. With both already the boxes' font,
  // start-up looks up and loads no other font only to drop it a moment later. Nothing else in
  // the window draws in the window's font; the application's is put back at once.
  const QFont applicationFont = QApplication::font();
  if (!description_.textBoxes.empty()) {
    const QFont boxes = EntryBox::boxFont(description_.textBoxes.front());
    QApplication::setFont(boxes);
    setFont(boxes);
  }
  for (const TextBoxEntry& entry : description_.textBoxes) {
    built.push_back(nullptr);
    if (entry.box == nullptr) {
      continue;
    }
    auto* edit = new EntryBox(entry, this);
    edit->setGeometry(toPixels(entry.rect).toRect());
    edit->installEventFilter(this);
    TextBox* box = entry.box;
    // Whatever changed the text (typing, paste, undo, drag and drop, assistive technology), the
    // program hears of it; only its own writes, which the box merely mirrors, are not echoed.
    connect(edit, &QLineEdit::textChanged, this, [this, box](const QString& text) {
      if (!mirroring_) {
        runtime_.dispatch([box, &text] { box->setText(text.toStdString()); });
      }
    });
    box->setObserver(this);
    edits_[box] = edit;
    boxOfEdit_[edit] = box;
    built.back() = edit;
  }
  QApplication::setFont(applicationFont);
  return built;
}

std::vector<QWidget*> FormWindow::buildButtons() {
  std::vector<QWidget*> built;
  for (const ButtonEntry& entry : description_.buttons) {
    built.push_back(nullptr);
    if (entry.button == nullptr) {
      continue;
    }
    auto* button = new PictureButton(entry, description_.twipsPerPixel, this);
    button->setGeometry(toPixels(entry.rect).toRect());
    CommandButton* model = entry.button;
    connect(button, &QAbstractButton::clicked, this,
            [this, model] { runtime_.dispatch([model] { model->click(); }); });
    built.back() = button;
  }
  return built;
}

void FormWindow::buildTabOrder(const std::vector<QWidget*>& textBoxes,
                               const std::vector<QWidget*>& buttons) {
  for (const TabStop& stop : tabOrder(description_)) {
    focusable_.push_back(stop.kind == TabStop::Kind::textBox ? textBoxes[stop.index]
                                                             : buttons[stop.index]);
  }
  for (std::size_t i = 1; i < focusable_.size(); ++i) {
    setTabOrder(focusable_[i - 1], focusable_[i]);
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
  // The disks travel above the posts, up to the top of the window.
  board_ = std::make_unique<BoardAnnouncer>(
      this, toPixels({0, 0, description_.clientWidth, bottom}).toRect(),
      [this] { return boardSummary(); });
  connect(board_.get(), &BoardAnnouncer::announced, this, &FormWindow::boardAnnounced);
}

QString FormWindow::boardSummary() const {
  if (!description_.describePictures) {
    return {};
  }
  return QString::fromStdString(description_.describePictures());
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
    // Centred; on a screen too small for it, the top left corner stays on the screen, where
    // the title bar can still be reached to move the window.
    const QRect available = screen->availableGeometry();
    const QPoint centred = available.center() - rect().center();
    move(std::max(centred.x(), available.left()), std::max(centred.y(), available.top()));
  }
  if (!focusable_.empty()) {
    focusable_.front()->setFocus(Qt::OtherFocusReason);
  }
  show();
  activateWindow();
  // A window of fixed size can still be maximised: the title bar that Qt draws itself under
  // Wayland offers it, and a Wayland compositor ends a program whose window then keeps its
  // size. So the window takes the size it is given, the board keeps its place at the top left
  // over the window's background, and restored, the window has its own size again.
  const QSize designed = size();
  connect(windowHandle(), &QWindow::windowStateChanged, this,
          [this, designed](Qt::WindowState state) {
            if (state == Qt::WindowMaximized || state == Qt::WindowFullScreen) {
              setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            } else {
              setFixedSize(designed);
            }
          });
}

QRectF FormWindow::toPixels(const RectF& twips) const {
  return forms::qt::toPixels(twips, description_.twipsPerPixel, devicePixelRatioF());
}

void FormWindow::pictureChanged(const PictureBox& box, const RectF&, bool) {
  painter_.changed(*this, box);
  if (board_) {
    board_->boardChanged();
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
    const QScopedValueRollback<bool> mirroring(mirroring_, true);
    found->second->setText(text);
  }
}

void FormWindow::paintEvent(QPaintEvent* event) {
  // Painting into the window's own image needs no painter, which costs more than a step's
  // pixels; a grab or any other target gets one.
  QPoint offset;
  QPaintDevice* device = redirected(&offset);
  if (device != nullptr && device->devType() == QInternal::Image && offset.isNull() &&
      sharedPainter() == nullptr &&
      painter_.paint(*static_cast<QImage*>(device), event->region(), devicePixelRatioF())) {
    return;
  }
  QPainter painter(this);
  painter_.paint(painter, event->region(), devicePixelRatioF());
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
