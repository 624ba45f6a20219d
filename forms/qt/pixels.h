#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>

#include "forms/description.h"

// Conversions from the form's units and colours to Qt's.
namespace forms::qt {

QColor toColor(Rgb rgb);

// An empty image when the picture is empty or short of pixels.
QImage toImage(const Image& image);

// Where a rectangle given in twips lands on screen, in logical pixels, at device pixel ratio
// `ratio`: each edge is rounded to a whole device pixel.
QRectF toPixels(const RectF& twips, double twipsPerPixel, qreal ratio);

}  // namespace forms::qt
