(function () {
  "use strict";
  var SVG_NS = "http://www.w3.org/2000/svg";
  var VIEW_WIDTH_PX = 1000;
  var MIN_SPAN_FRAC = 0.002;
  var WHEEL_RATE = 0.0015;
  var BOX_MIN_PX = 4;
  var BOX_MIN_UNIT = 0.0005;
  var TICK_TARGET = 6;
  var DECADE_FIRST = -2;
  var DECADE_LAST = 6;
  var TICK_TOLERANCE = 1e-9;
  var END_LABEL_MIN_GAP = 40;
  var MAJOR_MANTISSAS = [1, 2, 5];
  var MINOR_MANTISSAS = [3, 4, 6, 7, 8, 9];

  function clamp(v, lo, hi) {
    return v < lo ? lo : v > hi ? hi : v;
  }

  // Number with d decimals as the page's static drawing prints it: an exact
  // tie goes to the even digit (toFixed goes away from zero) and negative
  // zero keeps its sign, so both drawings read the same.
  function fixed(v, d) {
    var s = v.toFixed(d);
    if (v === 0) return 1 / v < 0 ? "-" + s : s;
    if (!isFinite(v) || Math.abs(v) >= 1e21) return s;
    var scaled = Math.abs(v) * Math.pow(10, d);
    if (Math.abs(scaled - Math.floor(scaled) - 0.5) > 1e-6) return s;
    var exact = Math.abs(v).toFixed(100);
    var point = exact.indexOf(".");
    if (!/^50*$/.test(exact.slice(point + 1 + d))) return s;
    var down = exact.slice(0, d > 0 ? point + 1 + d : point);
    if ((down.charCodeAt(down.length - 1) - 48) % 2 !== 0) return s;
    return (v < 0 ? "-" : "") + down;
  }

  function svgElement(name, attrs, text) {
    var node = document.createElementNS(SVG_NS, name);
    for (var key in attrs) {
      if (Object.prototype.hasOwnProperty.call(attrs, key)) node.setAttribute(key, String(attrs[key]));
    }
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function niceNumber(range, round) {
    if (range <= 0) return 1;
    var exponent = Math.floor(Math.log10(range));
    var fraction = range / Math.pow(10, exponent);
    var nice;
    if (round) nice = fraction < 1.5 ? 1 : fraction < 3 ? 2 : fraction < 7 ? 5 : 10;
    else nice = fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10;
    return nice * Math.pow(10, exponent);
  }

  function niceTicks(lo, hi, target) {
    if (hi <= lo) return [lo];
    var range = niceNumber(hi - lo, false);
    var step = niceNumber(range / (target - 1), true);
    if (step <= 0) return [lo];
    var ticks = [];
    for (var v = Math.ceil(lo / step) * step; v <= hi + step * TICK_TOLERANCE; v += step) ticks.push(v);
    return ticks;
  }

  function decadeTicks(lo, hi, mantissas) {
    var ticks = [];
    for (var e = DECADE_FIRST; e <= DECADE_LAST; e++) {
      for (var i = 0; i < mantissas.length; i++) {
        var v = mantissas[i] * Math.pow(10, e);
        if (v >= lo - TICK_TOLERANCE && v <= hi + TICK_TOLERANCE) ticks.push(v);
      }
    }
    return ticks;
  }

  // Below one decade the decade ticks are too sparse; nice linear steps read better.
  function chooseTicks(lo, hi, logAxis) {
    if (logAxis && Math.log10(hi) - Math.log10(lo) >= 1) {
      return { major: decadeTicks(lo, hi, MAJOR_MANTISSAS), minor: decadeTicks(lo, hi, MINOR_MANTISSAS) };
    }
    return { major: niceTicks(lo, hi, TICK_TARGET), minor: [] };
  }

  function formatTickFrequency(f) {
    if (f >= 1000) return String(Math.round(f / 10) / 100) + "k";
    return String(Math.round(f * 100) / 100);
  }

  function formatPeakFrequency(f) {
    if (f >= 1000) return fixed(f / 1000, 2) + "k";
    return fixed(f, 0);
  }

  function drawSpectral(svg, d, lo, hi, logAxis) {
    while (svg.firstChild) svg.removeChild(svg.firstChild);
    var left = d.chartLeft;
    var right = d.chartRight;
    var top = d.chartTop;
    var bottom = d.chartBottom;
    var logLo = Math.log10(lo);
    var logHi = Math.log10(hi);

    function x(f) {
      f = clamp(f, lo, hi);
      var fraction = logAxis ? (Math.log10(f) - logLo) / (logHi - logLo) : (f - lo) / (hi - lo);
      return left + fraction * (right - left);
    }
    function y(db) {
      db = clamp(db, d.dbMin, d.dbMax);
      return bottom - (db - d.dbMin) / (d.dbMax - d.dbMin) * (bottom - top);
    }
    function add(name, attrs, text) {
      var node = svgElement(name, attrs, text);
      svg.appendChild(node);
      return node;
    }
    function hLine(yy, stroke, width, opacity) {
      add("line", { x1: left, y1: yy, x2: right, y2: yy, stroke: stroke, "stroke-width": width, opacity: opacity });
    }
    function vLine(xx, stroke, width, opacity) {
      add("line", { x1: xx, y1: top, x2: xx, y2: bottom, stroke: stroke, "stroke-width": width, opacity: opacity });
    }
    function axisLabel(xx, yy, anchor, text) {
      add("text", { x: xx, y: yy, "font-size": 9.5, "text-anchor": anchor, fill: "var(--muted)" }, text);
    }

    var db;
    for (db = d.dbMax - 10; db > d.dbMin; db -= 20) hLine(y(db), "var(--line-strong)", 1, 0.6);

    var ticks = chooseTicks(lo, hi, logAxis);
    ticks.minor.forEach(function (f) {
      vLine(x(f), "var(--line-strong)", 1, 0.55);
    });

    add("line", { x1: left, y1: top, x2: left, y2: bottom, stroke: "var(--ink-soft)", "stroke-width": 1.4 });
    add("line", { x1: left, y1: bottom, x2: right, y2: bottom, stroke: "var(--ink-soft)", "stroke-width": 1.4 });

    for (db = d.dbMax; db >= d.dbMin; db -= 20) {
      hLine(y(db), "var(--ink-soft)", 1, 0.55);
      axisLabel(left - 6, y(db) + 3, "end", String(db));
    }

    ticks.major.forEach(function (f) {
      vLine(x(f), "var(--ink-soft)", 1, 0.55);
      axisLabel(x(f), bottom + 14, "middle", formatTickFrequency(f));
    });

    // Exact comparison on purpose: after a zoom the upper end is recomputed
    // and only a view that still ends at Nyquist gets the end label.
    if (logAxis && hi === d.nyquistHz && ticks.major.length > 0) {
      if (right - x(ticks.major[ticks.major.length - 1]) > END_LABEL_MIN_GAP) {
        vLine(right, "var(--ink-soft)", 1, 0.55);
        axisLabel(right, bottom + 14, "end", fixed(hi / 1000, 1) + "k");
      }
    }

    if (d.tierNoiseFloorDb !== null && d.tierNoiseFloorDb !== undefined) {
      var floorY = y(d.tierNoiseFloorDb);
      add("rect", { x: left, y: floorY, width: right - left, height: y(d.dbMin) - floorY,
                    fill: "var(--accent)", opacity: 0.05 });
    }

    (d.markers || []).forEach(function (m) {
      var my = y(m.db);
      var colour = "var(" + m.color + ")";
      add("line", { x1: left, y1: my, x2: right, y2: my, stroke: colour, "stroke-width": 1,
                    "stroke-dasharray": m.dash });
      var alignRight = m.align === "right";
      add("text", { x: alignRight ? right - 6 : left + 6, y: my - 3, "font-size": 10, fill: colour,
                    "text-anchor": alignRight ? "end" : "start" }, m.text);
    });

    var points = [];
    for (var k = 0; k < d.ref.length; k++) {
      var f = k * d.binHz;
      if (f < lo) continue;
      if (f > hi) break;
      points.push(fixed(x(f), 2) + "," + fixed(y(d.ref[k]), 2));
    }
    add("polyline", { fill: "none", stroke: "var(--ref-trace)", "stroke-width": 1.5, points: points.join(" "),
                      "data-trace": "ref" });

    (d.peaks || []).forEach(function (p) {
      if (p.freqHz < lo || p.freqHz > hi) return;
      var px = x(p.freqHz);
      var py = y(p.levelDb);
      var end = py - (p.tier === 1 ? 40 : 20);
      var levelY = end - 3;
      var freqY = levelY - 11;
      if (freqY < top + 8) {
        var shift = top + 8 - freqY;
        end += shift;
        levelY += shift;
        freqY += shift;
      }
      add("circle", { cx: fixed(px, 2), cy: fixed(py, 2), r: 2.6, fill: "var(--accent)" });
      add("line", { x1: fixed(px, 2), y1: fixed(py - 8, 2), x2: fixed(px, 2), y2: fixed(end, 2),
                    stroke: "var(--accent)", "stroke-width": 1, opacity: 0.7 });
      add("text", { x: fixed(px, 2), y: fixed(freqY, 2), "font-size": 9.5, "font-weight": 700,
                    "text-anchor": "middle", fill: "var(--ink)" }, formatPeakFrequency(p.freqHz));
      add("text", { x: fixed(px, 2), y: fixed(levelY, 2), "font-size": 8.5, "text-anchor": "middle",
                    fill: "var(--muted)" }, fixed(p.levelDb, 1) + "dB");
    });

    var midY = (top + bottom) / 2;
    add("text", { x: (left + right) / 2, y: bottom + 28, "font-size": 10.5, "text-anchor": "middle",
                  fill: "var(--ink-soft)" }, "Frequency (Hz)");
    add("text", { x: 14, y: midY, "font-size": 10.5, "text-anchor": "middle", fill: "var(--ink-soft)",
                  transform: "rotate(-90 14 " + fixed(midY, 2) + ")" }, "Amplitude (dB)");
  }

  // A view wider than the whole range becomes exactly 0 .. 1.
  function clampUnitView(lo, hi, minSpan) {
    var span = Math.max(hi - lo, minSpan);
    var mid = (lo + hi) / 2;
    lo = mid - span / 2;
    hi = mid + span / 2;
    if (lo < 0) {
      hi -= lo;
      lo = 0;
    }
    if (hi > 1) {
      lo -= hi - 1;
      hi = 1;
    }
    return [Math.max(0, lo), Math.min(1, hi)];
  }

  function findResetButton(id) {
    var buttons = document.getElementsByClassName("zoom-reset");
    for (var i = 0; i < buttons.length; i++) {
      if (buttons[i].getAttribute("data-zoom-target") === id) return buttons[i];
    }
    return null;
  }

  function setUpFrame(frame) {
    var svg = frame.querySelector("svg");
    var island = frame.querySelector('script[type="application/json"]');
    if (!svg || !island) return;
    var d;
    try {
      d = JSON.parse(island.textContent);
    } catch (e) {
      return;
    }
    // Only the spectral drawing exists in this report.
    if (frame.getAttribute("data-zoom-kind") !== "spectral") return;
    var logAxis = d.freqScale !== "linear";
    var fullLo = logAxis ? d.freqMinHz : 0;
    var fullHi = d.nyquistHz;
    var view = { lo: fullLo, hi: fullHi };
    var box = frame.querySelector(".zoom-box");

    function toUnit(f) {
      if (logAxis) return (Math.log10(f) - Math.log10(fullLo)) / (Math.log10(fullHi) - Math.log10(fullLo));
      return (f - fullLo) / (fullHi - fullLo);
    }
    function fromUnit(u) {
      if (logAxis) return Math.pow(10, Math.log10(fullLo) + u * (Math.log10(fullHi) - Math.log10(fullLo)));
      return fullLo + u * (fullHi - fullLo);
    }
    function setUnitView(u) {
      view.lo = fromUnit(u[0]);
      view.hi = fromUnit(u[1]);
      redraw();
    }
    function redraw() {
      drawSpectral(svg, d, view.lo, view.hi, logAxis);
    }
    function reset() {
      view.lo = fullLo;
      view.hi = fullHi;
      redraw();
    }
    // The SVG stretches over the frame's full width, so view-box x scales to pixels.
    function plotGeometry() {
      var rect = frame.getBoundingClientRect();
      return {
        rect: rect,
        left: rect.width * d.chartLeft / VIEW_WIDTH_PX,
        width: rect.width * (d.chartRight - d.chartLeft) / VIEW_WIDTH_PX
      };
    }

    reset();

    var resetButton = findResetButton(frame.id);
    if (resetButton) resetButton.addEventListener("click", reset);
    frame.addEventListener("dblclick", reset);

    frame.addEventListener("wheel", function (ev) {
      ev.preventDefault();
      var g = plotGeometry();
      var p = clamp((ev.clientX - g.rect.left - g.left) / g.width, 0, 1);
      var ulo = toUnit(view.lo);
      var uhi = toUnit(view.hi);
      var c = ulo + p * (uhi - ulo);
      var z = Math.exp(ev.deltaY * WHEEL_RATE);
      setUnitView(clampUnitView(c + (ulo - c) * z, c + (uhi - c) * z, MIN_SPAN_FRAC));
    }, { passive: false });

    var drag = null;
    frame.addEventListener("mousedown", function (ev) {
      if (ev.button !== 0) return;
      drag = { box: ev.shiftKey, startX: ev.clientX, ulo: toUnit(view.lo), uhi: toUnit(view.hi) };
      if (drag.box && box) {
        box.hidden = false;
        box.style.left = (ev.clientX - frame.getBoundingClientRect().left) + "px";
        box.style.width = "0px";
      }
      ev.preventDefault();
    });

    window.addEventListener("mousemove", function (ev) {
      if (!drag) return;
      var g = plotGeometry();
      if (drag.box) {
        if (!box) return;
        box.style.left = (Math.min(drag.startX, ev.clientX) - g.rect.left) + "px";
        box.style.width = Math.abs(ev.clientX - drag.startX) + "px";
        return;
      }
      // Measured from the view at mouse-down, so rounding never accumulates.
      var span = drag.uhi - drag.ulo;
      var dx = -((ev.clientX - drag.startX) / g.width) * span;
      setUnitView(clampUnitView(drag.ulo + dx, drag.uhi + dx, span));
    });

    window.addEventListener("mouseup", function () {
      if (!drag) return;
      var ended = drag;
      drag = null;
      if (!ended.box || !box) return;
      var boxLeft = parseFloat(box.style.left) || 0;
      var boxWidth = parseFloat(box.style.width) || 0;
      box.hidden = true;
      if (boxWidth <= BOX_MIN_PX) return;
      var g = plotGeometry();
      var f1 = clamp((boxLeft - g.left) / g.width, 0, 1);
      var f2 = clamp((boxLeft + boxWidth - g.left) / g.width, 0, 1);
      var span = ended.uhi - ended.ulo;
      var u1 = ended.ulo + f1 * span;
      var u2 = ended.ulo + f2 * span;
      if (Math.abs(u2 - u1) <= BOX_MIN_UNIT) return;
      setUnitView(clampUnitView(Math.min(u1, u2), Math.max(u1, u2), MIN_SPAN_FRAC));
    });
  }

  Array.prototype.forEach.call(document.querySelectorAll(".zoom-frame[data-zoom-kind]"), setUpFrame);
})();
