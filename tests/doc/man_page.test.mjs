// The manual page renders without warnings and documents what the program
// really offers: every option of the usage text, and every error message.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { readFileSync, readdirSync } from "node:fs";
import { dirname, join } from "node:path";
import { test } from "node:test";
import { fileURLToPath } from "node:url";

const root = join(dirname(fileURLToPath(import.meta.url)), "..", "..");
const page = join(root, "doc", "tonesift.1");
const bin = process.env.TONESIFT_BIN;

function render() {
  const r = spawnSync("man", ["--warnings", "-l", page], {
    encoding: "utf8",
    env: { ...process.env, MANWIDTH: "100", MAN_KEEP_FORMATTING: "", LC_ALL: "C.UTF-8" },
  });
  return r;
}

test("groff reports no warnings", () => {
  const r = spawnSync("groff", ["-ww", "-man", "-z", page], { encoding: "utf8" });
  assert.equal(r.status, 0);
  assert.equal(r.stderr, "");
});

test("man renders it without warnings", () => {
  const r = render();
  assert.equal(r.status, 0, r.stderr);
  assert.equal(r.stderr, "");
  assert.match(r.stdout, /^TONESIFT\(1\)/);
});

// Text without the backspace overstriking some renderers use for bold.
const text = render().stdout.replace(/.\x08/g, "").replace(/\u2010/g, "-").replace(/\s+/g, " ");

test("every option of the usage text is documented", () => {
  const usage = spawnSync(bin, ["--help"], { encoding: "utf8" }).stdout;
  const options = new Set(usage.match(/(?<![\w-])--?[a-z][a-z-]*/g));
  assert.ok(options.size >= 11, [...options].join(" "));
  for (const option of [...options, "--help", "-h", "--version"]) {
    assert.ok(text.includes(`${option} `) || text.includes(`${option},`), `${option} is missing`);
  }
});

test("every error message of the program is documented", () => {
  const cli = readdirSync(join(root, "src", "cli")).map((f) => readFileSync(join(root, "src", "cli", f), "utf8"));
  const wav = readFileSync(join(root, "src", "wav", "wav_load.cpp"), "utf8");
  const literals = [...cli, wav].join("\n").match(/"error: [^"]*"|"not a supported[^"]*"|"contains NaN[^"]*"/g);
  assert.ok(literals.length >= 10);
  for (const literal of literals) {
    // The fixed text before the first conversion or line break.
    const fixed = literal.slice(1, -1).split(/%|\\n/)[0].replace(/\s+/g, " ");
    assert.ok(text.includes(fixed), `"${fixed}" is not in the manual page`);
  }
});
