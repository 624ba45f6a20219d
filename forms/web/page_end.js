// The end of the program: the window leaves the page, and the page offers to start it again.
mergeInto(LibraryManager.library, {
  cw_close__deps: ['$controls'],
  cw_close: function () {
    if (controls.root) controls.root.parentNode.remove();
    controls.root = null;
    // An empty main landmark would still be offered to a screen reader's landmark list.
    document.getElementById('stage').hidden = true;
  },

  cw_end: function () {
    var ended = document.getElementById('ended');
    ended.hidden = false;
    ended.querySelector('button').focus();
  },
});
