// Runs every command the README shows, so it cannot go stale:
//  - in ```console blocks, each "$ " line is run and its standard output
//    must equal the lines that follow it, byte for byte;
//  - ```sh blocks marked <!-- runnable --> must run with status 0.
// Commands run in a scratch folder that holds the shipped examples, with the
// built binary first on PATH as `tonesift`.
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, symlinkSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { test } from "node:test";
import { fileURLToPath } from "node:url";

const root = join(dirname(fileURLToPath(import.meta.url)), "..", "..");
const bin = process.env.TONESIFT_BIN;
assert.ok(bin, "TONESIFT_BIN must name the built binary");

function blocks(markdown) {
  const lines = markdown.split("\n");
  const found = [];
  for (let i = 0; i < lines.length; ++i) {
    const fence = /^```(\w+)$/.exec(lines[i]);
    if (!fence) continue;
    const start = i + 1;
    let end = start;
    while (end < lines.length && lines[end] !== "```") ++end;
    const runnable = i > 0 && lines[i - 1].trim() === "<!-- runnable -->";
    found.push({ lang: fence[1], line: i + 1, body: lines.slice(start, end), runnable });
    i = end;
  }
  return found;
}

// "$ command" lines with the output lines that follow each.
function sessions(body) {
  const out = [];
  for (const line of body) {
    if (line.startsWith("$ ")) out.push({ command: line.slice(2), expected: [] });
    else if (out.length) out[out.length - 1].expected.push(line);
  }
  return out;
}

const readme = readFileSync(join(root, "README.md"), "utf8");
const all = blocks(readme);
const scratch = mkdtempSync(join(tmpdir(), "tonesift-readme-"));
symlinkSync(join(root, "examples"), join(scratch, "examples"));
const env = { ...process.env, PATH: `${dirname(bin)}:${process.env.PATH}`, LC_ALL: "C" };

function run(script) {
  return spawnSync("bash", ["-o", "pipefail", "-c", script], { cwd: scratch, env, encoding: "utf8" });
}

test("the README shows commands to check", () => {
  assert.ok(all.filter((b) => b.lang === "console").length >= 5);
  assert.ok(all.filter((b) => b.runnable).length >= 2);
});

for (const block of all.filter((b) => b.lang === "console")) {
  for (const { command, expected } of sessions(block.body)) {
    test(`README line ${block.line}: ${command}`, () => {
      const r = run(command);
      assert.equal(r.stdout, expected.join("\n") + "\n", r.stderr);
    });
  }
}

for (const block of all.filter((b) => b.runnable)) {
  test(`README line ${block.line}: runnable ${block.lang} block`, () => {
    const r = run(`set -eu\n${block.body.join("\n")}`);
    assert.equal(r.status, 0, `${r.stdout}\n${r.stderr}`);
  });
}

test("the runnable blocks wrote what they promise", () => {
  const csv = readFileSync(join(scratch, "chord-peaks.csv"), "utf8").split("\n");
  assert.equal(csv[0], "channel,rank,frequency_hz,level_db");
  const dominant = readFileSync(join(scratch, "dominant.csv"), "utf8").trim().split("\n").sort();
  assert.deepEqual(dominant.map((l) => l.split(",")[0]), [
    "examples/between_bins.wav", "examples/chord.wav", "examples/quad.wav"]);
  assert.match(readFileSync(join(scratch, "chord.html"), "utf8"), /^<!doctype html>/);
  execFileSync("rm", ["-rf", scratch]);
});

process.on("exit", () => rmSync(scratch, { recursive: true, force: true }));
