// The queue of input for the program, oldest first. The program takes each event at its next
// pump, in the order the page received them. An edit of a box that comes while earlier input
// is still queued waits its turn too: the box's own edit is stopped, and the edit it meant is
// made when the program takes it, on the box as the input before it left it. A click on a box
// and a key at once then give what a click, a pause and the key give.
mergeInto(LibraryManager.library, {
  $events__deps: ['$page'],
  $events: {
    list: [],
    // The kinds of queued events, as forms/web/page.h numbers them.
    edited: 1,
    boxClicked: 2,
    buttonClicked: 3,
    ratioChanged: 4,
    queue: function (kind, index, text) {
      // One drawing afresh covers any number of changes of the screen.
      if (kind === events.ratioChanged && events.list.some(function (e) {
        return e.kind === kind;
      })) {
        return;
      }
      events.list.push({kind: kind, index: index, text: text});
      page.wake();
    },
    // Whether an edit the box has already made is still queued.
    editPending: function (index) {
      return events.list.some(function (e) {
        return e.kind === events.edited && e.index === index && e.text !== undefined;
      });
    },
    // Holds an edit of `box` back while input before it is queued; says whether it did.
    hold: function (index, box, event) {
      if (!events.list.length || !event.cancelable) return false;
      var edit = events.intended(event);
      if (!edit) return false;
      event.preventDefault();
      events.list.push({kind: events.edited, index: index, box: box, edit: edit});
      page.wake();
      return true;
    },
    // What an edit means to do, in terms of the text and selection it meets; null for those
    // the box is left to make itself.
    intended: function (event) {
      var type = event.inputType;
      if (/^insert(Text|ReplacementText|FromPaste|FromDrop|FromYank)$/.test(type)) {
        var data = event.data;
        if (data == null && event.dataTransfer) data = event.dataTransfer.getData('text/plain');
        return {insert: data || ''};
      }
      if (/^delete/.test(type) && !/History/.test(type)) return {remove: type};
      return null;
    },
    // Makes a held edit on the box as it is now; returns the box's new text.
    apply: function (box, edit) {
      var value = box.value, start = box.selectionStart, end = box.selectionEnd;
      var text = '';
      if (edit.insert !== undefined) {
        // A one-line box takes a line break as a space, as the box itself does, and no more
        // than it can hold.
        text = edit.insert.replace(/\r\n|[\r\n]/g, ' ');
        text = text.slice(0, Math.max(0, box.maxLength - value.length + (end - start)));
      } else if (start === end) {
        // A deletion with nothing selected takes a character, a word or the rest of the line.
        var before = value.slice(0, start), after = value.slice(end);
        var type = edit.remove;
        if (type === 'deleteContentBackward') {
          start -= /[\uDC00-\uDFFF]$/.test(before) ? 2 : 1;
        } else if (type === 'deleteContentForward') {
          end += /^[\uD800-\uDBFF]/.test(after) ? 2 : 1;
        } else if (type === 'deleteWordBackward') {
          start -= /(\w+|[^\w\s]+)?\s*$/.exec(before)[0].length;
        } else if (type === 'deleteWordForward') {
          end += /^\s*(\w+|[^\w\s]+)?/.exec(after)[0].length;
        } else if (/Backward$/.test(type)) {
          start = 0;
        } else if (/Forward$/.test(type)) {
          end = value.length;
        }
        start = Math.max(0, start);
        end = Math.min(value.length, end);
      }
      box.setRangeText(text, start, end, 'end');
      return box.value;
    },
  },

  cw_next_event__deps: ['$events', 'malloc'],
  cw_next_event: function (out) {
    var event = events.list.shift();
    if (!event) return 0;
    if (event.edit) event.text = events.apply(event.box, event.edit);
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
});
