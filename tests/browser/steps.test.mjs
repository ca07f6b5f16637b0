// Reads report.steps and runs each of its tests in a headless Chromium, one
// fresh browser context per test.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { after, before, test } from "node:test";

import { binaryPath, launchBrowser, requireBrowser, scratch, wavgenPath } from "./harness.mjs";

await requireBrowser();

const LEFT = 58;
const RIGHT = 990;
const THEME_KEY = "corvane-report-theme";

// A name's bytes: (X)*N repeats X; \s \t \n \\ and \xHH are single bytes.
function bytesOf(token) {
  let t = token;
  for (let m; (m = /\(([^()]*)\)\*(\d+)/.exec(t));) {
    t = t.slice(0, m.index) + m[1].repeat(Number(m[2])) + t.slice(m.index + m[0].length);
  }
  const escapes = { "\\s": " ", "\\t": "\t", "\\n": "\n", "\\\\": "\\" };
  return Buffer.concat(t.split(/(\\x[0-9a-f]{2}|\\[stn\\])/i).map((part) =>
    part.length === 4 && part.startsWith("\\x") ? Buffer.from([parseInt(part.slice(2), 16)])
      : Buffer.from(escapes[part] ?? part)));
}
const textOf = (token) => bytesOf(token).toString("utf8");
const inScratch = (name) => Buffer.concat([Buffer.from(scratch + "/"), bytesOf(name)]);

// Arguments go through xargs -0, which hands over bytes a JavaScript string cannot hold.
function runTonesift(args) {
  const input = Buffer.concat(args.flatMap((a) => [a, Buffer.from([0])]));
  execFileSync("xargs", ["-0", binaryPath()], { input, cwd: scratch, stdio: ["pipe", "pipe", "pipe"] });
}

const SETUP = {
  wav: ([file, ...args]) => execFileSync(wavgenPath(), [join(scratch, file), ...args], { stdio: "pipe" }),
  copy: ([dest, src]) => {
    const path = inScratch(dest);
    mkdirSync(path.subarray(0, path.lastIndexOf(0x2f)), { recursive: true });
    copyFileSync(join(scratch, src), path);
  },
  report: ([page, input, ...args]) => runTonesift(["--input", input, ...args, "--html", page].map(bytesOf)),
  edit: ([page, src, ...pairs]) => {
    let text = readFileSync(join(scratch, src), "utf8");
    for (let i = 0; i + 1 < pairs.length; i += 2) text = text.replaceAll(pairs[i], pairs[i + 1]);
    writeFileSync(join(scratch, page), text);
  },
};

// What the chart in frame `id` shows now.
function chartState(id) {
  const svg = document.getElementById(id).querySelector("svg");
  const kids = Array.from(svg.children);
  const texts = kids.filter((e) => e.tagName === "text");
  const bottom = texts.filter((t) => Number(t.getAttribute("y")) === 290);
  const polyline = svg.querySelector("polyline");
  return {
    ticks: bottom.filter((t) => t.getAttribute("text-anchor") === "middle")
      .map((t) => ({ x: Number(t.getAttribute("x")), label: t.textContent })),
    endLabel: bottom.filter((t) => t.getAttribute("text-anchor") === "end").map((t) => t.textContent),
    minorVertical: kids.filter((e) => e.tagName === "line" && e.getAttribute("stroke") === "var(--line-strong)" &&
      e.getAttribute("x1") === e.getAttribute("x2")).length,
    points: polyline ? polyline.getAttribute("points") : null,
    traceName: polyline ? polyline.getAttribute("data-trace") : null,
    circles: kids.filter((e) => e.tagName === "circle").map((c) => [Number(c.getAttribute("cx")), Number(c.getAttribute("cy"))]),
    freqLabels: texts.filter((t) => t.getAttribute("font-weight") === "700").map((t) => t.textContent),
    levelLabels: texts.filter((t) => t.getAttribute("font-size") === "8.5").map((t) => t.textContent),
  };
}

// The same facts read from the SVG as the file holds it, before any script.
function staticChart(html, channel) {
  const start = html.indexOf(`id="cv-spectral-svg-ch${channel}"`);
  const svg = html.slice(start, html.indexOf("</svg>", start));
  return {
    points: /points="([^"]*)"/.exec(svg)[1],
    circles: [...svg.matchAll(/<circle cx="([^"]+)" cy="([^"]+)"/g)].map((m) => [Number(m[1]), Number(m[2])]),
    freqLabels: [...svg.matchAll(/font-weight="700"[^>]*>([^<]*)</g)].map((m) => m[1]),
    levelLabels: [...svg.matchAll(/font-size="8.5"[^>]*>([^<]*)</g)].map((m) => m[1]),
    endLabel: [...svg.matchAll(/y="290.00"[^>]*text-anchor="end"[^>]*>([^<]*)</g)].map((m) => m[1]),
  };
}

// Everything the page is made of, once its scripts ran.
function pageFacts() {
  const fnames = [...document.querySelectorAll(".fname")];
  const frames = [...document.querySelectorAll(".zoom-frame")];
  const walker = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);
  let comments = 0;
  while (walker.nextNode()) comments++;
  return {
    titles: [...document.querySelectorAll("title")].map((t) => t.textContent),
    fnames: fnames.map((e) => e.textContent),
    fnameChildren: fnames.flatMap((e) => [...e.children].map((c) => c.tagName)),
    // Tag names in document order, the signal name's own children left out.
    tags: [...document.querySelectorAll("*")].filter((e) => !e.parentElement?.classList.contains("fname"))
      .map((e) => e.tagName).join(" "),
    comments,
    scripts: document.scripts.length,
    islands: document.querySelectorAll('script[type="application/json"]').length,
    charts: frames.filter((f) => f.querySelector("svg")).length,
    // The file's chart has no trace marker; the script's drawing does.
    redrawn: frames.map((f) => f.querySelectorAll("svg polyline[data-trace='ref']").length),
  };
}

function themeState(key) {
  const button = document.getElementById("themeToggle");
  return [document.documentElement.getAttribute("data-theme") ?? "-", localStorage.getItem(key) ?? "-",
    button.getAttribute("aria-label"), getComputedStyle(button.querySelector(".ti-sun")).display,
    getComputedStyle(button.querySelector(".ti-moon")).display, getComputedStyle(document.body).backgroundColor];
}

// The visible range, recovered from the outermost labelled ticks.
function viewOf(state) {
  const hz = (label) => (label.endsWith("k") ? Number(label.slice(0, -1)) * 1000 : Number(label));
  assert.ok(state.ticks.length >= 2, `need two ticks, got ${JSON.stringify(state.ticks)}`);
  const [a, b] = [state.ticks[0], state.ticks[state.ticks.length - 1]];
  const [ua, ub] = [(a.x - LEFT) / (RIGHT - LEFT), (b.x - LEFT) / (RIGHT - LEFT)];
  const span = (Math.log10(hz(b.label)) - Math.log10(hz(a.label))) / (ub - ua);
  const logLo = Math.log10(hz(a.label)) - ua * span;
  return { lo: 10 ** logLo, hi: 10 ** (logLo + span), decades: span };
}

function close(actual, expected, tolerance, what) {
  const relative = Number(tolerance.replace("%", "")) / 100;
  assert.ok(Math.abs(actual - expected) <= Math.abs(expected) * relative,
    `${what}: ${actual} is not within ${tolerance} of ${expected}`);
}

function near(a, b, what) {
  assert.equal(a.length, b.length, what);
  a.forEach((p, i) => assert.ok(Math.abs(p[0] - b[i][0]) <= 0.02 && Math.abs(p[1] - b[i][1]) <= 0.02,
    `${what} ${i}: ${p} vs ${b[i]}`));
}

// Steps: each gets the test's state and the line's words (and the raw rest).
const STEPS = {
  async open(s, [page, scheme]) {
    s.name = page;
    s.context = await s.browser.newContext({ viewport: { width: 1280, height: 900 }, colorScheme: scheme ?? "light" });
    s.page = await s.context.newPage();
    s.page.on("console", (m) => { if (m.type() === "error") s.errors.push(m.text()); });
    s.page.on("pageerror", (e) => s.errors.push(String(e)));
    await s.page.goto(pathToFileURL(join(scratch, page)).href);
  },
  reload: (s) => s.page.reload(),
  chart(s, [n]) { s.chart = Number(n); },
  click: (s, _, rest) => s.page.locator(rest).click(),
  reset: (s) => s.page.locator(`.zoom-reset[data-zoom-target='${s.frame()}']`).click(),
  async dblclick(s, [at]) { const p = await s.at(at); await s.page.mouse.dblclick(p.x, p.y); },
  async wheel(s, [at, dy, times = "x1"]) {
    const p = await s.at(at);
    await s.page.mouse.move(p.x, p.y);
    for (let i = 0; i < Number(times.slice(1)); i++) await s.page.mouse.wheel(0, Number(dy));
  },
  async drag(s, [from, to, steps, ...more]) {
    const shift = more.includes("shift");
    const times = Number((more.find((m) => m.startsWith("x")) ?? "x1").slice(1));
    for (let i = 0; i < times; i++) await s.drag(await s.at(from), await s.at(to), Number(steps), shift);
  },
  async "box-drag"(s, [from, to]) {
    const [a, b] = [await s.at(from), await s.at(to)];
    await s.drag(a, b, 4, true, async () => {
      const shown = await s.page.locator(`#${s.frame()} .zoom-box`).evaluate((e) => ({
        hidden: e.hidden, left: parseFloat(e.style.left), width: parseFloat(e.style.width) }));
      assert.equal(shown.hidden, false);
      assert.ok(Math.abs(shown.left - (a.x - a.box.x)) < 1.01, `box left ${shown.left}`);
      assert.ok(Math.abs(shown.width - (b.x - a.x)) < 1.01, `box width ${shown.width}`);
    });
  },
  async remember(s, [name]) { s.saved[name] = await s.state(); },
  async same(s, [name]) { assert.deepEqual(await s.state(), s.saved[name]); },
  async differs(s, [name]) { assert.notDeepEqual(await s.state(), s.saved[name]); },
  async "ticks-differ"(s, [name]) { assert.notDeepEqual((await s.state()).ticks, s.saved[name].ticks); },
  async view(s, [lo, hi, tol]) {
    const v = viewOf(await s.state());
    close(v.lo, Number(lo), tol, "low end");
    close(v.hi, Number(hi), tol, "high end");
  },
  async span(s, [ratio, tol]) { const v = viewOf(await s.state()); close(v.hi / v.lo, Number(ratio), tol, "span"); },
  async edge(s, [end, hz, tol]) { close(viewOf(await s.state())[end], Number(hz), tol, `${end} end`); },
  async "span-as"(s, [name, tol]) {
    close(viewOf(await s.state()).decades, viewOf(s.saved[name]).decades, tol, "span in decades");
  },
  async panned(s, [name, fraction, tol]) {
    const [was, now] = [viewOf(s.saved[name]), viewOf(await s.state())];
    close(Math.log10(was.lo / now.lo) / was.decades, Number(fraction), tol, "pan, in spans");
  },
  async ticks(s, labels) { assert.deepEqual((await s.state()).ticks.map((t) => t.label), labels); },
  async "end-label"(s, [label]) { assert.deepEqual((await s.state()).endLabel, label === "none" ? [] : [label]); },
  async minor(s, [n]) { assert.equal((await s.state()).minorVertical, Number(n)); },
  async "same-as-static"(s) {
    const live = await s.state();
    const still = staticChart(readFileSync(join(scratch, s.name), "utf8"), s.chart);
    assert.equal(live.traceName, "ref", "the script's own drawing marks its trace");
    near(live.points.trim().split(/\s+/).map((p) => p.split(",").map(Number)),
      still.points.trim().split(/\s+/).map((p) => p.split(",").map(Number)), "point");
    assert.ok(still.circles.length > 0, "the test signal has peaks");
    near(live.circles, still.circles, "peak");
    for (const key of ["freqLabels", "levelLabels", "endLabel"]) assert.deepEqual(live[key], still[key], key);
  },
  async "no-chart"(s) {
    assert.equal(await s.page.locator(`#${s.frame()} svg`).count(), 0);
    assert.equal(await s.page.locator(`#${s.frame()} p.cv-chart-note`).count(), 1);
  },
  async theme(s, _, rest) {
    const [states, label, icons, background] = rest.split("|").map((part) => part.trim());
    const want = [...states.split(" "), label, ...icons.split(" "), background];
    // A change of system preference reaches the page a moment later.
    await s.page.waitForFunction((text) =>
      document.getElementById("themeToggle").getAttribute("aria-label") === text, label);
    assert.deepEqual(await s.page.evaluate(themeState, THEME_KEY), want);
  },
  store: (s, [value]) => s.page.evaluate(([key, v]) => (v === "-" ? localStorage.removeItem(key)
    : localStorage.setItem(key, v)), [THEME_KEY, value]),
  scheme: (s, [scheme]) => s.page.emulateMedia({ colorScheme: scheme }),
  async title(s, _, rest) { assert.deepEqual((await s.facts()).titles, [textOf(rest)]); },
  async fname(s, _, rest) { assert.deepEqual((await s.facts()).fnames, [textOf(rest)]); },
  async wbr(s, [n]) { assert.deepEqual((await s.facts()).fnameChildren, Array(Number(n)).fill("WBR")); },
  async structure(s, [charts]) {
    const f = await s.facts();
    assert.equal(f.charts, Number(charts));
    assert.deepEqual(f.redrawn, Array(f.charts).fill(1));
    assert.equal(f.scripts, 2 + f.charts);
    assert.equal(f.islands, f.charts);
    assert.equal(f.comments, 0);
  },
  async "structure-as"(s, [page]) {
    await STEPS.structure(s, [String((await s.factsOf(page)).charts)]);
    assert.equal((await s.facts()).tags, (await s.factsOf(page)).tags);
  },
};

// report.steps: the set-up lines, and each test with its steps.
function readTable() {
  const setup = [];
  const tests = [];
  let current = null;
  for (const raw of readFileSync(new URL("report.steps", import.meta.url), "utf8").split("\n")) {
    const line = raw.trimEnd();
    if (line === "") { current = null; continue; }
    if (line.startsWith("#")) continue;
    const [verb, ...words] = line.split(/ +/);
    const step = { verb, words, rest: line.slice(verb.length + 1), line };
    if (verb === "test") tests.push(current = { name: step.rest, steps: [] });
    else if (current) current.steps.push(step);
    else setup.push(step);
  }
  return { setup, tests };
}

const table = readTable();
let browser;
const factsCache = new Map();

before(async () => {
  for (const step of table.setup) {
    assert.ok(SETUP[step.verb], `unknown set-up line: ${step.line}`);
    SETUP[step.verb](step.words);
  }
  browser = await launchBrowser();
});
after(() => browser?.close());

for (const t of table.tests) {
  test(t.name, async () => {
    const s = {
      browser, chart: 0, saved: {}, errors: [],
      frame: () => `ts-spectral-frame-${s.chart}`,
      state: () => s.page.evaluate(chartState, s.frame()),
      facts: () => s.page.evaluate(pageFacts),
      async factsOf(page) {
        if (!factsCache.has(page)) {
          const other = await browser.newPage();
          await other.goto(pathToFileURL(join(scratch, page)).href);
          factsCache.set(page, await other.evaluate(pageFacts));
          await other.close();
        }
        return factsCache.get(page);
      },
      async at(place) {
        const box = await s.page.locator(`#${s.frame()}`).boundingBox();
        const [, from, px] = /^(@|[\d.]+)(?:\+?(-?\d+)px)?$/.exec(place);
        const x = from === "@" ? box.x : box.x + box.width * (LEFT + Number(from) * (RIGHT - LEFT)) / 1000;
        return { x: x + Number(px ?? 0), y: box.y + box.height / 2, box };
      },
      async drag(from, to, steps, shift, during) {
        if (shift) await s.page.keyboard.down("Shift");
        await s.page.mouse.move(from.x, from.y);
        await s.page.mouse.down();
        await s.page.mouse.move(to.x, to.y, { steps });
        if (during) await during();
        await s.page.mouse.up();
        if (shift) await s.page.keyboard.up("Shift");
        if (shift) assert.equal(await s.page.locator(`#${s.frame()} .zoom-box`).isHidden(), true);
      },
    };
    try {
      for (const step of t.steps) {
        assert.ok(STEPS[step.verb], `unknown step: ${step.line}`);
        try {
          await STEPS[step.verb](s, step.words, step.rest);
        } catch (e) {
          e.message = `step "${step.line}": ${e.message}`;
          throw e;
        }
      }
      assert.deepEqual(s.errors, [], "the page logged errors");
    } finally {
      await s.context?.close();
    }
  });
}
