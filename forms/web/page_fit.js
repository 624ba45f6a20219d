// Fitting the window to the browser's, and following the screen's device pixel ratio.
mergeInto(LibraryManager.library, {
  $fitting__deps: ['$controls', '$events'],
  $fitting: {
    ratio: 0,
    ratioQuery: null,
    // A window larger than the browser's is scaled down whole, keeping its shape; the browser
    // maps clicks and taps through the scaling by itself.
    fit: function () {
      var root = controls.root;
      if (!root) return;
      if (fitting.ratio !== devicePixelRatio) fitting.watchRatio();
      var scale = Math.min(1, innerWidth / controls.width, innerHeight / controls.height);
      root.style.transform = scale < 1 ? 'scale(' + scale + ')' : '';
      root.parentNode.style.width = controls.width * scale + 'px';
      root.parentNode.style.height = controls.height * scale + 'px';
    },
    // The device pixel ratio changes with the browser's zoom and from one screen to another;
    // the program then draws its pictures afresh. The query names the ratio it watches, so it is
    // asked anew at every change, and only the newest is listened to: a resize may notice the
    // change before the old query does.
    watchRatio: function () {
      if (fitting.ratio && fitting.ratio !== devicePixelRatio) events.queue(events.ratioChanged, 0);
      fitting.ratio = devicePixelRatio;
      if (fitting.ratioQuery) fitting.ratioQuery.removeEventListener('change', fitting.watchRatio);
      fitting.ratioQuery = matchMedia('(resolution: ' + devicePixelRatio + 'dppx)');
      fitting.ratioQuery.addEventListener('change', fitting.watchRatio, {once: true});
    },
  },
  $fitting__postset: 'addEventListener("resize", fitting.fit);',

  cw_ratio: function () {
    return devicePixelRatio || 1;
  },
});
