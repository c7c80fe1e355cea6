// Writes types/<name>.d.ts from each <name>.schema.json beside this folder's parent. With
// --check it writes nothing and fails when a kept file differs from what the schema gives
// (a schema changed without its types).
import { readdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { compileFromFile } from 'json-schema-to-typescript';

const root = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const check = process.argv.includes('--check');
const stale = [];

for (const file of readdirSync(root).filter((f) => f.endsWith('.schema.json')).sort()) {
  const name = file.replace(/\.schema\.json$/, '');
  const banner = `// The ${name} vocabulary as TypeScript types, generated from schema/${file} by\n`
    + '// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.';
  const text = await compileFromFile(path.join(root, file), {
    cwd: root,
    bannerComment: banner,
    additionalProperties: false,
    style: { printWidth: 100 },
  });
  const target = path.join(root, 'types', `${name}.d.ts`);
  let kept = null;
  try {
    kept = readFileSync(target, 'utf8');
  } catch {
    // Not written yet.
  }
  if (kept === text) continue;
  if (check) stale.push(path.relative(root, target));
  else writeFileSync(target, text);
}

if (stale.length > 0) {
  console.error(`stale types, run "npm run types" in schema/: ${stale.join(', ')}`);
  process.exit(1);
}
console.log(check ? 'types match their schemas' : 'types written');
