// Validates documents against the view schemas with a draft 2020-12 validator (ajv):
// - FILE: one document, its schema chosen by the first word of its name (table, plot, scatter,
//   tree, scene, post), or by KIND= before it (scene=/tmp/device.json);
// - --docs DIR: every document in the folder, chosen the same way, as the demo's --out and the
//   browser test write them; a folder without documents fails, and so does one without each of
//   the kinds that --kinds, right after it, lists;
// - --golden DIR: the view documents among the golden texts of the library's tests
//   (tests/golden), of which the few the library writes only when misused are listed below and
//   must be rejected;
// - --wrong: the wrong documents of check/wrong.mjs, each of which must be rejected where it
//   says.
// Prints each failure and a closing "N passed, N failed"; exits 1 on any failure.
//
// Usage: node tools/validate.mjs [--golden DIR] [--wrong] [--docs DIR [--kinds K,..]]... [FILE]...
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import Ajv2020 from 'ajv/dist/2020.js';
import { valid, wrong } from '../check/wrong.mjs';

const root = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
let goldenDir = null;
let wrongDocs = false;
const docDirs = [];
const files = [];
for (let args = process.argv.slice(2); args.length > 0;) {
  const arg = args.shift();
  if (arg === '--golden') goldenDir = args.shift();
  else if (arg === '--wrong') wrongDocs = true;
  else if (arg === '--docs') docDirs.push({ dir: args.shift(), kinds: [] });
  else if (arg === '--kinds' && docDirs.length > 0) docDirs.at(-1).kinds = args.shift().split(',');
  else if (!arg.startsWith('--')) files.push(arg);
  else {
    console.error('usage: node tools/validate.mjs [--golden DIR] [--wrong] [--docs DIR [--kinds K,..]]... [[KIND=]FILE]...');
    process.exit(2);
  }
}

// tsType only shapes the generated types.
const ajv = new Ajv2020({ allErrors: true, strict: true, allowUnionTypes: true });
ajv.addKeyword('tsType');
const names = readdirSync(root).filter((f) => f.endsWith('.schema.json')).map((f) => f.replace(/\.schema\.json$/, ''));
for (const name of names) ajv.addSchema(JSON.parse(readFileSync(path.join(root, `${name}.schema.json`), 'utf8')), name);
const validator = (ref) => {
  const [name, pointer] = ref.split('#');
  return ajv.getSchema(pointer ? `urn:webjson:schema:${name}#${pointer}` : name);
};

let passed = 0;
let failed = 0;
function expect(ok, what, errors) {
  if (ok) {
    passed += 1;
    return;
  }
  failed += 1;
  console.log(`FAIL ${what}`);
  for (const e of (errors || []).slice(0, 6)) console.log(`     ${e.instancePath || '/'} ${e.message}`);
}
function check(ref, doc, what) {
  const validate = validator(ref);
  expect(validate(doc), `${what}: not a valid ${ref}`, validate.errors);
}

// Schemas by the first word of a document's file name: the demo's document names and posts.
const byWord = { table: ['table'], plot: ['plot'], scatter: ['plot'], tree: ['tree', 'service-tree'], scene: ['scene'], post: ['scene-post'] };
function checkFile(file, word) {
  const refs = byWord[word];
  if (!refs) {
    expect(false, `${file}: no schema for "${word}" (name it table, plot, scatter, tree, scene or post)`);
    return;
  }
  let doc;
  try {
    doc = JSON.parse(readFileSync(file, 'utf8'));
  } catch (error) {
    expect(false, `${file}: not JSON: ${error.message}`);
    return;
  }
  for (const ref of refs) check(ref, doc, file);
}
const firstWord = (file) => path.basename(file).split(/[-_.]/)[0];

for (const arg of files) {
  const [word, file] = /^[a-z]+=/.test(arg) ? arg.split(/=(.*)/s) : [firstWord(arg), arg];
  checkFile(file, word);
}

for (const { dir, kinds } of docDirs) {
  const found = readdirSync(dir).filter((f) => f.endsWith('.json')).sort();
  expect(found.length > 0, `${dir}: no documents`);
  const counts = {};
  for (const file of found) {
    counts[firstWord(file)] = (counts[firstWord(file)] || 0) + 1;
    checkFile(path.join(dir, file), firstWord(file));
  }
  for (const kind of kinds) expect(counts[kind] > 0, `${dir}: no ${kind} document`);
  console.log(`${dir}: ${Object.entries(counts).map(([w, n]) => `${n} ${w}`).join(', ')}`);
}

// --- golden texts: each file an array of documents ---
const goldenSchemas = {
  'table.json': () => ['table'],
  'plots.json': () => ['plot'],
  'trees.json': (doc) => (doc.type === 'transport' ? ['tree', 'service-tree'] : ['tree']),
  'scenes.json': () => ['scene'],
  'scene_attributes.json': () => ['scene#/$defs/attribute'],
  // Documents of the core's own nodes, no view's.
  'sample_full.json': () => [],
};
// What the library writes only when misused; a view has no use for it.
const notForViews = [
  { file: 'plots.json', index: 6, has: '"series":[{"name":"n"}]', why: 'a plot of neither kind: a series with no points' },
  { file: 'scenes.json', index: 2, has: '{}', why: 'a scene in request mode writes {}' },
  { file: 'scenes.json', index: 5, has: '"width":-2147483648', why: 'sizes and positions past 2^31 - 1 wrap to negative numbers' },
  { file: 'scene_attributes.json', index: 24, has: '{"action":', why: 'an attribute whose members the caller cleared' },
];
if (goldenDir) {
  const present = readdirSync(goldenDir);
  for (const file of present.filter((f) => f.endsWith('.json')).sort()) {
    const schemasOf = goldenSchemas[file];
    if (!schemasOf) {
      expect(false, `golden ${file}: not known here as a view document or not; list it in tools/validate.mjs`);
      continue;
    }
    JSON.parse(readFileSync(path.join(goldenDir, file), 'utf8')).forEach((doc, index) => {
      const what = `golden ${file}[${index}]`;
      const misuse = notForViews.find((n) => n.file === file && n.index === index);
      if (misuse) {
        expect(JSON.stringify(doc).includes(misuse.has), `${what}: expected the document where ${misuse.why} (${misuse.has})`);
        for (const ref of schemasOf(doc)) expect(!validator(ref)(doc), `${what}: ${ref} accepts what ${misuse.why}`);
        return;
      }
      for (const ref of schemasOf(doc)) check(ref, doc, what);
    });
  }
  for (const file of Object.keys(goldenSchemas)) expect(present.includes(file), `golden ${file}: missing`);
}

// --- wrong documents ---
if (wrongDocs) {
  const ref = (name) => (name === 'scatter' ? 'plot' : name);
  for (const [name, base] of Object.entries(valid)) check(ref(name), base, `check/wrong.mjs: the valid ${name}`);
  for (const [name, what, change, where] of wrong) {
    const doc = structuredClone(valid[name]);
    change(doc);
    const validate = validator(ref(name));
    const accepted = validate(doc);
    const located = !accepted && validate.errors.some((e) => e.instancePath === where);
    expect(located, `${name}, ${what}: ${accepted ? 'accepted' : `rejected elsewhere than ${where || '/'}`}`, validate.errors);
  }
}

console.log(`schema checks: ${passed} passed, ${failed} failed`);
process.exit(failed > 0 ? 1 : 0);
