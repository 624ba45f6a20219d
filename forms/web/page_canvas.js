// The canvas the picture boxes are drawn on, the pictures of the buttons' words, and the page's
// icon.
mergeInto(LibraryManager.library, {
  $canvas__deps: ['$controls'],
  $canvas: {
    element: null,
    context: null,
    frame: null,
    // RGBA pixels in the program's memory, in place. Growing the memory replaces its buffer, and
    // a view of the old one is empty.
    pixels: function (pixels, width, height) {
      return new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4),
                           width, height);
    },
    // A canvas holding the program's RGBA pixels.
    bitmap: function (pixels, width, height) {
      var bitmap = document.createElement('canvas');
      bitmap.width = width;
      bitmap.height = height;
      bitmap.getContext('2d').putImageData(canvas.pixels(pixels, width, height), 0, 0);
      return bitmap;
    },
    drawWord: function (button) {
      var ratio = devicePixelRatio || 1;
      var picture = button.firstChild;
      picture.width = Math.round(button.pictureWidth * ratio);
      picture.height = Math.round(button.pictureHeight * ratio);
      var c = picture.getContext('2d');
      c.scale(ratio, ratio);
      c.fillStyle = button.face;
      c.fillRect(0, 0, button.pictureWidth, button.pictureHeight);
      c.font = button.wordFont;
      c.fillStyle = button.wordColor;
      c.textAlign = 'center';
      var metrics = c.measureText(button.word);
      var ascent = metrics.fontBoundingBoxAscent, descent = metrics.fontBoundingBoxDescent;
      c.fillText(button.word, button.pictureWidth / 2,
                 (button.pictureHeight - ascent - descent) / 2 + ascent);
    },
  },

  cw_canvas__deps: ['$canvas'],
  cw_canvas: function (width, height) {
    canvas.element.width = width;
    canvas.element.height = height;
    // An opaque canvas that the browser may show without copying it whole for every frame: a
    // run's frames then cost the page about half the processor time.
    canvas.context = canvas.element.getContext('2d', {alpha: false, desynchronized: true});
    canvas.frame = null;
    controls.buttons.forEach(canvas.drawWord);
  },

  cw_icon__deps: ['$canvas'],
  cw_icon: function (pixels, width, height) {
    // Encoding the icon takes longer than drawing the window: it waits until the browser is
    // idle.
    var bitmap = canvas.bitmap(pixels, width, height);
    (window.requestIdleCallback || setTimeout)(function () {
      var link = document.createElement('link');
      link.rel = 'icon';
      link.href = bitmap.toDataURL();
      document.head.append(link);
    });
  },

  cw_put__deps: ['$canvas'],
  cw_put: function (pixels, width, height, x, y, partWidth, partHeight) {
    var frame = canvas.frame;
    if (!frame || frame.data.buffer !== HEAPU8.buffer || frame.data.byteOffset !== pixels ||
        frame.width !== width || frame.height !== height) {
      frame = canvas.frame = canvas.pixels(pixels, width, height);
    }
    canvas.context.putImageData(frame, 0, 0, x, y, partWidth, partHeight);
  },
});
