// Report pages written for input paths full of markup, quotes, backslashes,
// control bytes, invalid UTF-8 and great length: the browser must parse the
// same document as for a plain name, show the path as text, and redraw the charts.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdirSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { after, before, describe, test } from "node:test";

import { binaryPath, launchBrowser, openPage, scratch, requireBrowser, writeToneWav } from "./harness.mjs";

await requireBrowser();

const bytes = (...parts) => Buffer.concat(parts.map((p) => Buffer.from(p)));
const deep = "d".repeat(200);
const longDirs = Array.from({ length: 19 }, () => deep).join("/");

// rel: the input path as bytes, relative to the working directory; text: the
// path as the browser shows it; stem: the title's stem.
const CASES = [
  { rel: bytes("tag<b>&amp;\"q\" 'a'</script><!--c-->.wav"), stem: "script><!--c-->" },
  { rel: bytes("<script>alert(1)<!--&lt;.x.wav"), stem: "<script>alert(1)<!--&lt;.x" },
  { rel: bytes("win\\dir\\<i>&\\x'y\".z.wav"), stem: "x'y\".z" },
  { rel: bytes("ctl\t\n", [0x01, 0x7f], "end.wav"), stem: "ctl\t\n\x01\x7fend" },
  // A lone lead byte and a byte that never occurs in UTF-8 each decode to U+FFFD.
  { rel: bytes("bad", [0xff], "-", [0xc3], ".wav"), text: "bad\uFFFD-\uFFFD.wav", stem: "bad\uFFFD-\uFFFD" },
  { rel: bytes(`${longDirs}/long & <b>.wav`), stem: "long & <b>" },
];

// Runs the binary with arguments passed as raw bytes: xargs -0 hands each
// NUL-terminated item over unchanged, which a JavaScript string cannot.
function runRaw(args, cwd) {
  const input = Buffer.concat(args.flatMap((a) => [Buffer.from(a), Buffer.from([0])]));
  execFileSync("xargs", ["-0", binaryPath()], { input, cwd, stdio: ["pipe", "pipe", "pipe"] });
}

// Everything the page is made of, read in the browser after the scripts ran.
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
    // The static chart has no trace marker; the script's drawing does.
    redrawn: frames.map((f) => f.querySelectorAll("svg polyline[data-trace='ref']").length),
  };
}

describe("report pages for hostile input paths", () => {
  const dir = join(scratch, "hostile");
  let browser;
  let plain;

  before(async () => {
    mkdirSync(dir, { recursive: true });
    const wav = writeToneWav("hostile-src.wav", 8000, 1.0, [[[1000, 0.5]], [[2500, 0.3], [600, 0.2]]]);
    copyFileSync(wav, join(dir, "plain.wav"));
    CASES.forEach((c, i) => {
      const cut = c.rel.lastIndexOf(0x2f);
      if (cut > 0) mkdirSync(Buffer.concat([Buffer.from(dir + "/"), c.rel.subarray(0, cut)]), { recursive: true });
      copyFileSync(wav, Buffer.concat([Buffer.from(dir + "/"), c.rel]));
      runRaw(["--input", c.rel, "--at", "0.5", "--window-samples", "1024", "--html", `case${i}.html`], dir);
    });
    runRaw(["--input", "plain.wav", "--at", "0.5", "--window-samples", "1024", "--html", "plain.html"], dir);
    browser = await launchBrowser();
    plain = await facts("plain.html");
  });

  after(async () => {
    if (browser) await browser.close();
  });

  async function facts(name) {
    const { page, context, errors } = await openPage(browser, pathToFileURL(join(dir, name)).href);
    const result = { ...(await page.evaluate(pageFacts)), errors };
    await context.close();
    return result;
  }

  test("the plain report has two live charts and no injected parts", () => {
    assert.deepEqual(plain.titles, ["plain -- tonesift"]);
    assert.deepEqual(plain.fnames, ["plain.wav"]);
    assert.equal(plain.charts, 2);
    assert.equal(plain.scripts, 2 + plain.charts);
    assert.equal(plain.islands, plain.charts);
    assert.deepEqual(plain.redrawn, [1, 1]);
    assert.equal(plain.comments, 0);
    assert.deepEqual(plain.errors, []);
  });

  CASES.forEach((c, i) => {
    const shown = c.text ?? c.rel.toString("utf8");
    test(`path ${JSON.stringify(shown.slice(0, 60))} stays text`, async () => {
      const got = await facts(`case${i}.html`);
      assert.deepEqual(got.titles, [`${c.stem} -- tonesift`]);
      assert.deepEqual(got.fnames, [shown]);
      const separators = [...c.rel].filter((b) => b === 0x2f || b === 0x5c).length;
      assert.deepEqual(got.fnameChildren, Array(separators).fill("WBR"));
      assert.equal(got.tags, plain.tags);
      assert.equal(got.comments, 0);
      assert.equal(got.scripts, 2 + got.charts);
      assert.equal(got.islands, got.charts);
      assert.equal(got.charts, 2);
      assert.deepEqual(got.redrawn, [1, 1]);
      assert.deepEqual(got.errors, []);
    });
  });
});
