// The window on the page: its frame, its text boxes and buttons as the page's own elements, and
// the live region that tells the board in words.
mergeInto(LibraryManager.library, {
  $controls: {
    root: null,
    live: null,
    width: 0,
    height: 0,
    boxes: [],
    buttons: [],
    decoder: null,
    color: function (rgb) {
      return '#' + (rgb >>> 0).toString(16).padStart(6, '0');
    },
    // The text face of the design's family ships with the page, so the window looks the same
    // whatever fonts the machine has.
    font: function (family, pixels, bold) {
      return (bold ? 'bold ' : '') + pixels + 'px "Liberation Serif", "' + family + '", serif';
    },
    // UTF-8 text of a known length in the program's memory; unlike a C string, it may hold NUL
    // characters, which a box holds like any other.
    text: function (pointer, length) {
      controls.decoder = controls.decoder || new TextDecoder();
      return controls.decoder.decode(HEAPU8.subarray(pointer, pointer + length));
    },
  },

  cw_window__deps: ['$controls', '$canvas', '$fitting'],
  cw_window: function (caption, width, height, back) {
    document.title = UTF8ToString(caption);
    controls.width = width;
    controls.height = height;
    var frame = document.createElement('div');
    frame.id = 'frame';
    var root = controls.root = document.createElement('div');
    root.id = 'window';
    root.style.width = width + 'px';
    root.style.height = height + 'px';
    root.style.background = canvas.back = controls.color(back);
    var board = canvas.element = document.createElement('canvas');
    canvas.context = null;
    board.style.width = width + 'px';
    board.style.height = height + 'px';
    board.setAttribute('role', 'img');
    board.setAttribute('aria-label', 'Board');
    board.setAttribute('aria-describedby', 'board-now');
    var live = controls.live = document.createElement('div');
    live.id = 'board-now';
    live.className = 'unseen';
    live.setAttribute('aria-live', 'polite');
    root.append(board, live);
    // As on the desktop, only the boxes and buttons take the focus: a click anywhere else leaves
    // it where it was, so typing and tabbing go on from there.
    root.addEventListener('mousedown', function (event) {
      if (!event.target.closest('input, button')) event.preventDefault();
    });
    root.addEventListener('pointerdown', function (event) {
      fitting.touched = event.pointerType === 'touch';
    });
    root.addEventListener('click', fitting.reach);
    frame.append(root);
    // The window joins the page once it is built and painted, in one go.
    fitting.fit();
    fitting.watchRatio();
  },

  // The colours the page's style gives the edges, as properties of the window.
  cw_edges__deps: ['$controls'],
  cw_edges: function (colours, count, focusInset) {
    var names = ['raised-outer-light', 'raised-outer-dark', 'raised-inner-light',
                 'raised-inner-dark', 'sunken-outer-dark', 'sunken-outer-light',
                 'sunken-inner-dark', 'sunken-inner-light', 'focus-mark'];
    for (var i = 0; i < Math.min(count, names.length); ++i) {
      controls.root.style.setProperty('--' + names[i], controls.color(HEAPU32[(colours >> 2) + i]));
    }
    // The mark is placed inside the button's one-pixel border.
    controls.root.style.setProperty('--focus-inset', focusInset - 1 + 'px');
  },

  cw_text_box__deps: ['$controls', '$events', '$page'],
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
    input.style.font = controls.font(UTF8ToString(family), pixels, bold);
    input.style.color = controls.color(fore);
    input.style.background = controls.color(back);
    // Every edit is one Change; while an input method composes, only its result is an edit.
    input.addEventListener('beforeinput', function (event) {
      events.hold(index, input, event);
    });
    input.addEventListener('input', function (event) {
      if (!event.isComposing) events.queue(events.edited, index, input.value);
    });
    // A composition cannot be stopped; one begun while earlier input is queued is taken back
    // when it ends, and its result waits its turn as any other edit.
    input.addEventListener('compositionstart', function () {
      if (events.list.length) {
        input.heldFrom = {value: input.value, start: input.selectionStart,
                          end: input.selectionEnd};
      }
    });
    input.addEventListener('compositionend', function (event) {
      var from = input.heldFrom;
      if (!from) return events.queue(events.edited, index, input.value);
      input.heldFrom = null;
      if (input.written !== undefined) {
        input.value = input.written;
      } else {
        input.value = from.value;
        input.setSelectionRange(from.start, from.end);
      }
      input.written = undefined;
      events.list.push({kind: events.edited, index: index, box: input,
                        edit: {insert: event.data || ''}});
      page.wake();
    });
    input.addEventListener('click', function () {
      events.queue(events.boxClicked, index);
    });
    controls.boxes[index] = input;
    controls.root.append(input);
  },

  cw_button__deps: ['$controls', '$events'],
  cw_button: function (index, word, description, family, pixels, bold, face, wordColor,
                       pictureWidth, pictureHeight) {
    var button = document.createElement('button');
    button.type = 'button';
    button.word = UTF8ToString(word);
    button.setAttribute('aria-label', button.word);
    button.setAttribute('aria-description', UTF8ToString(description));
    button.style.background = button.face = controls.color(face);
    button.wordColor = controls.color(wordColor);
    button.wordFont = controls.font(UTF8ToString(family), pixels, bold);
    button.pictureWidth = pictureWidth;
    button.pictureHeight = pictureHeight;
    var picture = document.createElement('canvas');
    picture.setAttribute('aria-hidden', 'true');
    picture.style.width = pictureWidth + 'px';
    picture.style.height = pictureHeight + 'px';
    button.append(picture);
    button.addEventListener('click', function () {
      events.queue(events.buttonClicked, index);
    });
    // Holding Enter down clicks once, as on the desktop.
    button.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' && event.repeat) event.preventDefault();
    });
    controls.buttons[index] = button;
    controls.root.append(button);
  },

  cw_place__deps: ['$controls'],
  cw_place: function (isButton, index, left, top, width, height) {
    var element = (isButton ? controls.buttons : controls.boxes)[index];
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

  cw_set_text__deps: ['$controls', '$events'],
  cw_set_text: function (index, text, length) {
    // An edit still queued is newer than what the program wrote: the box keeps the user's
    // text, which reaches the program with that edit.
    var value = controls.text(text, length);
    var box = controls.boxes[index];
    // Writing a box in the middle of a composition would end it: the text waits for its end.
    if (box.heldFrom) box.written = value;
    else if (!events.editPending(index) && box.value !== value) box.value = value;
  },

  cw_announce__deps: ['$controls'],
  cw_announce: function (text) {
    controls.live.textContent = UTF8ToString(text);
  },

  cw_show__deps: ['$controls'],
  cw_show: function () {
    if (!controls.root) return;
    document.getElementById('stage').append(controls.root.parentNode);
    // Focusing lays the whole page out there and then, and again for the focused box's looks:
    // it waits until the first frame has shown the window, in a task of its own after it,
    // rather than making that frame later.
    requestAnimationFrame(function () {
      setTimeout(function () {
        var first = controls.root && controls.root.querySelector('input, button');
        if (first && !controls.root.contains(document.activeElement)) first.focus();
        // Waiting for the browser to be idle, but not for the end of a run that keeps it busy.
        (window.requestIdleCallback || setTimeout)(function () {
          if (Module.shown) Module.shown();
        }, {timeout: 2000});
      });
    });
  },
});
