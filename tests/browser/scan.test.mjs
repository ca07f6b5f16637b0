// The scan's page in headless Chromium: the picture is drawn from the data,
// each peak mark sits at its time and frequency and names itself, zoom, pan,
// box zoom and reset move both axes, and both themes draw.
import { execFileSync } from "node:child_process";
import { mkdtempSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import assert from "node:assert/strict";
import { openPage } from "./browser.mjs";

const dir = mkdtempSync(join(tmpdir(), "tonesift-scan-browser-"));
// Two seconds at 8000 Hz: 500 Hz throughout, 2 kHz from 1 s on.
execFileSync("python3", ["-c", `import math, struct, wave
w = wave.open("step.wav", "wb"); w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
w.writeframes(b"".join(struct.pack("<h", round(16383 * (math.sin(2 * math.pi * 500 * i / 8000)
  + (math.sin(2 * math.pi * 2000 * i / 8000) if i >= 8000 else 0)))) for i in range(16000)))`], { cwd: dir });
execFileSync(process.env.TONESIFT_SCAN, ["--input", "step.wav", "--every", "0.05", "--top", "2", "--html", "step.html"],
  { cwd: dir, stdio: "pipe" });


async function open(t, colorScheme = "light") {
  const page = await openPage(t, join(dir, "step.html"), colorScheme);
  const frame = page.locator(".spectro-frame").first();
  // The view (t0 t1 f0 f1) and the page point of time t and frequency f in it.
  const view = async () => (await frame.getAttribute("data-view")).split(" ").map(Number);
  const point = async (t, f) => {
    const [t0, t1, f0, f1] = await view();
    const [x, y, w, h] = (await frame.getAttribute("data-plot")).split(" ").map(Number);
    const box = await page.locator(".spectro-frame canvas").first().boundingBox();
    return [box.x + x + ((t - t0) / (t1 - t0)) * w, box.y + y + (Math.log10(f1 / f) / Math.log10(f1 / f0)) * h];
  };
  // The canvas pixel (r, g, b) at a page point.
  const pixel = async ([px, py]) => page.evaluate(([px, py]) => {
    const c = document.querySelector(".spectro-frame canvas");
    const r = c.getBoundingClientRect();
    const k = c.width / r.width;
    return [...c.getContext("2d").getImageData(Math.round((px - r.left) * k), Math.round((py - r.top) * k), 1, 1).data]
      .slice(0, 3);
  }, [px, py]);
  // Pixels unlike the canvas's corner within w x h px below the plot at time
  // t (a time label), or left of it at frequency f (a frequency label).
  const ink = async (t, f) => {
    const [px, py] = await p0(t, f);
    return page.evaluate(([px, py, below]) => {
      const c = document.querySelector(".spectro-frame canvas");
      const r = c.getBoundingClientRect();
      const k = c.width / r.width;
      const g = c.getContext("2d");
      const back = g.getImageData(0, 0, 1, 1).data;
      const [x0, y0] = below ? [px - 8, py + 9] : [px - 30, py - 4];
      const d = g.getImageData(Math.round((x0 - r.left) * k), Math.round((y0 - r.top) * k), Math.round(16 * k), Math.round(8 * k)).data;
      let n = 0;
      for (let i = 0; i < d.length; i += 4) if (Math.abs(d[i] - back[0]) + Math.abs(d[i + 1] - back[1]) > 60) n++;
      return n;
    }, [px, py, f === undefined]);
  };
  // The plot's bottom edge at time t, or its left edge at frequency f.
  const p0 = async (t, f) => {
    const [t0, t1] = await view();
    const [x, y, w, h] = (await frame.getAttribute("data-plot")).split(" ").map(Number);
    const box = await page.locator(".spectro-frame canvas").first().boundingBox();
    return f === undefined ? [box.x + x + ((t - t0) / (t1 - t0)) * w, box.y + y + h] : [box.x + x, (await point(t0, f))[1]];
  };
  const tip = async (at) => {
    await page.mouse.move(...at);
    return (await page.locator(".spectro-tip").first().isVisible()) ? page.locator(".spectro-tip").first().textContent() : "";
  };
  return { page, frame, view, point, pixel, tip, ink };
}
const bright = ([r, g, b]) => r + g + b;

test("the levels are drawn from the data: a tone's row is bright where it sounds, dark where it does not", async (t) => {
  const p = await open(t);
  // Time labels every 0.2 s, frequency labels at 1, 2 and 5 times a power of ten.
  assert.deepEqual([await p.ink(1) > 0, await p.ink(1.1), await p.ink(0, 1000) > 0, await p.ink(0, 1400)], [true, 0, true, 0]);
  const [t0, t1, f0, f1] = await p.view();
  assert.deepEqual([t0, t1, f0, f1].map((v) => +v.toFixed(3)), [-0.025, 1.975, 20, 4000]);
  assert.ok(bright(await p.pixel(await p.point(0.5, 500))) > 400);
  assert.ok(bright(await p.pixel(await p.point(1.5, 2000))) > 400);
  assert.ok(bright(await p.pixel(await p.point(0.5, 2000))) < 150);
  assert.ok(bright(await p.pixel(await p.point(0.5, 120))) < 150);
});

test("each peak mark sits at its time and frequency and names them on hover", async (t) => {
  const p = await open(t);
  assert.equal(await p.tip(await p.point(0.5, 500)), "0.500 s \u00b7 500.0 Hz \u00b7 -6.0 dB \u00b7 rank 1");
  assert.equal(await p.tip(await p.point(1.5, 2000)), "1.500 s \u00b7 2000.0 Hz \u00b7 -6.0 dB \u00b7 rank 2");
  assert.equal(await p.tip(await p.point(0.75, 2000)), "");
});

test("wheel zooms both axes around the cursor, a drag pans, shift-drag zooms to the box, reset and double-click restore", async (t) => {
  const p = await open(t);
  const full = await p.view();
  await p.page.mouse.move(...(await p.point(1, 500)));
  await p.page.mouse.wheel(0, -400);
  const z = await p.view();
  assert.ok(z[1] - z[0] < 0.7 * (full[1] - full[0]) && z[3] / z[2] < (full[3] / full[2]) ** 0.7);
  assert.ok(z[0] < 1 && z[1] > 1 && z[2] < 500 && z[3] > 500);
  // The tone stays under the cursor, redrawn at the new scale.
  assert.ok(bright(await p.pixel(await p.point(1, 500))) > 400);
  const [x, y] = await p.point(1, 500);
  await p.page.mouse.move(x, y);
  await p.page.mouse.down();
  await p.page.mouse.move(x + 100, y + 30, { steps: 4 });
  await p.page.mouse.up();
  // What was under the pointer stays under it, at the same scale.
  const panned = await p.view();
  assert.ok(Math.abs(panned[1] - panned[0] - (z[1] - z[0])) < 1e-4);
  const [nx, ny] = await p.point(1, 500);
  assert.ok(Math.abs(nx - x - 100) < 1.5 && Math.abs(ny - y - 30) < 1.5, `${nx - x}, ${ny - y}`);
  await p.page.locator(".zoom-reset").first().click();
  assert.deepEqual(await p.view(), full);
  const [a, b] = [await p.point(0.5, 300), await p.point(1.5, 3000)];
  await p.page.keyboard.down("Shift");
  await p.page.mouse.move(...a);
  await p.page.mouse.down();
  await p.page.mouse.move(...b, { steps: 4 });
  await p.page.mouse.up();
  await p.page.keyboard.up("Shift");
  const boxed = await p.view();
  [0.5, 1.5, 300, 3000].forEach((want, i) => assert.ok(Math.abs(boxed[i] / want - 1) < 0.02, `${boxed} against ${want}`));
  // The axes follow: time labels every 0.1 s now, 1 kHz still labelled.
  assert.ok((await p.ink(1.1)) > 0 && (await p.ink(1.15)) === 0 && (await p.ink(0, 1000)) > 0);
  await p.page.mouse.dblclick(...(await p.point(1, 1000)));
  assert.deepEqual(await p.view(), full);
});

test("both themes draw, and the switch redraws in the other", async (t) => {
  const light = await open(t);
  const dark = await open(t, "dark");
  const corner = async (p) => p.pixel(await p.point(0.5, 30));
  const [l, d] = [await light.pixel(await light.point(1.99, 3990)), await dark.pixel(await dark.point(1.99, 3990))];
  assert.ok(bright(l) > bright(d) + 200, `${l} against ${d}`);
  await light.page.locator("#themeToggle").click();
  assert.deepEqual(await light.pixel(await light.point(1.99, 3990)), d);
  assert.ok(bright(await corner(light)) < 150);
});
