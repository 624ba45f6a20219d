#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QRectF>
#include <QWidget>

#include "forms/description.h"
#include "forms/qt/picture_painter.h"
#include "forms/qt/qt_runtime.h"

class QLineEdit;

namespace forms::qt {

class BoardAnnouncer;

// The real window of a form. Picture boxes are painted on the window itself, back to front;
// text boxes and buttons are child widgets named after their controls, so that they can be
// found with findChild. Every model change repaints only what it touched, and every user action
// reaches the program through the runtime's dispatch, which is where an end of the program stops.
// For assistive technology every control has a name and a description, and the area of the
// picture boxes says what they show.
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

  // What the picture boxes show, in the form's own words.
  QString boardSummary() const;

  void pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) override;
  void textChanged(const TextBox& box) override;

 signals:
  // Raised with every announcement of a changed board description.
  void boardAnnounced(const QString& summary);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setIcon();
  // Each returns the widgets built, one for each entry of its list; null for an entry left out.
  std::vector<QWidget*> buildTextBoxes();
  std::vector<QWidget*> buildButtons();
  void buildTabOrder(const std::vector<QWidget*>& textBoxes, const std::vector<QWidget*>& buttons);
  void buildBoard();
  void quit();

  QtRuntime& runtime_;
  FormDescription description_;
  PicturePainter painter_{description_};
  std::map<const TextBox*, QLineEdit*> edits_;
  std::map<const QObject*, TextBox*> boxOfEdit_;
  // In the tab order.
  std::vector<QWidget*> focusable_;
  std::unique_ptr<BoardAnnouncer> board_;
  // Set while a box shows a text the program wrote.
  bool mirroring_ = false;
};

}  // namespace forms::qt
