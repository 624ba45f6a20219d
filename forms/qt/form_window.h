#pragma once

#include <map>
#include <vector>

#include <QPixmap>
#include <QRectF>
#include <QWidget>

#include "forms/description.h"
#include "forms/qt/qt_runtime.h"

class QLineEdit;

namespace forms::qt {

// The real window of a form. Picture boxes are painted on the window itself, back to front;
// text boxes and buttons are child widgets named after their controls, so that they can be
// found with findChild. Every model change repaints only what it touched, and every user action
// reaches the program through the runtime's dispatch, which is where an end of the program stops.
class FormWindow final : public QWidget, public ControlObserver {
  Q_OBJECT

 public:
  FormWindow(QtRuntime& runtime, FormDescription description);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Raises the form's load event.
  void load();
  // Shows the window centred on its screen, with the keyboard focus on the control that comes
  // first in the tab order.
  void present();

  // Where a rectangle given in twips lands on screen, in logical pixels, at the current device
  // pixel ratio: each edge is rounded to a whole device pixel.
  QRectF toPixels(const RectF& twips) const;

  void pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) override;
  void textChanged(const TextBox& box) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Picture {
    const PictureBoxEntry* entry = nullptr;
    QPixmap pixmap;
    qreal ratio = 0;
  };

  void buildPictures();
  void buildTextBoxes();
  void buildButtons();
  void buildTabOrder();
  const QPixmap& pixmapFor(Picture& picture, qreal ratio);
  void paintPicture(QPainter& painter, Picture& picture, qreal ratio);
  void repaintTwips(const RectF& twips);
  void quit();

  QtRuntime& runtime_;
  FormDescription description_;
  // Back to front.
  std::vector<Picture> pictures_;
  std::map<const TextBox*, QLineEdit*> edits_;
  std::map<const QObject*, TextBox*> boxOfEdit_;
  std::vector<std::pair<int, QWidget*>> focusable_;
  CommandButton* quitButton_ = nullptr;
};

}  // namespace forms::qt
