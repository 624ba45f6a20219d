// The queue of input for the program, oldest first. The program takes each event at its next
// pump, in the order the page received them.
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
      events.list.push({kind: kind, index: index, text: text});
      page.wake();
    },
    // Whether an edit of the box is still queued.
    editPending: function (index) {
      return events.list.some(function (e) {
        return e.kind === events.edited && e.index === index;
      });
    },
  },

  cw_next_event__deps: ['$events', 'malloc'],
  cw_next_event: function (out) {
    var event = events.list.shift();
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
});
