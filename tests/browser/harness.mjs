// Shared set-up for the browser tests: the built binary, WAV files made by
// the fixture maker, report pages written by the binary, and a headless Chromium.
import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
export const repoRoot = resolve(here, "..", "..");
export const CHROMIUM_PATH = process.env.TONESIFT_CHROMIUM || "/usr/bin/chromium";

// The binary under test: TONESIFT_BIN (set by CTest), else a local build.
export function binaryPath() {
  if (process.env.TONESIFT_BIN) return process.env.TONESIFT_BIN;
  for (const dir of ["build", "build-report", "build-release"]) {
    const candidate = join(repoRoot, dir, "tonesift");
    if (existsSync(candidate)) return candidate;
  }
  throw new Error("tonesift binary not found: set TONESIFT_BIN");
}

// Why the browser tests cannot run here, or null when they can.
export async function missingBrowser() {
  if (!existsSync(CHROMIUM_PATH)) return `chromium not found at ${CHROMIUM_PATH} (apt-get install chromium)`;
  try {
    await import("playwright-core");
  } catch {
    return "playwright-core not installed (run npm install in tests/browser)";
  }
  return null;
}

// The browser tests never skip: without a browser they fail, saying what
// to install (tests/setup.sh installs both).
export async function requireBrowser() {
  const missing = await missingBrowser();
  if (missing) throw new Error(`browser tests cannot run: ${missing}`);
}

// Opens `url` in a fresh context (its own local storage and colour scheme),
// collecting console errors and uncaught exceptions in `errors`.
export async function openPage(browser, url, options = {}) {
  const context = await browser.newContext(options);
  const page = await context.newPage();
  const errors = [];
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  page.on("pageerror", (e) => errors.push(String(e)));
  await page.goto(url);
  return { page, context, errors };
}

// Playwright's launch() already gives every browser a fresh temporary profile.
export async function launchBrowser() {
  const { chromium } = await import("playwright-core");
  return chromium.launch({
    executablePath: CHROMIUM_PATH,
    headless: true,
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
    ],
  });
}

export const scratch = mkdtempSync(join(tmpdir(), "tonesift-browser-"));

// The test tree's fixture maker: TONESIFT_WAVGEN (set by CTest), else a local build.
function wavgenPath() {
  if (process.env.TONESIFT_WAVGEN) return process.env.TONESIFT_WAVGEN;
  const candidate = join(dirname(binaryPath()), "tests", "wavgen");
  if (existsSync(candidate)) return candidate;
  throw new Error("wavgen not found: set TONESIFT_WAVGEN");
}

// 16-bit PCM file of summed sines, one list of [frequency, amplitude] per channel.
export function writeToneWav(name, rate, seconds, channelTones) {
  const path = join(scratch, name);
  const tones = channelTones.flatMap((list, c) => list.map(([f, a]) => `tone=${c}:${f}:${a}`));
  execFileSync(wavgenPath(), [path, "i16", `rate=${rate}`, `ch=${channelTones.length}`,
    `frames=${Math.round(rate * seconds)}`, ...tones], { stdio: "pipe" });
  return path;
}

// Runs the binary with --html and returns the page's path and text.
export function buildReport(wavPath, htmlName, args, cwd = undefined) {
  const html = join(scratch, htmlName);
  execFileSync(binaryPath(), ["--input", wavPath, ...args, "--html", html], { stdio: "pipe", cwd });
  return { path: html, url: pathToFileURL(html).href, text: readFileSync(html, "utf8") };
}

export function writePage(name, text) {
  const path = join(scratch, name);
  writeFileSync(path, text);
  return pathToFileURL(path).href;
}
