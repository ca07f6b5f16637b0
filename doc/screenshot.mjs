// Writes doc/report.png, the report of the shipped example at 1.0 s, and
// doc/scan.png, the scan's page of it every 10 ms, in headless Chromium at a
// desktop width, light theme. Run from the repository root after a build:
// node doc/screenshot.mjs
import { execFileSync } from "node:child_process";
// playwright-core comes with the browser tests (sh tests/setup.sh).
import { chromium } from "../tests/browser/node_modules/playwright-core/index.mjs";

execFileSync("build/tonesift", ["--input", "examples/chord.wav", "--at", "1.0", "--html", "build/screenshot.html"]);
const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox", "--disable-gpu"] });
const page = await browser.newPage({ viewport: { width: 1280, height: 900 }, colorScheme: "light" });
await page.goto(`file://${process.cwd()}/build/screenshot.html`);
await page.screenshot({ path: "doc/report.png", fullPage: true });
execFileSync("build/tonesift-scan", ["--input", "examples/chord.wav", "--every", "0.01", "--html", "build/scan.html"],
  { stdio: "ignore" });
await page.goto(`file://${process.cwd()}/build/scan.html`);
await page.screenshot({ path: "doc/scan.png", fullPage: true });
await browser.close();
