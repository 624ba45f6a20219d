// The page's own checks and benchmarks read where the picture boxes are through the program's
// corvane_layout(), as JSON written here.
mergeInto(LibraryManager.library, {
  $probe: {
    pictures: [],
    text: 0,
  },

  cw_probe_picture__deps: ['$probe'],
  cw_probe_picture: function (name, x, y, width, height, visible, probeX, probeY, color) {
    probe.pictures.push({name: UTF8ToString(name), x: x, y: y, width: width, height: height,
                         visible: !!visible, probe: [probeX, probeY], color: color >>> 0,
                         lines: []});
  },

  cw_probe_line__deps: ['$probe'],
  cw_probe_line: function (x, y, color, beforeX, beforeY, afterX, afterY) {
    probe.pictures[probe.pictures.length - 1].lines.push(
        [x, y, color >>> 0, beforeX, beforeY, afterX, afterY]);
  },

  cw_probe_end__deps: ['$probe', 'malloc', 'free'],
  cw_probe_end: function (shown, ratio, paints) {
    var json = JSON.stringify(shown ? {ratio: ratio, paints: paints, pictures: probe.pictures}
                                    : null);
    probe.pictures = [];
    if (probe.text) _free(probe.text);
    var length = lengthBytesUTF8(json) + 1;
    probe.text = _malloc(length);
    if (probe.text) stringToUTF8(json, probe.text, length);
    return probe.text;
  },
});
