// The page side of the program's pump: a pause suspends the program and hands control to the
// browser until its time is up or input is queued. Input handlers never call into the program:
// they queue the event and wake a sleeping pump, which takes the events from the queue itself.
mergeInto(LibraryManager.library, {
  $page: {
    resume: null,
    timer: 0,
    nested: 0,
    posted: false,
    channel: null,
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
  },
  $page__postset: 'page.channel = new MessageChannel();' +
                  'page.channel.port1.onmessage = page.messaged;',

  cw_wait__deps: ['$page', '$events'],
  cw_wait: function (milliseconds) {
    return Asyncify.handleSleep(function (resume) {
      page.resume = resume;
      // Timers count whole milliseconds and never fire early. A wait a hair over a whole number,
      // as a pause of 0.05 s is in single precision, is not worth a millisecond more: the pump
      // looks at the clock again when it wakes.
      var delay = Math.ceil(milliseconds - 0.01);
      if (events.list.length || !(delay > 0)) {
        page.wake();
      } else {
        page.timer = setTimeout(page.fired, delay);
      }
    });
  },
});
