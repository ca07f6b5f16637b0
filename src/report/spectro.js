(function () {
  "use strict";
  // In CSS pixels: the plot's margins (frequency labels left, time labels
  // below), the canvas height, the smallest box that zooms, how near a
  // pointer names a mark. The wheel zooms by e^(rate x delta).
  var SIZE = { left: 58, right: 10, top: 8, bottom: 28, height: 360, box: 4, hit: 8 };
  var WHEEL_RATE = 0.0015;
  var MARK = "#34d1bf";
  // The colour scale from the lowest level to 0 dB; the legend's gradient has the same stops.
  var STOPS = [[0, 0, 4], [59, 15, 112], [140, 41, 129], [222, 73, 104], [254, 159, 109], [252, 253, 191]];

  var PALETTE = (function () {
    var table = new Uint8Array(256 * 3);
    for (var i = 0; i < 256; i++) {
      var at = (i / 255) * (STOPS.length - 1);
      var k = Math.min(Math.floor(at), STOPS.length - 2);
      var f = at - k;
      for (var c = 0; c < 3; c++) table[i * 3 + c] = Math.round(STOPS[k][c] + (STOPS[k + 1][c] - STOPS[k][c]) * f);
    }
    return table;
  })();

  function clamp(v, lo, hi) {
    return v < lo ? lo : v > hi ? hi : v;
  }

  function decode(text) {
    var raw = atob(text);
    var bytes = new Uint8Array(raw.length);
    for (var i = 0; i < raw.length; i++) bytes[i] = raw.charCodeAt(i);
    return bytes;
  }

  // A CSS colour as [r, g, b], through the canvas that parses it.
  function rgb(ctx, colour) {
    ctx.fillStyle = "#000";
    ctx.fillStyle = colour;
    var m = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})/i.exec(ctx.fillStyle);
    if (m) return [parseInt(m[1], 16), parseInt(m[2], 16), parseInt(m[3], 16)];
    var n = ctx.fillStyle.match(/\d+/g) || [0, 0, 0];
    return [+n[0], +n[1], +n[2]];
  }

  // Ticks at 1, 2, 5 times a power of ten within lo..hi, about `target` of them.
  function timeTicks(lo, hi, target) {
    var raw = (hi - lo) / target;
    var power = Math.pow(10, Math.floor(Math.log10(raw)));
    var step = [1, 2, 5, 10].map(function (m) { return m * power; }).filter(function (s) { return s >= raw; })[0];
    var ticks = [];
    for (var t = Math.ceil(lo / step) * step; t <= hi + step * 1e-9; t += step) ticks.push(t);
    return { ticks: ticks, decimals: Math.max(0, -Math.floor(Math.log10(step) + 1e-9)) };
  }

  function freqTicks(lo, hi) {
    var ticks = [];
    for (var e = Math.floor(Math.log10(lo)); e <= Math.ceil(Math.log10(hi)); e++) {
      [1, 2, 5].forEach(function (m) {
        var f = m * Math.pow(10, e);
        if (f >= lo && f <= hi) ticks.push(f);
      });
    }
    if (ticks.length < 3) {
      var step = timeTicks(lo, hi, 4);
      return step.ticks;
    }
    return ticks;
  }

  function hz(f) {
    if (f >= 1000) return +(f / 1000).toFixed(f % 1000 === 0 ? 0 : 2) + "k";
    return String(+f.toFixed(f < 10 ? 2 : f < 100 ? 1 : 0));
  }

  function setup(frame) {
    var d = JSON.parse(frame.querySelector("script").textContent);
    var levels = decode(d.levels);
    var times = d.times;
    var cols = times.length;
    var canvas = frame.querySelector("canvas");
    var box = frame.querySelector(".zoom-box");
    var tip = frame.querySelector(".spectro-tip");
    var ctx = canvas.getContext("2d");
    var half = cols > 1 ? (times[cols - 1] - times[0]) / (cols - 1) / 2 : 0.5;
    var full = { t0: times[0] - half, t1: times[cols - 1] + half, l0: Math.log10(d.lowHz), l1: Math.log10(d.highHz) };
    var view = Object.assign({}, full);
    var marks = [];
    // Each column's peaks come strongest first.
    var ranks = d.peaks.map(function (peak, i, all) { return i > 0 && all[i - 1][0] === peak[0] ? 0 : 1; });
    for (var i = 1; i < ranks.length; i++) if (ranks[i] === 0) ranks[i] = ranks[i - 1] + 1;

    function plot() {
      return { x: SIZE.left, y: SIZE.top, w: Math.max(canvas.clientWidth - SIZE.left - SIZE.right, 1),
        h: SIZE.height - SIZE.top - SIZE.bottom };
    }
    function xOf(t, p) {
      return p.x + ((t - view.t0) / (view.t1 - view.t0)) * p.w;
    }
    function yOf(f, p) {
      return p.y + ((view.l1 - Math.log10(f)) / (view.l1 - view.l0)) * p.h;
    }
    // The column nearest t, or -1 outside the points' span.
    function column(t) {
      if (t < full.t0 || t > full.t1) return -1;
      var lo = 0;
      var hi = cols - 1;
      while (lo < hi) {
        var mid = (lo + hi) >> 1;
        if (times[mid + 1] <= t) lo = mid + 1;
        else if (times[mid] > t) hi = mid;
        else return t - times[mid] <= times[mid + 1] - t ? mid : mid + 1;
      }
      return lo;
    }

    function draw() {
      var style = getComputedStyle(frame);
      var ratio = window.devicePixelRatio || 1;
      canvas.width = Math.round(canvas.clientWidth * ratio);
      canvas.height = Math.round(SIZE.height * ratio);
      var p = plot();
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      var back = rgb(ctx, style.getPropertyValue("--surface-sunken").trim() || "#fff");
      ctx.fillStyle = "rgb(" + back.join(",") + ")";
      ctx.fillRect(0, 0, canvas.width, canvas.height);
      var pw = Math.round(p.w * ratio);
      var ph = Math.round(p.h * ratio);
      var image = ctx.createImageData(pw, ph);
      var px = image.data;
      var colOf = new Int32Array(pw);
      for (var x = 0; x < pw; x++) colOf[x] = column(view.t0 + ((x + 0.5) / pw) * (view.t1 - view.t0));
      for (var y = 0; y < ph; y++) {
        var l = view.l1 - ((y + 0.5) / ph) * (view.l1 - view.l0);
        var r = Math.floor(((l - full.l0) / (full.l1 - full.l0)) * d.rows);
        for (x = 0; x < pw; x++) {
          var at = (y * pw + x) * 4;
          var c = colOf[x];
          if (c < 0 || r < 0 || r >= d.rows) {
            px[at] = back[0];
            px[at + 1] = back[1];
            px[at + 2] = back[2];
          } else {
            var v = levels[c * d.rows + r] * 3;
            px[at] = PALETTE[v];
            px[at + 1] = PALETTE[v + 1];
            px[at + 2] = PALETTE[v + 2];
          }
          px[at + 3] = 255;
        }
      }
      ctx.putImageData(image, Math.round(p.x * ratio), Math.round(p.y * ratio));
      ctx.setTransform(ratio, 0, 0, ratio, 0, 0);

      marks = [];
      ctx.strokeStyle = MARK;
      ctx.lineWidth = 1.5;
      d.peaks.forEach(function (peak, i) {
        var t = times[peak[0]];
        var mx = xOf(t, p);
        var my = yOf(peak[1], p);
        if (mx < p.x || mx > p.x + p.w || my < p.y || my > p.y + p.h) return;
        marks.push({ x: mx, y: my, t: t, f: peak[1], db: peak[2], rank: ranks[i] });
        ctx.beginPath();
        ctx.arc(mx, my, 3, 0, 2 * Math.PI);
        ctx.stroke();
      });

      ctx.fillStyle = style.getPropertyValue("--ink-soft").trim() || "#555";
      ctx.strokeStyle = style.getPropertyValue("--line-strong").trim() || "#ccc";
      ctx.font = "11px " + (style.getPropertyValue("--font-data").trim() || "monospace");
      ctx.lineWidth = 1;
      ctx.strokeRect(p.x, p.y, p.w, p.h);
      var tt = timeTicks(view.t0, view.t1, Math.max(2, Math.floor(p.w / 90)));
      ctx.textAlign = "center";
      ctx.textBaseline = "top";
      tt.ticks.forEach(function (t) {
        var tx = xOf(t, p);
        ctx.fillRect(tx, p.y + p.h, 1, 4);
        ctx.fillText(t.toFixed(tt.decimals) + "s", tx, p.y + p.h + 7);
      });
      ctx.textAlign = "right";
      ctx.textBaseline = "middle";
      freqTicks(Math.pow(10, view.l0), Math.pow(10, view.l1)).forEach(function (f) {
        var ty = yOf(f, p);
        ctx.fillRect(p.x - 4, ty, 4, 1);
        ctx.fillText(hz(f), p.x - 7, ty);
      });
      frame.setAttribute("data-view", [view.t0, view.t1, Math.pow(10, view.l0), Math.pow(10, view.l1)]
        .map(function (v) { return v.toPrecision(6); }).join(" "));
      frame.setAttribute("data-marks", String(marks.length));
      frame.setAttribute("data-plot", [p.x, p.y, p.w, p.h].join(" "));
    }

    // Keeps a span inside the full view, no wider than it.
    function fit(lo, hi, min, max) {
      var span = Math.min(Math.max(hi - lo, (max - min) * 1e-4), max - min);
      lo = clamp(lo, min, max - span);
      return [lo, lo + span];
    }
    function setView(t0, t1, l0, l1) {
      var t = fit(t0, t1, full.t0, full.t1);
      var l = fit(l0, l1, full.l0, full.l1);
      view = { t0: t[0], t1: t[1], l0: l[0], l1: l[1] };
      draw();
    }
    // The plot fractions (u right, v up) of a pointer event.
    function where(e) {
      var rect = canvas.getBoundingClientRect();
      var p = plot();
      return { u: (e.clientX - rect.left - p.x) / p.w, v: 1 - (e.clientY - rect.top - p.y) / p.h,
        x: e.clientX - rect.left, y: e.clientY - rect.top };
    }

    canvas.addEventListener("wheel", function (e) {
      e.preventDefault();
      var w = where(e);
      var k = Math.exp(e.deltaY * WHEEL_RATE);
      var tc = view.t0 + clamp(w.u, 0, 1) * (view.t1 - view.t0);
      var lc = view.l0 + clamp(w.v, 0, 1) * (view.l1 - view.l0);
      setView(tc - (tc - view.t0) * k, tc + (view.t1 - tc) * k, lc - (lc - view.l0) * k, lc + (view.l1 - lc) * k);
    }, { passive: false });

    var drag = null;
    canvas.addEventListener("pointerdown", function (e) {
      drag = { start: where(e), view: Object.assign({}, view), box: e.shiftKey, moved: false };
      canvas.setPointerCapture(e.pointerId);
      showTip(drag.start);
    });
    canvas.addEventListener("pointermove", function (e) {
      var w = where(e);
      if (!drag) return showTip(w);
      var dx = w.x - drag.start.x;
      var dy = w.y - drag.start.y;
      drag.moved = drag.moved || Math.abs(dx) + Math.abs(dy) > 2;
      if (!drag.moved) return;
      tip.hidden = true;
      if (drag.box) {
        box.hidden = false;
        box.style.left = Math.min(w.x, drag.start.x) + "px";
        box.style.top = Math.min(w.y, drag.start.y) + "px";
        box.style.width = Math.abs(dx) + "px";
        box.style.height = Math.abs(dy) + "px";
        return;
      }
      var p = plot();
      var st = ((drag.view.t1 - drag.view.t0) * dx) / p.w;
      var sl = ((drag.view.l1 - drag.view.l0) * dy) / p.h;
      setView(drag.view.t0 - st, drag.view.t1 - st, drag.view.l0 + sl, drag.view.l1 + sl);
    });
    function endDrag(e) {
      if (!drag) return;
      var w = where(e);
      if (drag.box && drag.moved) {
        box.hidden = true;
        var a = drag.start;
        if (Math.abs(w.x - a.x) >= SIZE.box && Math.abs(w.y - a.y) >= SIZE.box) {
          var v = drag.view;
          var u0 = Math.min(a.u, w.u), u1 = Math.max(a.u, w.u), v0 = Math.min(a.v, w.v), v1 = Math.max(a.v, w.v);
          setView(v.t0 + u0 * (v.t1 - v.t0), v.t0 + u1 * (v.t1 - v.t0), v.l0 + v0 * (v.l1 - v.l0), v.l0 + v1 * (v.l1 - v.l0));
        }
      }
      drag = null;
    }
    canvas.addEventListener("pointerup", endDrag);
    canvas.addEventListener("pointercancel", endDrag);
    canvas.addEventListener("pointerleave", function () {
      if (!drag) tip.hidden = true;
    });

    // The mark nearest the pointer, named beside it.
    function showTip(w) {
      var best = null;
      var bestDistance = SIZE.hit * SIZE.hit;
      marks.forEach(function (m) {
        var dd = (m.x - w.x) * (m.x - w.x) + (m.y - w.y) * (m.y - w.y);
        if (dd <= bestDistance) {
          best = m;
          bestDistance = dd;
        }
      });
      tip.hidden = !best;
      if (!best) return;
      tip.textContent = best.t.toFixed(3) + " s \u00b7 " + best.f.toFixed(1) + " Hz \u00b7 " + best.db.toFixed(1) +
        " dB \u00b7 rank " + best.rank;
      tip.style.left = Math.min(best.x + 10, canvas.clientWidth - tip.offsetWidth - 4) + "px";
      tip.style.top = Math.max(best.y - 28, 0) + "px";
    }

    function reset() {
      setView(full.t0, full.t1, full.l0, full.l1);
    }
    var button = document.querySelector('.zoom-reset[data-zoom-target="' + frame.id + '"]');
    if (button) button.addEventListener("click", reset);
    canvas.addEventListener("dblclick", reset);
    return draw;
  }

  var redraws = Array.prototype.map.call(document.querySelectorAll(".spectro-frame"), setup);
  function redrawAll() {
    redraws.forEach(function (draw) { draw(); });
  }
  redrawAll();
  window.addEventListener("resize", redrawAll);
  // The colours come from the theme: redraw when it changes.
  new MutationObserver(redrawAll).observe(document.documentElement, { attributes: true, attributeFilter: ["data-theme"] });
  if (window.matchMedia) {
    var dark = window.matchMedia("(prefers-color-scheme: dark)");
    if (dark.addEventListener) dark.addEventListener("change", redrawAll);
  }
})();
