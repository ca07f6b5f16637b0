// The report page in headless Chromium: the script redraws each chart as the
// page drew it, and zooms, pans, resets and switches themes as a reader does.
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import assert from "node:assert/strict";
import { openPage } from "./browser.mjs";

const dir = mkdtempSync(join(tmpdir(), "tonesift-browser-"));
const report = (name, wav, query) => {
  execFileSync(process.env.TONESIFT_WAVGEN, [`${name}.wav`, ...wav.split(" ")], { cwd: dir });
  execFileSync(process.env.TONESIFT_BIN, ["--input", `${name}.wav`, ...query.split(" "), "--html", `${name}.html`],
    { cwd: dir, stdio: "pipe" });
};
report("tones", "rate=96000 ch=2 frames=96000 tone=0:100:0.2 tone=0:1000:0.3 tone=0:5000:0.2 tone=0:15000:0.1 " +
  "tone=1:440:0.4 tone=1:3000:0.2", "--at 0.5 --window-samples 8192 --top 8");
// 30250 Hz / 1000 is exactly 30.25: both drawings keep the even digit.
report("tie", "rate=60500 frames=12100 tone=0:1000:0.3", "--at 0.1");
report("short", "frames=480 tone=0:1000:0.5", "--at-sample 10");
writeFileSync(join(dir, "decade.html"), readFileSync(join(dir, "tones.html"), "utf8")
  .replaceAll('"freqMinHz":20.0', '"freqMinHz":1000.0').replaceAll('"nyquistHz":48000.000', '"nyquistHz":2000.000'));


// A page of `name` whose errors fail the test; `chart(i)` reads chart i.
async function open(t, name, colorScheme = "light") {
  const page = await openPage(t, join(dir, name), colorScheme);
  // Chart i as text (every element and its attributes), its tick labels and
  // the view lo..hi solved from two major ticks of the log axis; as the
  // script drew it, or with `asDrawn` as the page itself drew it.
  const chart = async (i = 0, asDrawn = false) => page.evaluate(([i, text]) => {
    const root = text ? new DOMParser().parseFromString(text, "text/html") : document;
    const f = root.querySelectorAll(".zoom-frame")[i];
    const svg = f.querySelector("svg");
    const d = JSON.parse(f.querySelector("script").textContent);
    const els = [...svg.children].map((e) => e.tagName + [...e.attributes].filter((a) => a.name !== "data-trace")
      .map((a) => a.name + "=" + a.value).sort().join(" ") + ">" + e.textContent);
    const axis = [...svg.querySelectorAll("text")].filter((e) => parseFloat(e.getAttribute("y")) === 290);
    const ticks = axis.filter((e) => e.getAttribute("text-anchor") === "middle").map((e) =>
      [parseFloat(e.textContent) * (e.textContent.endsWith("k") ? 1000 : 1), parseFloat(e.getAttribute("x"))]);
    const [[f1, x1], [f2, x2]] = [ticks[0], ticks[ticks.length - 1]];
    const s = (x2 - x1) / (Math.log10(f2) - Math.log10(f1));
    const lo = Math.log10(f1) - (x1 - d.chartLeft) / s;
    return { els, labels: axis.map((e) => e.textContent),
      minor: svg.querySelectorAll('line[opacity="0.55"][stroke="var(--line-strong)"]').length,
      lo: 10 ** lo, hi: 10 ** (lo + (d.chartRight - d.chartLeft) / s) };
  }, [i, asDrawn ? readFileSync(join(dir, name), "utf8") : null]);
  const drawn = async (i = 0) => (await chart(i, true)).els;
  // A point of the first chart at fraction `u` of its plot (0 left edge, 1 right).
  const at = async (u) => {
    const box = await page.locator(".zoom-frame").first().boundingBox();
    return [box.x + box.width * (0.058 + 0.932 * u), box.y + box.height / 2];
  };
  const drag = async (u1, u2, { shift = false, px = 0 } = {}) => {
    const [x1, y] = await at(u1);
    const x2 = px ? x1 + px : (await at(u2))[0];
    if (shift) await page.keyboard.down("Shift");
    await page.mouse.move(x1, y);
    await page.mouse.down();
    await page.mouse.move(x2, y, { steps: 4 });
    await page.mouse.up();
    if (shift) await page.keyboard.up("Shift");
  };
  const wheel = async (u, dy, times = 1) => {
    const [x, y] = await at(u);
    await page.mouse.move(x, y);
    for (let k = 0; k < times; k++) await page.mouse.wheel(0, dy);
  };
  return { page, chart, drawn, at, drag, wheel };
}

// Two pictures are the same when they hold the same elements (in any order:
// the script draws the axis titles last), attributes and texts, numbers to
// the page's two decimals (the script's levels come from the page's, which
// are rounded to two decimals too).
function same(got, want, what = "") {
  const split = (els) => els.map((e) => [e.replace(/-?\d+(\.\d+)?/g, "#").replace(/\s+/g, " ").replace(/ >/, ">"),
    (e.match(/-?\d+(\.\d+)?/g) || []).map(Number), e]).sort((a, b) => (a[0] + a[2] < b[0] + b[2] ? -1 : 1));
  const [g, w] = [split(got), split(want)];
  assert.equal(g.length, w.length, `${what}: ${g.length} elements against ${w.length}`);
  g.forEach(([t, ns, e], i) => {
    const k = t === w[i][0] ? ns.findIndex((n, k) => !(Math.abs(n - w[i][1][k]) <= 0.0151)) : 0;
    assert.ok(k < 0, `${what}: number ${k} of ${e.slice(0, 120)}: ${ns[k]} against ${w[i][1][k]}`);
  });
}
const near = (got, want, tol) => assert.ok(Math.abs(got / want - 1) <= tol, `${got} is not within ${tol} of ${want}`);
const shows = (c, lo, hi, tol) => { near(c.lo, lo, tol); near(c.hi, hi, tol); };

test("at load the script draws each chart as the page did, ties and all", async (t) => {
  for (const [name, charts] of [["tones.html", 2], ["tie.html", 1], ["short.html", 0]]) {
    const p = await open(t, name);
    assert.equal(await p.page.locator(".zoom-frame svg").count(), charts);
    for (let i = 0; i < charts; i++) same((await p.chart(i)).els, await p.drawn(i), `${name} chart ${i}`);
  }
});

test("wheel zooms around the cursor and out to the whole range; a drag pans with a constant span and stops at both ends", async (t) => {
  const p = await open(t, "tones.html");
  await p.wheel(0.6, -300);
  const c = await p.chart();
  shows(c, 108.634, 15534, 0.01);
  assert.ok(!c.labels.includes("48.0k"));
  await p.wheel(0.6, 400, 4);
  shows(await p.chart(), 20, 48000, 0.002);
  await p.wheel(0.5, -600);
  const z = await p.chart();
  const span = (c) => Math.log10(c.hi / c.lo);
  await p.drag(0.5, 0.6);
  const moved = await p.chart();
  near(span(moved), span(z), 0.002);
  near(Math.log10(z.lo / moved.lo) / span(z), 0.1, 0.02);
  await p.drag(0.02, 0.98);
  await p.drag(0.02, 0.98);
  near((await p.chart()).lo, 20, 0.002);
  await p.drag(0.98, 0.02);
  await p.drag(0.98, 0.02);
  const end = await p.chart();
  near(end.hi, 48000, 0.002);
  near(span(end), span(z), 0.002);
  // Inside one decade the ticks are linear.
  const dc = await (await open(t, "decade.html")).chart();
  assert.deepEqual(dc.labels, ["1k", "1.2k", "1.4k", "1.6k", "1.8k", "2k"]);
  assert.equal(dc.minor, 0);
});

test("shift-drag zooms to the box either way round, above 4 px only; reset and double-click restore one chart", async (t) => {
  const p = await open(t, "tones.html");
  const full = await p.drawn();
  await p.drag(0.25, 0, { shift: true, px: 4 });
  same((await p.chart()).els, full);
  await p.drag(0.25, 0.5, { shift: true });
  const box = await p.chart();
  shows(box, 139.985, 979.796, 0.01);
  await p.page.click('.zoom-reset[data-zoom-target="ts-spectral-frame-0"]');
  same((await p.chart()).els, full);
  await p.drag(0.5, 0.25, { shift: true });
  assert.deepEqual((await p.chart()).els, box.els);
  const [x, y] = await p.at(0.7);
  await p.page.mouse.dblclick(x, y);
  same((await p.chart()).els, full);
  same((await p.chart(1)).els, await p.drawn(1));
});

test("the theme follows the system until chosen, and the choice is kept", async (t) => {
  const look = (p) => p.page.evaluate(() => [document.documentElement.getAttribute("data-theme"),
    localStorage.getItem("corvane-report-theme"), document.getElementById("themeToggle").getAttribute("aria-label"),
    getComputedStyle(document.body).backgroundColor]);
  const p = await open(t, "tones.html");
  assert.deepEqual(await look(p), [null, null, "Switch to dark theme", "rgb(238, 241, 244)"]);
  await p.page.click("#themeToggle");
  await p.page.reload();
  assert.deepEqual(await look(p), ["dark", "dark", "Switch to light theme", "rgb(14, 19, 24)"]);
  const d = await open(t, "tones.html", "dark");
  assert.deepEqual(await look(d), [null, null, "Switch to light theme", "rgb(14, 19, 24)"]);
  await d.page.click("#themeToggle");
  assert.deepEqual(await look(d), ["light", "light", "Switch to dark theme", "rgb(238, 241, 244)"]);
});
