// Fitting the window to the browser's, and drawing it with as many pixels as it covers on the
// screen.
mergeInto(LibraryManager.library, {
  $fitting__deps: ['$controls', '$events'],
  $fitting: {
    ratio: 0,
    ratioQuery: null,
    // How much the window is scaled down to fit; the most canvas pixels the program draws for
    // each of the window's, and how many it drew last, once it has drawn.
    scale: 1,
    finest: 1,
    drawn: 0,
    settling: 0,
    // The screen's pixel ratio at the browser's normal zoom, taken to be the first one seen.
    normal: 0,
    // A window larger than the browser's viewport is scaled down whole, keeping its shape; the
    // browser maps clicks and taps through the scaling by itself. It is fitted to the viewport
    // as it is at the browser's normal zoom, so that zooming in enlarges it as it would any
    // page, and the page then scrolls. The unscaled window is kept out of the page's layout:
    // on a phone it would otherwise widen the viewport it is fitted to.
    fit: function () {
      var root = controls.root;
      if (!root) return;
      if (fitting.ratio !== devicePixelRatio) fitting.watchRatio();
      var ratio = devicePixelRatio || 1;
      fitting.normal = fitting.normal || ratio;
      var zoom = ratio / fitting.normal, view = document.documentElement;
      // Measured with the window out of the way, so that neither the window nor the scroll
      // bars it brought narrow the space it is fitted to.
      var frame = root.parentNode.style;
      frame.width = frame.height = '0';
      var scale = Math.min(1, view.clientWidth * zoom / controls.width,
                           view.clientHeight * zoom / controls.height);
      root.style.transform = scale < 1 ? 'scale(' + scale + ')' : '';
      frame.width = controls.width * scale + 'px';
      frame.height = controls.height * scale + 'px';
      fitting.scale = scale;
      fitting.settle();
    },
    // While the window's size on the screen changes, the canvas is drawn afresh only once it
    // has settled; until then the browser scales the old one.
    settle: function () {
      clearTimeout(fitting.settling);
      fitting.settling = setTimeout(function () {
        if (controls.root && fitting.drawn && fitting.drawn !== fitting.pixels()) {
          events.queue(events.ratioChanged, 0);
        }
      }, 150);
    },
    // The canvas has as many pixels as it covers on the screen: a window scaled down to fit a
    // phone needs several times fewer than the screen's pixel ratio asks for, and takes that much
    // less to draw and to show. Pinched larger, it gets more, up to the screen's ratio.
    pixels: function () {
      var pinch = window.visualViewport && visualViewport.scale > 1 ? visualViewport.scale : 1;
      var pixels = (devicePixelRatio || 1) * Math.min(1, fitting.scale * pinch);
      return pixels > 0 && pixels < Infinity ? Math.min(pixels, fitting.finest) : 1;
    },
    // Touch targets smaller than a fingertip on the screen, this many CSS pixels, reach that far
    // around them, without changing how they look.
    fingertip: 44,
    touched: false,
    // A tap beside the controls goes to the nearest one that reaches it.
    reach: function (event) {
      if (!fitting.touched || event.target.closest('input, button')) return;
      var nearest = null, distance = Infinity;
      controls.root.querySelectorAll('input, button').forEach(function (control) {
        var r = control.getBoundingClientRect();
        var dx = Math.max(r.left - event.clientX, event.clientX - r.right, 0);
        var dy = Math.max(r.top - event.clientY, event.clientY - r.bottom, 0);
        var d = Math.hypot(dx, dy);
        if (dx <= Math.max(0, (fitting.fingertip - r.width) / 2) &&
            dy <= Math.max(0, (fitting.fingertip - r.height) / 2) && d < distance) {
          nearest = control;
          distance = d;
        }
      });
      if (nearest) {
        nearest.focus();
        nearest.click();
      }
    },
    // The device pixel ratio changes with the browser's zoom and from one screen to another;
    // the program then draws its pictures afresh. The query names the ratio it watches, so it is
    // asked anew at every change, and only the newest is listened to: a resize may notice the
    // change before the old query does.
    watchRatio: function () {
      var changed = fitting.ratio && fitting.ratio !== devicePixelRatio;
      fitting.ratio = devicePixelRatio;
      if (fitting.ratioQuery) fitting.ratioQuery.removeEventListener('change', fitting.watchRatio);
      fitting.ratioQuery = matchMedia('(resolution: ' + devicePixelRatio + 'dppx)');
      fitting.ratioQuery.addEventListener('change', fitting.watchRatio, {once: true});
      // The scale to fit follows the browser's zoom.
      if (changed) fitting.fit();
    },
  },
  $fitting__postset: 'addEventListener("resize", fitting.fit);' +
                     'if (window.visualViewport) visualViewport.addEventListener(' +
                     '"resize", function () { fitting.settle(); });',

  cw_ratio__deps: ['$fitting'],
  cw_ratio: function (finest) {
    fitting.finest = finest;
    return fitting.drawn = fitting.pixels();
  },
  cw_screen_ratio: function () {
    return devicePixelRatio || 1;
  },
});
