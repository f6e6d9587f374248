// three.js's STLLoader reads what meshtomagics writes: every facet gets the colour it
// had in meshpix (its five-bit channels over 31), or the object's colour from the
// header (the bytes over 255) where it had none, and the vertices come through as given.
//
// usage: node threejs_colours.mjs bin_dir three_package_dir
// Exits with 77 (skipped) when the package `three` cannot be found.
import { spawnSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [binDir, threeDir] = process.argv.slice(2);

function findThree() {
  const places = [threeDir];
  const npm = spawnSync('npm', ['root', '-g'], { encoding: 'utf8' });
  if (npm.status === 0) places.push(path.join(npm.stdout.trim(), 'three'));
  return places.find((p) => p && existsSync(path.join(p, 'examples/jsm/loaders/STLLoader.js')));
}

const three = findThree();
if (!three) {
  console.log('three.js not found: skipped');
  process.exit(77);
}
const { STLLoader } = await import(pathToFileURL(path.join(three, 'examples/jsm/loaders/STLLoader.js')));
const { Color, SRGBColorSpace } = await import(pathToFileURL(path.join(three, 'build/three.module.js')));

// A meshpix model of 3000 facets (150 kB, past 64 KiB): every fifth facet has no colour
// (word 0), every fifth after it the colourless word 0x7FFF, the rest a colour word.
const facets = 3000;
const words = [];
const model = Buffer.alloc(84 + 50 * facets);
model.writeUInt32LE(facets, 80);
for (let i = 0; i < facets; i++) {
  const word = i % 5 === 0 ? 0 : i % 5 === 1 ? 0x7fff : 0x8000 | ((i * 7919) & 0x7fff);
  words.push(word);
  const at = 84 + 50 * i;
  // Stored normal 0 0 0: the reader keeps the vertex order as given.
  const v = [i, 0, 0, i + 1, 0.5, 0, i, 1, 0.25 * (i % 4)];
  v.forEach((c, k) => model.writeFloatLE(c, at + 12 + 4 * k));
  model.writeUInt16LE(word, at + 48);
}

let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    if (failures <= 20) console.log('FAIL ' + what);
  }
}

for (const object of [[200, 100, 7], null]) {
  const args = object ? ['-', ...object.map(String), '-'] : ['-', '-'];
  const run = spawnSync(path.join(binDir, 'meshtomagics'), args, { input: model, maxBuffer: 1 << 26 });
  if (run.status !== 0) {
    console.log(`meshtomagics ${args.join(' ')}: status ${run.status}: ${run.stderr}`);
    process.exit(1);
  }
  const out = run.stdout;
  const geometry = new STLLoader().parse(out.buffer.slice(out.byteOffset, out.byteOffset + out.length));
  const rgb = object ?? [255, 255, 255];
  check(geometry.hasColors === true, 'no colours found');
  check(geometry.alpha === 1, `alpha ${geometry.alpha}`);
  const position = geometry.getAttribute('position');
  const colour = geometry.getAttribute('color');
  check(position.count === 3 * facets, `vertex count ${position.count}`);
  if (!colour) process.exit(1);
  const seen = new Color();
  const back = { r: 0, g: 0, b: 0 };
  for (let i = 0; i < facets; i++) {
    const w = words[i];
    const want = w & 0x8000
      ? [((w >> 10) & 31) / 31, ((w >> 5) & 31) / 31, (w & 31) / 31]
      : rgb.map((c) => c / 255);
    for (let k = 0; k < 3; k++) {
      const j = 3 * i + k;
      // The loader keeps colours in linear light; back to sRGB to compare.
      seen.setRGB(colour.getX(j), colour.getY(j), colour.getZ(j)).getRGB(back, SRGBColorSpace);
      const got = [back.r, back.g, back.b];
      check(got.every((c, n) => Math.abs(c - want[n]) < 1e-4),
        `facet ${i} vertex ${k}: word ${w.toString(16)} colour ${got} expected ${want}`);
      for (let n = 0; n < 3; n++) {
        const expected = model.readFloatLE(84 + 50 * i + 12 + 12 * k + 4 * n);
        check(position.array[3 * j + n] === expected, `facet ${i} vertex ${k} coordinate ${n}`);
      }
    }
  }
  console.log(`object colour ${rgb.join(' ')}: ${facets} facets checked`);
}
console.log(failures === 0 ? '1 passed, 0 failed' : `0 passed, 1 failed (${failures} faults)`);
process.exit(failures === 0 ? 0 : 1);
