// Shared set-up for the browser tests: the built binary, WAV files made in
// code, report pages written by the binary, and a headless Chromium.
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

// 16-bit PCM file of summed sines, one list of [frequency, amplitude] per channel.
export function writeToneWav(name, rate, seconds, channelTones) {
  const frames = Math.round(rate * seconds);
  const channels = channelTones.length;
  const data = Buffer.alloc(frames * channels * 2);
  for (let i = 0; i < frames; i++) {
    for (let c = 0; c < channels; c++) {
      let v = 0;
      for (const [f, a] of channelTones[c]) v += a * Math.sin((2 * Math.PI * f * i) / rate);
      data.writeInt16LE(Math.max(-32768, Math.min(32767, Math.round(v * 32767))), (i * channels + c) * 2);
    }
  }
  const header = Buffer.alloc(44);
  header.write("RIFF", 0);
  header.writeUInt32LE(36 + data.length, 4);
  header.write("WAVE", 8);
  header.write("fmt ", 12);
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(channels, 22);
  header.writeUInt32LE(rate, 24);
  header.writeUInt32LE(rate * channels * 2, 28);
  header.writeUInt16LE(channels * 2, 32);
  header.writeUInt16LE(16, 34);
  header.write("data", 36);
  header.writeUInt32LE(data.length, 40);
  const path = join(scratch, name);
  writeFileSync(path, Buffer.concat([header, data]));
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
