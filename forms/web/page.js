// The page side of the browser window; forms/web/page.h declares what the program calls here.
// It builds the elements the program asks for and copies the pixels the program composes to the
// canvas. Input handlers never call into the program: they queue the event and wake a sleeping
// pump, which takes the events from the queue itself.
mergeInto(LibraryManager.library, {
  $page: {
    root: null,
    canvas: null,
    context: null,
    back: '',
    width: 0,
    height: 0,
    frame: null,
    boxes: [],
    buttons: [],
    events: [],
    resume: null,
    timer: 0,
    nested: 0,
    posted: false,
    channel: null,
    ratio: 0,
    ratioQuery: null,
    decoder: null,
    // The kinds of queued events, as forms/web/page.h numbers them.
    edited: 1,
    boxClicked: 2,
    buttonClicked: 3,
    ratioChanged: 4,

    color: function (rgb) {
      return '#' + (rgb >>> 0).toString(16).padStart(6, '0');
    },
    // The text face of the design's family ships with the page, so the window looks the same
    // whatever fonts the machine has.
    font: function (family, pixels, bold) {
      return (bold ? 'bold ' : '') + pixels + 'px "Liberation Serif", "' + family + '", serif';
    },
    queue: function (kind, index, text) {
      page.events.push({kind: kind, index: index, text: text});
      page.wake();
    },
    wake: function () {
      if (page.resume && !page.posted) {
        page.posted = true;
        clearTimeout(page.timer);
        page.channel.port2.postMessage(null);
      }
    },
    resumeProgram: function () {
      page.posted = false;
      var resume = page.resume;
      page.resume = null;
      if (resume) resume();
    },
    // A message task starts the nesting of timers afresh.
    messaged: function () {
      page.nested = 0;
      page.resumeProgram();
    },
    // A wait's timer resumes the program in its own task, which spares a message hop per pause.
    // Timers set from there nest one deeper each time, and the browser stretches a short wait
    // nested five deep to 4 ms; so every fourth resume goes through a message instead, and no
    // timer the program sets is nested deeper than four.
    fired: function () {
      if (page.nested < 3) {
        ++page.nested;
        page.resumeProgram();
      } else {
        page.wake();
      }
    },
    // A window larger than the browser's is scaled down whole, keeping its shape; the browser
    // maps clicks and taps through the scaling by itself.
    fit: function () {
      if (!page.root) return;
      if (page.ratio !== devicePixelRatio) page.watchRatio();
      var scale = Math.min(1, innerWidth / page.width, innerHeight / page.height);
      page.root.style.transform = scale < 1 ? 'scale(' + scale + ')' : '';
      page.root.parentNode.style.width = page.width * scale + 'px';
      page.root.parentNode.style.height = page.height * scale + 'px';
    },
    // The device pixel ratio changes with the browser's zoom and from one screen to another;
    // the program then draws its pictures afresh. The query names the ratio it watches, so it is
    // asked anew at every change, and only the newest is listened to: a resize may notice the
    // change before the old query does.
    watchRatio: function () {
      if (page.ratio && page.ratio !== devicePixelRatio) page.queue(page.ratioChanged, 0);
      page.ratio = devicePixelRatio;
      if (page.ratioQuery) page.ratioQuery.removeEventListener('change', page.watchRatio);
      page.ratioQuery = matchMedia('(resolution: ' + devicePixelRatio + 'dppx)');
      page.ratioQuery.addEventListener('change', page.watchRatio, {once: true});
    },
    // RGBA pixels in the program's memory, in place. Growing the memory replaces its buffer, and
    // a view of the old one is empty.
    pixels: function (pixels, width, height) {
      return new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4),
                           width, height);
    },
    // UTF-8 text of a known length in the program's memory; unlike a C string, it may hold NUL
    // characters, which a box holds like any other.
    text: function (pointer, length) {
      page.decoder = page.decoder || new TextDecoder();
      return page.decoder.decode(HEAPU8.subarray(pointer, pointer + length));
    },
    // A canvas holding the program's RGBA pixels.
    bitmap: function (pixels, width, height) {
      var canvas = document.createElement('canvas');
      canvas.width = width;
      canvas.height = height;
      canvas.getContext('2d').putImageData(page.pixels(pixels, width, height), 0, 0);
      return canvas;
    },
    drawWord: function (button) {
      var ratio = devicePixelRatio || 1;
      var canvas = button.firstChild;
      canvas.width = Math.round(button.pictureWidth * ratio);
      canvas.height = Math.round(button.pictureHeight * ratio);
      var c = canvas.getContext('2d');
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
  $page__postset: 'page.channel = new MessageChannel();' +
                  'page.channel.port1.onmessage = page.messaged;' +
                  'addEventListener("resize", page.fit);',

  cw_window__deps: ['$page'],
  cw_window: function (caption, width, height, back) {
    document.title = UTF8ToString(caption);
    page.width = width;
    page.height = height;
    page.back = page.color(back);
    var frame = document.createElement('div');
    frame.id = 'frame';
    page.root = document.createElement('div');
    page.root.id = 'window';
    page.root.style.width = width + 'px';
    page.root.style.height = height + 'px';
    page.root.style.background = page.back;
    page.canvas = document.createElement('canvas');
    page.canvas.style.width = width + 'px';
    page.canvas.style.height = height + 'px';
    page.canvas.setAttribute('role', 'img');
    page.canvas.setAttribute('aria-label', 'Board');
    page.canvas.setAttribute('aria-describedby', 'board-now');
    var live = document.createElement('div');
    live.id = 'board-now';
    live.className = 'unseen';
    live.setAttribute('aria-live', 'polite');
    page.root.append(page.canvas, live);
    // As on the desktop, only the boxes and buttons take the focus: a click anywhere else leaves
    // it where it was, so typing and tabbing go on from there.
    page.root.addEventListener('mousedown', function (event) {
      if (!event.target.closest('input, button')) event.preventDefault();
    });
    frame.append(page.root);
    document.getElementById('stage').append(frame);
    page.fit();
    page.watchRatio();
  },

  cw_canvas__deps: ['$page'],
  cw_canvas: function (width, height) {
    page.canvas.width = width;
    page.canvas.height = height;
    // An opaque canvas that the browser may show without copying it whole for every frame: a
    // run's frames then cost the page about half the processor time.
    page.context = page.canvas.getContext('2d', {alpha: false, desynchronized: true});
    page.frame = null;
    page.buttons.forEach(page.drawWord);
  },

  cw_ratio: function () {
    return devicePixelRatio || 1;
  },

  cw_icon__deps: ['$page'],
  cw_icon: function (pixels, width, height) {
    // Encoding the icon takes longer than drawing the window: it waits until the browser is
    // idle.
    var canvas = page.bitmap(pixels, width, height);
    (window.requestIdleCallback || setTimeout)(function () {
      var link = document.createElement('link');
      link.rel = 'icon';
      link.href = canvas.toDataURL();
      document.head.append(link);
    });
  },

  cw_put__deps: ['$page'],
  cw_put: function (pixels, width, height, x, y, partWidth, partHeight) {
    var frame = page.frame;
    if (!frame || frame.data.buffer !== HEAPU8.buffer || frame.data.byteOffset !== pixels ||
        frame.width !== width || frame.height !== height) {
      frame = page.frame = page.pixels(pixels, width, height);
    }
    page.context.putImageData(frame, 0, 0, x, y, partWidth, partHeight);
  },

  cw_text_box__deps: ['$page'],
  cw_text_box: function (index, text, name, description, family, pixels, bold, fore, back) {
    var input = document.createElement('input');
    input.type = 'text';
    input.spellcheck = false;
    input.autocomplete = 'off';
    input.value = UTF8ToString(text);
    // As long a text as a desktop entry box holds: a longer paste is cut there, as it is on the
    // desktop, and no edit of a text megabytes long stalls the page.
    input.maxLength = 32767;
    input.setAttribute('aria-label', UTF8ToString(name));
    input.setAttribute('aria-description', UTF8ToString(description));
    input.style.font = page.font(UTF8ToString(family), pixels, bold);
    input.style.color = page.color(fore);
    input.style.background = page.color(back);
    // Every edit is one Change; while an input method composes, only its result is an edit.
    input.addEventListener('input', function (event) {
      if (!event.isComposing) page.queue(page.edited, index, input.value);
    });
    input.addEventListener('compositionend', function () {
      page.queue(page.edited, index, input.value);
    });
    input.addEventListener('click', function () {
      page.queue(page.boxClicked, index);
    });
    page.boxes[index] = input;
    page.root.append(input);
  },

  cw_button__deps: ['$page'],
  cw_button: function (index, word, description, family, pixels, bold, face, wordColor,
                       pictureWidth, pictureHeight) {
    var button = document.createElement('button');
    button.type = 'button';
    button.word = UTF8ToString(word);
    button.setAttribute('aria-label', button.word);
    button.setAttribute('aria-description', UTF8ToString(description));
    button.style.background = button.face = page.color(face);
    button.wordColor = page.color(wordColor);
    button.wordFont = page.font(UTF8ToString(family), pixels, bold);
    button.pictureWidth = pictureWidth;
    button.pictureHeight = pictureHeight;
    var picture = document.createElement('canvas');
    picture.setAttribute('aria-hidden', 'true');
    picture.style.width = pictureWidth + 'px';
    picture.style.height = pictureHeight + 'px';
    button.append(picture);
    button.addEventListener('click', function () {
      page.queue(page.buttonClicked, index);
    });
    // Holding Enter down clicks once, as on the desktop.
    button.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' && event.repeat) event.preventDefault();
    });
    page.buttons[index] = button;
    page.root.append(button);
  },

  cw_place__deps: ['$page'],
  cw_place: function (isButton, index, left, top, width, height) {
    var element = (isButton ? page.buttons : page.boxes)[index];
    element.style.left = left + 'px';
    element.style.top = top + 'px';
    element.style.width = width + 'px';
    element.style.height = height + 'px';
    if (isButton) {
      var picture = element.firstChild.style;
      picture.left = Math.floor((width - element.pictureWidth) / 2) + 'px';
      picture.top = Math.floor((height - element.pictureHeight) / 2) + 'px';
    }
  },

  cw_set_text__deps: ['$page'],
  cw_set_text: function (index, text, length) {
    // An edit still queued is newer than what the program wrote: the box keeps the user's
    // text, which reaches the program with that edit.
    var value = page.text(text, length);
    var pending = page.events.some(function (e) {
      return e.kind === page.edited && e.index === index;
    });
    if (!pending && page.boxes[index].value !== value) page.boxes[index].value = value;
  },

  cw_announce__deps: ['$page'],
  cw_announce: function (text) {
    document.getElementById('board-now').textContent = UTF8ToString(text);
  },

  cw_show__deps: ['$page'],
  cw_show: function () {
    var first = page.root.querySelector('input, button');
    if (first) first.focus();
  },

  cw_close__deps: ['$page'],
  cw_close: function () {
    if (page.root) page.root.parentNode.remove();
    page.root = null;
    // An empty main landmark would still be offered to a screen reader's landmark list.
    document.getElementById('stage').hidden = true;
  },

  cw_end: function () {
    var ended = document.getElementById('ended');
    ended.hidden = false;
    ended.querySelector('button').focus();
  },

  cw_next_event__deps: ['$page', 'malloc'],
  cw_next_event: function (out) {
    var event = page.events.shift();
    if (!event) return 0;
    HEAP32[out >> 2] = event.index;
    var text = 0, length = 0;
    if (event.text !== undefined) {
      length = lengthBytesUTF8(event.text);
      text = _malloc(length + 1);
      if (text) stringToUTF8(event.text, text, length + 1);
    }
    HEAP32[(out >> 2) + 1] = text;
    HEAP32[(out >> 2) + 2] = text ? length : 0;
    return event.kind;
  },

  cw_wait__deps: ['$page'],
  cw_wait: function (milliseconds) {
    return Asyncify.handleSleep(function (resume) {
      page.resume = resume;
      // Timers count whole milliseconds and never fire early. A wait a hair over a whole number,
      // as a pause of 0.05 s is in single precision, is not worth a millisecond more: the pump
      // looks at the clock again when it wakes.
      var delay = Math.ceil(milliseconds - 0.01);
      if (page.events.length || !(delay > 0)) {
        page.wake();
      } else {
        page.timer = setTimeout(page.fired, delay);
      }
    });
  },
});
