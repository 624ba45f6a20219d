// The canvas the picture boxes are drawn on, the pictures of the buttons' words, and the page's
// icon.
mergeInto(LibraryManager.library, {
  $canvas__deps: ['$controls', '$fitting'],
  $canvas: {
    element: null,
    context: null,
    back: '',
    // Each picture box's picture, back to front.
    pictures: [],
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
      var ratio = fitting.drawn;
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
    // An opaque canvas kept in main memory: each step draws a few small parts of pictures, which
    // a canvas on the graphics processor turns into a round trip to it. In WebKit that made a
    // seven-disk run thirty times slower, and brought the page down now and then. Low latency
    // too, where the browser can show such a canvas as it is drawn: otherwise it copies the
    // whole canvas for every frame, which doubles what a paced run costs.
    canvas.context = canvas.context || canvas.element.getContext(
        '2d', {alpha: false, desynchronized: true, willReadFrequently: true});
    canvas.context.imageSmoothingEnabled = false;
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

  cw_picture__deps: ['$canvas'],
  cw_picture: function (index, pixels, width, height) {
    canvas.pictures[index] = canvas.bitmap(pixels, width, height);
  },

  cw_compose__deps: ['$canvas'],
  cw_compose: function (left, top, width, height, parts, count) {
    var c = canvas.context, pictures = canvas.pictures;
    c.fillStyle = canvas.back;
    c.fillRect(left, top, width, height);
    for (var p = parts >> 2, end = p + count * 7; p < end; p += 7) {
      var w = HEAP32[p + 5], h = HEAP32[p + 6];
      c.drawImage(pictures[HEAP32[p]], HEAP32[p + 1], HEAP32[p + 2], w, h, HEAP32[p + 3],
                  HEAP32[p + 4], w, h);
    }
  },
});
