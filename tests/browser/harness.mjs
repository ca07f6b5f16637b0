// Shared by the browser checks and the screenshot: the built binary, the
// fixture maker, a scratch folder and a headless Chromium.
import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync } from "node:fs";
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
export function wavgenPath() {
  if (process.env.TONESIFT_WAVGEN) return process.env.TONESIFT_WAVGEN;
  const candidate = join(dirname(binaryPath()), "tests", "wavgen");
  if (existsSync(candidate)) return candidate;
  throw new Error("wavgen not found: set TONESIFT_WAVGEN");
}

// Runs the binary with --html and returns the page's path and text.
export function buildReport(wavPath, htmlName, args, cwd = undefined) {
  const html = join(scratch, htmlName);
  execFileSync(binaryPath(), ["--input", wavPath, ...args, "--html", html], { stdio: "pipe", cwd });
  return { path: html, url: pathToFileURL(html).href, text: readFileSync(html, "utf8") };
}
