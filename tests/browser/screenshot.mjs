// Writes doc/report.png: the report of the shipped example, opened in
// headless Chromium at a desktop width, light theme.
//
//   node screenshot.mjs [input.wav] [output.png]
import { readFileSync } from "node:fs";
import { join, relative } from "node:path";

import { buildReport, launchBrowser, missingBrowser, repoRoot } from "./harness.mjs";

const input = process.argv[2] || join(repoRoot, "examples", "chord.wav");
const output = process.argv[3] || join(repoRoot, "doc", "report.png");

// Frame count from the RIFF chunks, so the query lands mid-file.
function frameCount(path) {
  const bytes = readFileSync(path);
  let blockAlign = 0;
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = bytes.toString("latin1", at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    if (id === "fmt ") blockAlign = bytes.readUInt16LE(at + 8 + 12);
    if (id === "data" && blockAlign > 0) return Math.floor(Math.min(size, bytes.length - at - 8) / blockAlign);
    at += 8 + size + (size % 2);
  }
  throw new Error(`${path}: no fmt/data chunk`);
}

const missing = await missingBrowser();
if (missing) {
  console.error(`cannot take the screenshot: ${missing}`);
  process.exit(1);
}
// Run from the repository root, so the page shows the path as a reader types it.
const report = buildReport(relative(repoRoot, input), "screenshot.html",
  ["--at-sample", String(Math.floor(frameCount(input) / 2))], repoRoot);
const browser = await launchBrowser();
const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, colorScheme: "light" });
const page = await context.newPage();
await page.goto(report.url);
await page.screenshot({ path: output, fullPage: true });
await browser.close();
console.log(`wrote ${output}`);
