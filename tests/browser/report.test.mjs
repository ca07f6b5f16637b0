// The report page in a real browser: the chart script's start-up redraw,
// wheel zoom, pan, box zoom, reset, tick rules, and the theme switch.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";

import { buildReport, launchBrowser, openPage, requireBrowser, writePage, writeToneWav } from "./harness.mjs";

await requireBrowser();

const LEFT = 58;
const RIGHT = 990;
const VIEWPORT = { width: 1280, height: 900 };

// 96 kHz stereo, so the full view carries the 48.0k end label.
const RATE = 96000;
const NYQUIST = RATE / 2;
const TONES = [
  [[100, 0.2], [1000, 0.3], [5000, 0.2], [15000, 0.1]],
  [[440, 0.4], [3000, 0.2]],
];

function tickHz(label) {
  return label.endsWith("k") ? Number(label.slice(0, -1)) * 1000 : Number(label);
}

// The visible range recovered from the outermost labelled ticks.
function viewFromTicks(ticks) {
  assert.ok(ticks.length >= 2, `need two ticks, got ${JSON.stringify(ticks)}`);
  const a = ticks[0];
  const b = ticks[ticks.length - 1];
  const ua = (a.x - LEFT) / (RIGHT - LEFT);
  const ub = (b.x - LEFT) / (RIGHT - LEFT);
  const span = (Math.log10(tickHz(b.label)) - Math.log10(tickHz(a.label))) / (ub - ua);
  const logLo = Math.log10(tickHz(a.label)) - ua * span;
  return { lo: 10 ** logLo, hi: 10 ** (logLo + span) };
}

function unitToHz(u) {
  const lo = Math.log10(20);
  return 10 ** (lo + u * (Math.log10(NYQUIST) - lo));
}

function assertClose(actual, expected, relative, what) {
  assert.ok(Math.abs(actual - expected) <= Math.abs(expected) * relative,
    `${what}: ${actual} is not within ${relative * 100}% of ${expected}`);
}

// What the chart in frame `id` currently shows.
async function chartState(page, id) {
  return page.evaluate((frameId) => {
    const svg = document.getElementById(frameId).querySelector("svg");
    const kids = Array.from(svg.children);
    const texts = kids.filter((e) => e.tagName === "text");
    const bottomLabels = texts.filter((t) => Number(t.getAttribute("y")) === 290);
    const polyline = svg.querySelector("polyline");
    return {
      ticks: bottomLabels.filter((t) => t.getAttribute("text-anchor") === "middle")
        .map((t) => ({ x: Number(t.getAttribute("x")), label: t.textContent })),
      endLabel: bottomLabels.filter((t) => t.getAttribute("text-anchor") === "end").map((t) => t.textContent),
      minorVertical: kids.filter((e) => e.tagName === "line" && e.getAttribute("stroke") === "var(--line-strong)" &&
        e.getAttribute("x1") === e.getAttribute("x2")).length,
      points: polyline ? polyline.getAttribute("points") : null,
      traceName: polyline ? polyline.getAttribute("data-trace") : null,
      circles: kids.filter((e) => e.tagName === "circle").map((c) => [Number(c.getAttribute("cx")), Number(c.getAttribute("cy"))]),
      freqLabels: texts.filter((t) => t.getAttribute("font-weight") === "700").map((t) => t.textContent),
      levelLabels: texts.filter((t) => t.getAttribute("font-size") === "8.5").map((t) => t.textContent),
    };
  }, id);
}

// The same facts read from the static SVG in the file.
function staticChart(html, suffix) {
  const start = html.indexOf(`id="cv-spectral-svg${suffix}"`);
  const svg = html.slice(start, html.indexOf("</svg>", start));
  const number = (s) => Number(s);
  return {
    points: /points="([^"]*)"/.exec(svg)[1],
    circles: [...svg.matchAll(/<circle cx="([^"]+)" cy="([^"]+)"/g)].map((m) => [number(m[1]), number(m[2])]),
    freqLabels: [...svg.matchAll(/font-weight="700"[^>]*>([^<]*)</g)].map((m) => m[1]),
    levelLabels: [...svg.matchAll(/font-size="8.5"[^>]*>([^<]*)</g)].map((m) => m[1]),
  };
}

function parsePoints(points) {
  return points.trim().split(/\s+/).map((p) => p.split(",").map(Number));
}

describe("report page in a browser", () => {
  let browser;
  let report;
  let shortReport;
  const frame0 = "ts-spectral-frame-0";

  before(async () => {
    const wav = writeToneWav("tones96k.wav", RATE, 1.0, TONES);
    report = buildReport(wav, "tones96k.html", ["--at", "0.5", "--window-samples", "8192", "--top", "8"]);
    const short = writeToneWav("short.wav", 48000, 0.01, [[[1000, 0.5]]]);
    shortReport = buildReport(short, "short.html", ["--at-sample", "10"]);
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
  });

  const open = (url, options = {}) => openPage(browser, url, { viewport: VIEWPORT, ...options });

  async function plotPoint(page, fraction, id = frame0) {
    const box = await page.locator(`#${id}`).boundingBox();
    return {
      x: box.x + box.width * (LEFT + fraction * (RIGHT - LEFT)) / 1000,
      y: box.y + box.height / 2,
      box,
    };
  }

  async function viewOf(page, id = frame0) {
    return viewFromTicks((await chartState(page, id)).ticks);
  }

  async function drag(page, from, to, steps, { shift = false, during } = {}) {
    if (shift) await page.keyboard.down("Shift");
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(to.x, to.y, { steps });
    if (during) await during();
    await page.mouse.up();
    if (shift) await page.keyboard.up("Shift");
  }

  test("redraws every chart at load with the static SVG's trace and peaks, without errors", async () => {
    const { page, context, errors } = await open(report.url);
    for (const [channel, suffix] of [[0, "-ch0"], [1, "-ch1"]]) {
      const live = await chartState(page, `ts-spectral-frame-${channel}`);
      const still = staticChart(report.text, suffix);
      assert.equal(live.traceName, "ref", "the script's own drawing marks its trace");
      const a = parsePoints(live.points);
      const b = parsePoints(still.points);
      assert.equal(a.length, b.length);
      for (let i = 0; i < a.length; i++) {
        assert.ok(Math.abs(a[i][0] - b[i][0]) <= 0.02 && Math.abs(a[i][1] - b[i][1]) <= 0.02,
          `point ${i}: ${a[i]} vs ${b[i]}`);
      }
      assert.ok(still.circles.length >= 2, "the test signal has peaks");
      assert.equal(live.circles.length, still.circles.length);
      live.circles.forEach((c, i) => {
        assert.ok(Math.abs(c[0] - still.circles[i][0]) <= 0.02 && Math.abs(c[1] - still.circles[i][1]) <= 0.02,
          `peak ${i}: ${c} vs ${still.circles[i]}`);
      });
      assert.deepEqual(live.freqLabels, still.freqLabels);
      assert.deepEqual(live.levelLabels, still.levelLabels);
      const view = viewFromTicks(live.ticks);
      assertClose(view.lo, 20, 1e-3, "full view low end");
      assertClose(view.hi, NYQUIST, 1e-3, "full view high end");
      assert.deepEqual(live.endLabel, ["48.0k"]);
    }
    assert.deepEqual(errors, []);
    await context.close();
  });

  test("labels that fall on an exact tie read the same in both drawings", async () => {
    // 30250 Hz / 1000 is exactly 30.25: printf keeps the even digit.
    const wav = writeToneWav("tie60k5.wav", 60500, 0.2, [[[1000, 0.3]]]);
    const tie = buildReport(wav, "tie60k5.html", ["--at", "0.1"]);
    const still = /text-anchor="end" fill="var\(--muted\)">([^<]*k)<\/text>/.exec(tie.text);
    assert.ok(still, "the static chart has an end label");
    assert.equal(still[1], "30.2k");
    const { page, context, errors } = await open(tie.url);
    assert.deepEqual((await chartState(page, frame0)).endLabel, [still[1]]);
    assert.deepEqual(errors, []);
    await context.close();
  });

  test("a frame holding only the note is left alone", async () => {
    const { page, context, errors } = await open(shortReport.url);
    assert.equal(await page.locator(`#${frame0} svg`).count(), 0);
    assert.equal(await page.locator(`#${frame0} p.cv-chart-note`).count(), 1);
    assert.deepEqual(errors, []);
    await context.close();
  });

  test("wheel zooms around the cursor and stops at the narrowest span", async () => {
    const { page, context } = await open(report.url);
    const p = 0.6;
    const { x, y } = await plotPoint(page, p);
    await page.mouse.move(x, y);
    await page.mouse.wheel(0, -300);
    const z = Math.exp(-300 * 0.0015);
    let view = await viewOf(page);
    assertClose(view.lo, unitToHz(p - p * z), 0.01, "zoomed low end");
    assertClose(view.hi, unitToHz(p + (1 - p) * z), 0.01, "zoomed high end");
    assert.deepEqual((await chartState(page, frame0)).endLabel, [], "no end label once zoomed");

    // Zooming out past the whole range gives the whole range.
    for (let i = 0; i < 4; i++) await page.mouse.wheel(0, 400);
    view = await viewOf(page);
    assertClose(view.lo, 20, 2e-3, "zoomed-out low end");
    assertClose(view.hi, NYQUIST, 2e-3, "zoomed-out high end");

    for (let i = 0; i < 12; i++) await page.mouse.wheel(0, -2000);
    const state = await chartState(page, frame0);
    view = viewFromTicks(state.ticks);
    assertClose(view.hi / view.lo, (NYQUIST / 20) ** 0.002, 2e-4, "narrowest span");
    assert.equal(state.minorVertical, 0, "no minor grid inside one decade");
    await context.close();
  });

  test("inside one decade the ticks are nice numbers", async () => {
    // Same page, with the island's range narrowed to 1 kHz .. 2 kHz.
    const text = report.text.replace(/"freqMinHz":20\.0/g, '"freqMinHz":1000.0')
      .replace(/"nyquistHz":48000\.000/g, '"nyquistHz":2000.000');
    const { page, context } = await open(writePage("decade.html", text));
    const state = await chartState(page, frame0);
    assert.deepEqual(state.ticks.map((t) => t.label), ["1k", "1.2k", "1.4k", "1.6k", "1.8k", "2k"]);
    assert.equal(state.minorVertical, 0);
    assert.deepEqual(state.endLabel, [], "the 2k tick sits on the edge");
    const view = viewFromTicks(state.ticks);
    assertClose(view.lo, 1000, 1e-6, "low end");
    assertClose(view.hi, 2000, 1e-6, "high end");
    await context.close();
  });

  test("dragging pans with a constant span and stops at both ends", async () => {
    const { page, context } = await open(report.url);
    const centre = await plotPoint(page, 0.5);
    await page.mouse.move(centre.x, centre.y);
    await page.mouse.wheel(0, -600);
    const before = await viewOf(page);
    const logSpan = Math.log10(before.hi / before.lo);
    const plotWidth = centre.box.width * (RIGHT - LEFT) / 1000;

    await drag(page, centre, { x: centre.x + 100, y: centre.y }, 7);
    const moved = await viewOf(page);
    assertClose(Math.log10(moved.hi / moved.lo), logSpan, 2e-3, "span after pan");
    assertClose(Math.log10(before.lo / moved.lo), (100 / plotWidth) * logSpan, 0.02, "pan distance");

    // Long drags towards one end, then a small push past it: held at that end.
    const a = await plotPoint(page, 0.02);
    const b = await plotPoint(page, 0.98);
    for (const [from, to, push, end, hz] of [[a, b, 0.1, "lo", 20], [b, a, -0.1, "hi", NYQUIST]]) {
      for (let i = 0; i < 3; i++) await drag(page, from, to, 5);
      let view = await viewOf(page);
      assertClose(view[end], hz, 2e-3, `stopped at ${hz} Hz`);
      assertClose(Math.log10(view.hi / view.lo), logSpan, 2e-3, `span at ${hz} Hz`);
      await drag(page, centre, { x: centre.x + push * plotWidth, y: centre.y }, 3);
      view = await viewOf(page);
      assertClose(view[end], hz, 2e-3, `still at ${hz} Hz`);
      assertClose(Math.log10(view.hi / view.lo), logSpan, 2e-3, "span after a small push");
    }
    await context.close();
  });

  test("shift-drag zooms to the box, either way round, above 4 px only", async () => {
    const { page, context } = await open(report.url);
    const full = await chartState(page, frame0);
    const a = await plotPoint(page, 0.25);
    const b = await plotPoint(page, 0.5);

    const shiftDrag = (from, to, during) => drag(page, from, to, 4, { shift: true, during });

    // 4 px or less, or a box wholly left of the plot: nothing changes.
    await shiftDrag(a, { x: a.x + 4, y: a.y });
    await shiftDrag({ x: a.box.x + 3, y: a.y }, { x: a.box.x + 40, y: a.y });
    assert.deepEqual(await chartState(page, frame0), full);
    assert.equal(await page.locator(`#${frame0} .zoom-box`).isHidden(), true);

    await shiftDrag(a, b, async () => {
      const shown = await page.locator(`#${frame0} .zoom-box`).evaluate((e) => ({
        hidden: e.hidden, left: parseFloat(e.style.left), width: parseFloat(e.style.width),
      }));
      assert.equal(shown.hidden, false);
      assert.ok(Math.abs(shown.left - (a.x - a.box.x)) < 1.01, `box left ${shown.left}`);
      assert.ok(Math.abs(shown.width - (b.x - a.x)) < 1.01, `box width ${shown.width}`);
    });
    assert.equal(await page.locator(`#${frame0} .zoom-box`).isHidden(), true);
    const forward = await chartState(page, frame0);
    const view = await viewOf(page);
    assertClose(view.lo, unitToHz(0.25), 0.01, "box low end");
    assertClose(view.hi, unitToHz(0.5), 0.01, "box high end");

    await page.locator(".zoom-reset[data-zoom-target='ts-spectral-frame-0']").click();
    await shiftDrag(b, a);
    assert.deepEqual(await chartState(page, frame0), forward, "right to left gives the same view");

    // Just above the threshold it zooms.
    await page.locator(".zoom-reset[data-zoom-target='ts-spectral-frame-0']").click();
    await shiftDrag(a, { x: a.x + 6, y: a.y });
    assert.notDeepEqual((await chartState(page, frame0)).ticks, full.ticks);
    await context.close();
  });

  test("reset button and double-click restore 20 Hz to Nyquist", async () => {
    const { page, context } = await open(report.url);
    const full = await chartState(page, frame0);
    const other = await chartState(page, "ts-spectral-frame-1");
    const p = await plotPoint(page, 0.7);
    await page.mouse.move(p.x, p.y);
    await page.mouse.wheel(0, -500);
    assert.notDeepEqual(await chartState(page, frame0), full);
    assert.deepEqual(await chartState(page, "ts-spectral-frame-1"), other, "the other chart keeps its view");
    await page.locator(".zoom-reset[data-zoom-target='ts-spectral-frame-0']").click();
    assert.deepEqual(await chartState(page, frame0), full);

    await page.mouse.move(p.x, p.y);
    await page.mouse.wheel(0, -500);
    assert.notDeepEqual(await chartState(page, frame0), full);
    await page.mouse.dblclick(p.x, p.y);
    assert.deepEqual(await chartState(page, frame0), full);
    await context.close();
  });

  async function themeState(page) {
    return page.evaluate(() => {
      const button = document.getElementById("themeToggle");
      return {
        attr: document.documentElement.getAttribute("data-theme"),
        stored: localStorage.getItem("corvane-report-theme"),
        label: button.getAttribute("aria-label"),
        sun: getComputedStyle(button.querySelector(".ti-sun")).display,
        moon: getComputedStyle(button.querySelector(".ti-moon")).display,
        background: getComputedStyle(document.body).backgroundColor,
      };
    });
  }

  const LIGHT = { label: "Switch to dark theme", sun: "none", moon: "block", background: "rgb(238, 241, 244)" };
  const DARK = { label: "Switch to light theme", sun: "block", moon: "none", background: "rgb(14, 19, 24)" };
  const theme = (attr, stored, look) => ({ attr, stored, ...look });

  test("theme switch sets the attribute, stores the choice and swaps icon and label", async () => {
    const { page, context, errors } = await open(report.url, { colorScheme: "light" });
    assert.deepEqual(await themeState(page), theme(null, null, LIGHT));
    await page.locator("#themeToggle").click();
    assert.deepEqual(await themeState(page), theme("dark", "dark", DARK));
    await page.reload();
    assert.deepEqual(await themeState(page), theme("dark", "dark", DARK), "the choice is remembered");
    await page.locator("#themeToggle").click();
    assert.deepEqual(await themeState(page), theme("light", "light", LIGHT));
    assert.deepEqual(errors, []);
    await context.close();
  });

  test("a dark system preference darkens a page without a choice, and a light choice wins", async () => {
    const { page, context } = await open(report.url, { colorScheme: "dark" });
    assert.deepEqual(await themeState(page), theme(null, null, DARK));
    await page.locator("#themeToggle").click();
    assert.deepEqual(await themeState(page), theme("light", "light", LIGHT));
    // A stored value that is neither theme is ignored.
    await page.evaluate(() => localStorage.setItem("corvane-report-theme", "blue"));
    await page.reload();
    assert.deepEqual(await themeState(page), theme(null, "blue", DARK));
    // With nothing stored, a change of system preference updates the button.
    await page.evaluate(() => localStorage.removeItem("corvane-report-theme"));
    await page.emulateMedia({ colorScheme: "light" });
    await page.waitForFunction(() =>
      document.getElementById("themeToggle").getAttribute("aria-label") === "Switch to dark theme");
    assert.deepEqual(await themeState(page), theme(null, null, LIGHT));
    await context.close();
  });
});
