// The headless browser both suites share, closed after them, and pages on it
// whose script errors and console errors fail the test that opened them.
import { after } from "node:test";
import assert from "node:assert/strict";
import { chromium } from "playwright-core";

const browser = await chromium.launch({ executablePath: process.env.TONESIFT_CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking"] });
after(() => browser.close());

export async function openPage(t, path, colorScheme) {
  const context = await browser.newContext({ viewport: { width: 1200, height: 900 }, colorScheme });
  const page = await context.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => m.type() === "error" && errors.push(m.text()));
  t.after(() => assert.deepEqual(errors, []));
  await page.goto("file://" + path);
  return page;
}
