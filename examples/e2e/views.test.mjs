// End-to-end test of the demo program and the viewer pages in headless Chromium: what each view
// draws is compared with the document it was served, and changes made in the scene's forms are
// followed to the simulated control server and back into the next scene document. The views
// are tried at a desktop width, at 1024 pixels and at a phone's 390.
//
// Every document the pages are served and every post they send is kept, once each, for the schema
// check (.ci/legs/65-schema.sh).
//
// Environment: WEBJSON_DEMO (the demo program), WEBJSON_SCREENSHOTS (folder for one picture per
// view and width), WEBJSON_SEEN (folder for the documents and posts, emptied first; default
// build/demo/seen), CHROMIUM (the browser, default /usr/bin/chromium).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import net from 'node:net';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const demoPath = process.env.WEBJSON_DEMO || path.join(here, '../../build/demo/examples/webjson-demo');
const shotDir = process.env.WEBJSON_SCREENSHOTS || path.join(here, '../../build/demo/screenshots');
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';
const seenDir = process.env.WEBJSON_SEEN || path.join(here, '../../build/demo/seen');

const kWidths = [1280, 1024, 390];
const kViews = ['table', 'plot', 'tree', 'scene'];
const kClock = /^\d\d:\d\d:\d\d$/;
// Each test's own limit; the run as a whole takes a few minutes.
const limit = { timeout: 60000 };

let demo;
let demoExit;
let base;
let context;
let profile;
const pageErrors = [];
// Pages whose failed requests are the point of their test.
const unheard = new WeakSet();

// Keeps a document or post as <kind>-<n>.json, each text once.
const seenTexts = new Set();
function keep(kind, text) {
  const digest = createHash('sha1').update(text).digest('hex');
  if (seenTexts.has(digest)) return;
  seenTexts.add(digest);
  writeFileSync(path.join(seenDir, `${kind}-${String(seenTexts.size).padStart(5, '0')}.json`), text);
}

function startDemo() {
  return new Promise((resolve, reject) => {
    const child = spawn(demoPath, ['--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let output = '';
    const timer = setTimeout(() => reject(new Error(`no address from the demo: ${output}`)), 15000);
    child.on('error', reject);
    const exit = new Promise((done) => child.on('exit', (code, signal) => done({ code, signal, output })));
    child.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve({ child, address: match[0], exit });
      }
    });
  });
}

before(async () => {
  mkdirSync(shotDir, { recursive: true });
  rmSync(seenDir, { recursive: true, force: true });
  mkdirSync(seenDir, { recursive: true });
  const started = await startDemo();
  demo = started.child;
  demoExit = started.exit;
  base = started.address;
  profile = mkdtempSync(path.join(tmpdir(), 'webjson-e2e-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: browserPath,
    headless: true,
    viewport: { width: 1280, height: 900 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  context.setDefaultTimeout(15000);
  context.on('page', (page) => {
    page.on('request', (request) => {
      if (request.method() === 'POST' && request.url().endsWith('/doc/scene.json')) keep('post', request.postData() || '');
    });
    page.on('response', (response) => {
      const name = /\/doc\/([a-z]+)\.json$/.exec(new URL(response.url()).pathname);
      if (!name || response.request().method() !== 'GET' || response.status() !== 200) return;
      // A page closed meanwhile takes its last answers with it.
      response.text().then((text) => keep(name[1], text), () => {});
    });
    page.on('pageerror', (error) => pageErrors.push(`${page.url()}: ${error.message}`));
    page.on('console', (message) => {
      // The refusals the scene tests provoke on purpose are logged by the browser too.
      if (message.type() === 'error' && !unheard.has(page) && !/status of 422/.test(message.text())) {
        pageErrors.push(`${page.url()}: ${message.text()}`);
      }
    });
  });
});

after(async () => {
  if (context) await context.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
  if (demo && demo.exitCode === null) demo.kill('SIGTERM');
});

async function openView(file, width, address = base) {
  const page = await context.newPage();
  await page.setViewportSize({ width, height: 900 });
  await page.goto(new URL(file, address).href);
  return page;
}

// Opens a view, runs the checks, and saves the screenshot whatever their outcome.
async function withView(file, shot, width, checks) {
  const page = await openView(file, width);
  try {
    await checks(page);
  } finally {
    await page.screenshot({ path: path.join(shotDir, `${shot}-${width}.png`), fullPage: true }).catch(() => {});
    await page.close();
  }
}

async function serverState() {
  const response = await fetch(new URL('debug/server.json', base));
  assert.equal(response.status, 200);
  return response.json();
}

function parameter(state, id) {
  const entry = state.parameters.find((p) => p.id === id);
  assert.ok(entry, `no parameter ${id} on the server`);
  return entry.value;
}

// Polls until check() returns a truthy value (which is returned) or the time is up.
async function eventually(check, what, ms = 10000) {
  const end = Date.now() + ms;
  for (;;) {
    const result = await check();
    if (result) return result;
    if (Date.now() > end) assert.fail(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// What of a page (or frame) is wider than the box it is in: the page itself (a sideways scroll)
// and any card, scene column or attributes area whose content sticks out. Empty when all fits.
const overflowing = (frame) => frame.evaluate(() => {
  const wide = (node) => node.scrollWidth > node.clientWidth + 1;
  const boxes = [...document.querySelectorAll('.card, .scene-area, .attributes-area, #scene-layout')];
  return [document.documentElement, ...boxes].filter(wide)
    .map((node) => `${node.tagName.toLowerCase()}${node.id ? `#${node.id}` : ''}.${node.className}`);
});

// The status line: what it says, and whether it takes room while saying nothing.
const statusLine = (frame) => frame.evaluate(() => {
  const status = document.getElementById('status');
  return { text: status.textContent, kind: status.dataset.kind, emptyShown: status.textContent === '' && status.offsetHeight > 0 };
});

// Every view says when it was updated, in the clock format of the plot axes; none shows an
// empty strip.
async function assertUpdated(frame, what) {
  const status = await eventually(async () => {
    const line = await statusLine(frame);
    return line.text ? line : null;
  }, `${what}: a status`);
  assert.match(status.text, /^Updated \d\d:\d\d:\d\d$/, what);
}

for (const width of kWidths) {
  test(`${width} px: the table shows every row in the default order, the primary sort column marked`, limit, () => withView('table.html?refresh=0', 'table', width, async (page) => {
    await page.waitForFunction(() => window.viewerDocuments.table
      && document.querySelectorAll('#table tbody tr').length === window.viewerDocuments.table.aaData.length);
    const { doc, titles, rows, ranks } = await page.evaluate(() => ({
      doc: window.viewerDocuments.table,
      titles: [...document.querySelectorAll('#table thead th .dt-column-title')].map((t) => t.textContent.trim()),
      rows: [...document.querySelectorAll('#table tbody tr')].map((tr) => [...tr.cells].map((td) => td.textContent)),
      ranks: [...document.querySelectorAll('#table thead th')].map((th) => th.querySelector('.sort-rank')?.textContent ?? ''),
    }));
    assert.deepEqual(titles, doc.sColumns);
    assert.equal(doc.iTotalRecords, doc.aaData.length);
    assert.ok(doc.aaSorting.length > 1, 'the demo table names two sort orders');
    const expected = [...doc.aaData].sort((a, b) => {
      for (const [column, direction] of doc.aaSorting) {
        const [x, y] = [a[Number(column)], b[Number(column)]];
        const order = typeof x === 'number' ? x - y : String(x).localeCompare(String(y));
        if (order !== 0) return direction === 'desc' ? -order : order;
      }
      return 0;
    });
    assert.deepEqual(rows, expected.map((row) => row.map(String)));
    // Each sorted title carries its rank: 1 for the primary order.
    const wanted = doc.sColumns.map(() => '');
    doc.aaSorting.forEach(([column], i) => { wanted[Number(column)] = String(i + 1); });
    assert.deepEqual(ranks, wanted);
    // The order arrow sits beside the sorted column's title: the nearest title is its own.
    const arrows = await page.evaluate(() => {
      const textBox = (th) => {
        const range = document.createRange();
        range.selectNodeContents(th.querySelector('.dt-column-title'));
        return range.getBoundingClientRect();
      };
      const heads = [...document.querySelectorAll('#table thead th')];
      return heads.filter((th) => /dt-ordering-(asc|desc)/.test(th.className)).map((th) => {
        const arrow = th.querySelector('.dt-column-order').getBoundingClientRect();
        const [cx, cy] = [arrow.left + arrow.width / 2, arrow.top + arrow.height / 2];
        const gap = (box) => Math.hypot(Math.max(box.left - cx, cx - box.right, 0), Math.max(box.top - cy, cy - box.bottom, 0));
        const nearest = heads.reduce((best, other) => (gap(textBox(other)) < gap(textBox(best)) ? other : best));
        return { column: heads.indexOf(th), nearest: heads.indexOf(nearest), gap: gap(textBox(th)) };
      });
    });
    assert.deepEqual(arrows.map((a) => a.column), doc.aaSorting.map(([column]) => Number(column)).sort((a, b) => a - b));
    for (const arrow of arrows) {
      assert.equal(arrow.nearest, arrow.column, `the arrow of column ${arrow.column} is nearest its title`);
      assert.ok(arrow.gap < 16, `the arrow of column ${arrow.column} is beside its title`);
    }
    // Every cell is inside the card: columns are not cut, a phone gets one row as lines.
    assert.deepEqual(await overflowing(page), []);
    const cut = await page.evaluate(() => {
      const card = document.querySelector('.card').getBoundingClientRect();
      return [...document.querySelectorAll('#table td, #table th')].filter((cell) => {
        const box = cell.getBoundingClientRect();
        return box.left < card.left - 0.5 || box.right > card.right + 0.5;
      }).length;
    });
    assert.equal(cut, 0, 'cells outside the card');
    await assertUpdated(page, 'table');
  }));

  test(`${width} px: the table and the tree call each service by the same name`, limit, () => withView('tree.html?refresh=0', 'tree-names', width, async (page) => {
    await page.waitForFunction(() => window.viewerDocuments.tree && document.querySelector('#tree-root .node'));
    const tree = await page.evaluate(() => window.viewerDocuments.tree);
    const table = await (await fetch(new URL('doc/table.json', base))).json();
    const service = table.sColumns.indexOf('Service');
    const pid = table.sColumns.indexOf('PID');
    for (const node of tree.children) {
      const pids = node.children.filter((c) => /^(PMT|Video|Audio|Private) PID$/.test(c.label)).map((c) => Number(c.value));
      assert.ok(pids.length > 0, node.label);
      for (const p of pids) {
        const row = table.aaData.find((r) => r[pid] === p);
        assert.equal(row && row[service], node.label, `PID ${p}`);
      }
    }
    assert.ok(tree.children.some((n) => n.label === 'Unknown Service'), 'a service without a name');
  }));

  test(`${width} px: the plots draw every point within their cards, with ticks and clock times that read`, limit, () => withView('plot.html', 'plot', width, async (page) => {
    await page.waitForFunction(() => {
      const docs = window.viewerDocuments;
      return docs.plot && docs.scatter && docs.plot.series[0].y.length >= 2 && docs.scatter.series[0].x.length >= 2;
    }, null, { timeout: 20000 });
    const drawn = () => page.evaluate(() => {
      const points = (id) => [...document.querySelectorAll(`#${id} circle.point`)]
        .map((c) => [Number(c.dataset.x), Number(c.dataset.y)]);
      return { plot: window.viewerDocuments.plot, scatter: window.viewerDocuments.scatter,
        time: points('plot'), pairs: points('scatter') };
    });
    const first = await drawn();
    assert.equal(first.plot.refresh, 1000);
    assert.deepEqual(first.time.map(([, y]) => y), first.plot.series[0].y);
    const { x, y } = first.scatter.series[0];
    assert.deepEqual(first.pairs, x.map((value, i) => [value, y[i]]));
    // A period later the view has fetched again and drawn the new samples.
    await eventually(async () => {
      const next = await drawn();
      return next.plot.series[0].y.join() !== first.plot.series[0].y.join()
        && next.time.map(([, value]) => value).join() === next.plot.series[0].y.join();
    }, 'new samples on the time plot');

    // Labelled ticks: several values up the side, clock times along the time plot's foot, none
    // of them overlapping; the constellation has one step on both axes, dense enough to read
    // its points' places.
    const axes = await page.evaluate(() => Object.fromEntries(['plot', 'scatter'].map((id) => {
      const labels = (kind) => [...document.querySelectorAll(`#${id} text.tick.${kind}`)].map((t) => {
        const box = t.getBBox();
        return { text: t.textContent, x0: box.x, x1: box.x + box.width, y0: box.y, y1: box.y + box.height };
      });
      return [id, { x: labels('x'), y: labels('y') }];
    })));
    const apart = (labels, lo, hi) => labels.every((a, i) => i === 0 || a[lo] >= labels[i - 1][hi]
      || labels[i - 1][lo] >= a[hi]);
    for (const [id, { x: xs, y: ys }] of Object.entries(axes)) {
      assert.ok(ys.length >= 4, `${id}: ${ys.length} value ticks`);
      assert.ok(xs.length >= 3, `${id}: ${xs.length} ticks along the foot`);
      assert.ok(apart(xs, 'x0', 'x1') && apart(ys, 'y0', 'y1'), `${id}: tick labels overlap`);
      assert.equal(new Set(ys.map((t) => t.text)).size, ys.length, `${id}: value labels differ`);
    }
    const steps = (labels) => new Set(labels.map((t) => Number(t.text)).sort((a, b) => a - b)
      .map((v, i, all) => (i === 0 ? null : v - all[i - 1])).slice(1));
    const [xSteps, ySteps] = [steps(axes.scatter.x), steps(axes.scatter.y)];
    assert.ok(axes.scatter.x.length >= 5 && axes.scatter.y.length >= 5, 'constellation ticks on both axes');
    assert.deepEqual([...xSteps], [...ySteps], 'one even tick step on both axes');
    assert.equal(xSteps.size, 1, 'one even tick step on both axes');
    const times = axes.plot.x.map((t) => t.text);
    assert.ok(times.every((t) => kClock.test(t)), `clock times: ${times}`);
    assert.deepEqual([...times].sort(), times, 'times run left to right');
    assert.deepEqual(await overflowing(page), []);
    await assertUpdated(page, 'plots');
  }));

  test(`${width} px: the tree shows every node with its type and can be folded`, limit, () => withView('tree.html?refresh=0', 'tree', width, async (page) => {
    await page.waitForFunction(() => window.viewerDocuments.tree && document.querySelector('#tree-root .node'));
    await page.click('#expand');
    const { doc, nodes } = await page.evaluate(() => ({
      doc: window.viewerDocuments.tree,
      nodes: [...document.querySelectorAll('#tree-root .node')].map((node) => ({
        label: node.querySelector('.label').textContent,
        type: node.querySelector('.type')?.textContent ?? '',
        value: node.querySelector('.value')?.textContent ?? '',
      })),
    }));
    const flat = [];
    (function walk(node) {
      flat.push({ label: node.label, type: node.type, value: node.value });
      node.children.forEach(walk);
    })(doc);
    assert.deepEqual(nodes, flat);
    assert.ok(flat.some((n) => n.type === 'service') && flat.some((n) => n.type === 'pmt'));

    await page.click('#collapse');
    assert.equal(await page.locator('#tree-root details[open]').count(), 0);
    await page.click('#tree-root summary');
    assert.equal(await page.locator('#tree-root details[open]').count(), 1);
    await page.click('#expand');
    assert.deepEqual(await overflowing(page), []);
    await assertUpdated(page, 'tree');
  }));

  test(`${width} px: the scene places its parts on its images and builds one kind of control per action`, limit, () => withView('scene.html?refresh=0', 'scene-forms', width, async (page) => {
    await page.waitForSelector('#scene-layout[data-round]', { state: 'attached' });
    const doc = await page.evaluate(() => window.viewerDocuments.scene);

    for (const image of doc.images) {
      const img = page.locator(`figure[data-image="${image.id}"] img`);
      const source = await img.getAttribute('src');
      if (image.url) assert.equal(source, image.url);
      else assert.equal(source, `data:image/png;base64,${image.data}`);
      assert.ok(await img.evaluate((node) => node.complete && node.naturalWidth > 0), `image ${image.id} loaded`);
    }
    assert.ok(doc.images.some((i) => i.data) && doc.images.some((i) => i.url), 'one embedded, one by URL');

    // Each part sits where the document places it on its image, also on a smaller image.
    for (const part of doc.scene.parts) {
      const image = doc.images.find((i) => i.id === part.image);
      const placed = await page.locator(`figure[data-image="${part.image}"]`).evaluate((figure, id) => {
        const box = figure.querySelector('img').getBoundingClientRect();
        const button = figure.querySelector(`.part[data-part-id="${id}"]`);
        const at = button.getBoundingClientRect();
        return { x: (at.left - box.left) / box.width, y: (at.top - box.top) / box.height, text: button.textContent, scale: box.width };
      }, part.id);
      assert.ok(Math.abs(placed.x - part.position.x / image.width) < 0.01, `${part.id}: x`);
      assert.ok(Math.abs(placed.y - part.position.y / image.height) < 0.01, `${part.id}: y`);
      assert.equal(placed.text, part.label + (part.status.label || ''));
      assert.ok(placed.scale <= image.width + 0.5, `${part.id}: image no wider than the document says`);
    }

    await page.click('.part[data-part-id="div_panel_Encoder"]');
    const encoder = doc.scene.parts.find((p) => p.id === 'div_panel_Encoder');
    const kinds = await page.locator('#attributes-area .attr').evaluateAll((rows) => rows.map((r) => r.dataset.action));
    for (const kind of ['text', 'slider', 'enum', 'check', 'button']) assert.ok(kinds.includes(kind), `a ${kind} form`);
    // Hidden attributes stay hidden; those in an attribute table are shown there only.
    const table = encoder['attribute-tables'][0];
    const visible = encoder.attributes.filter((a) => a.displayable && !table.layout.rows.names.includes(a.label));
    assert.equal(kinds.length, visible.length);
    assert.deepEqual(await page.locator('.attr-table tbody tr').evaluateAll((rows) => rows.map((r) => r.cells[0].textContent)),
      table.layout.rows.names);
    // A "check" action chooses one position: radio buttons, one of them chosen, no check box.
    const audio = encoder.attributes.find((a) => a.label === 'Audio mode');
    const radios = page.locator(`.attr[data-name="${audio.name}"] [role="radiogroup"] input[type="radio"]`);
    assert.equal(await radios.count(), audio.action.options.length);
    assert.equal(await page.locator(`.attr[data-name="${audio.name}"] input[value="${audio.value}"]`).isChecked(), true);
    assert.equal(await page.locator('#attributes-area input[type="checkbox"]').count(), 0);
    // The reset button's value is the count it resets: the CC errors beside it.
    const shownValue = (label) => page.evaluate((wanted) => {
      const row = [...document.querySelectorAll('#attributes-area .attr, .attr-table tbody tr')]
        .find((r) => (r.querySelector('.name')?.textContent ?? r.cells?.[0]?.textContent) === wanted);
      return row.querySelector('.value').textContent;
    }, label);
    assert.equal(await shownValue('Error counters'), await shownValue('CC errors'));

    // A switch attribute is a switch that says on or off, nowhere "true" or "false".
    await page.click('.part[data-part-id="div_panel_Output"]');
    const output = doc.scene.parts.find((p) => p.id === 'div_panel_Output').attributes.find((a) => a.type === 'boolean');
    const toggle = page.locator(`.attr[data-name="${output.name}"] [role="switch"]`);
    assert.equal(await toggle.getAttribute('aria-checked'), String(output.value));
    assert.doesNotMatch(await page.locator('#attributes-area').innerText(), /\b(true|false)\b/);

    assert.deepEqual(await overflowing(page), []);
    await assertUpdated(page, 'scene');
  }));

  test(`${width} px: changes made in the scene's forms reach the control server and come back`, limit, () => withView('scene.html?refresh=0', 'scene', width, async (page) => {
    await page.waitForSelector('#scene-layout[data-round]', { state: 'attached' });
    const sceneValue = (label) => page.evaluate((wanted) => window.viewerDocuments.scene.scene.parts
      .flatMap((p) => p.attributes).find((a) => a.label === wanted).value, label);
    // Runs action, then waits until the view has shown the scene document fetched after it.
    const andReload = async (action) => {
      const round = Number(await page.getAttribute('#scene-layout', 'data-round'));
      const result = await action();
      await page.waitForFunction((r) => Number(document.getElementById('scene-layout').dataset.round) > r, round);
      return result;
    };
    const posting = () => page.waitForResponse((r) => r.url().endsWith('/doc/scene.json') && r.request().method() === 'POST');
    const n = kWidths.indexOf(width);

    // Text field: Set sends it.
    await page.click('.part[data-part-id="div_panel_Encoder"]');
    const name = page.locator('.attr[data-name="100.1.0.0.0.0s"]');
    const newName = `Evening News ${width}`;
    await name.locator('input').fill(newName);
    assert.match(await name.getAttribute('class'), /pending/, 'typed, not sent: marked');
    const reply = await andReload(async () => {
      const response = posting();
      await name.locator('button').click();
      return response;
    });
    assert.equal(reply.status(), 200);
    let state = await serverState();
    assert.equal(parameter(state, '100.1.0.0.0.0s'), newName);
    assert.deepEqual(state.messages.at(-1), { id: '810B', kind: 'set', param: '100.1.0.0.0.0s', status: 0, value: newName });
    assert.equal(await sceneValue('Service name'), newName);
    assert.equal(await name.locator('input').inputValue(), newName);
    assert.equal(await name.locator('.form-done').textContent(), 'Sent');
    assert.doesNotMatch(await name.getAttribute('class'), /pending/);
    // Enter in the field does what Set does.
    await name.locator('input').fill(`${newName}!`);
    await andReload(() => name.locator('input').press('Enter'));
    assert.equal(parameter(await serverState(), '100.1.0.0.0.0s'), `${newName}!`);

    // Option list: the option's value is posted, the device answers with its text.
    const resolution = (n + 1) % 3;
    await andReload(() => page.selectOption('.attr[data-name="100.3.0.0.0.0i"] select', String(resolution)));
    assert.equal(parameter(await serverState(), '100.3.0.0.0.0i'), resolution);
    assert.equal(await sceneValue('Resolution'), ['1080i', '720p', '576i'][resolution]);
    assert.equal(await page.locator('.attr[data-name="100.3.0.0.0.0i"] select').inputValue(), String(resolution));

    // Slider: the raw value is posted and shown scaled.
    const kbps = 7000 + 500 * n;
    await andReload(() => page.locator('.attr[data-name="100.2.0.0.0.0i"] input').evaluate((input, value) => {
      input.value = String(value);
      input.dispatchEvent(new Event('change', { bubbles: true }));
    }, kbps));
    assert.equal(parameter(await serverState(), '100.2.0.0.0.0i'), kbps);
    assert.equal(await sceneValue('Video bitrate'), kbps);
    assert.equal(await page.locator('.attr[data-name="100.2.0.0.0.0i"] output').textContent(), `${(kbps / 1000).toFixed(1)} Mbit/s`);

    // Radio buttons: the position chosen is posted and comes back chosen, alone.
    const mode = (Number(await sceneValue('Audio mode')) + 1) % 3;
    await andReload(() => page.locator(`.attr[data-name="100.4.0.0.0.0i"] input[value="${mode}"]`).check());
    assert.equal(parameter(await serverState(), '100.4.0.0.0.0i'), mode);
    assert.deepEqual(await page.locator('.attr[data-name="100.4.0.0.0.0i"] input').evaluateAll((inputs) => inputs.map((i) => i.checked)),
      [0, 1, 2].map((i) => i === mode));

    // The reset button clears the counters; the value beside it follows.
    await andReload(() => page.click('.attr[data-name="100.5.0.0.0.0i"] button'));
    assert.equal(parameter(await serverState(), '100.5.0.0.0.0i'), 0, 'a momentary command');
    assert.equal(await sceneValue('Error counters'), await sceneValue('CC errors'));
    assert.ok(await sceneValue('CC errors') <= 2, 'counters cleared');

    // Switch: posts the opposite of its value; the device reports the output off or on.
    await page.click('.part[data-part-id="div_panel_Output"]');
    const wasOn = (await sceneValue('Output')) === 'true';
    const toggle = page.locator('.attr[data-name="200.1.0.0.0.0b"] [role="switch"]');
    await andReload(() => toggle.click());
    assert.equal(parameter(await serverState(), '200.1.0.0.0.0b'), wasOn ? 0 : 1);
    assert.equal(await sceneValue('Output'), String(!wasOn));
    assert.equal(await toggle.getAttribute('aria-checked'), String(!wasOn));
    assert.match(await page.locator('.part[data-part-id="div_panel_Output"]').getAttribute('class'),
      wasOn ? /severity-warning/ : /severity-none/);

    // Apply: two edits wait, marked, then go out in one post. Enter in a field of this part
    // sends them as Apply does.
    const posts = [];
    page.on('request', (r) => { if (r.method() === 'POST') posts.push(r.postData()); });
    const destination = `239.2.2.${n}`;
    const port = 5000 + n;
    await page.locator('.attr[data-name="200.2.0.0.0.0s"] input').fill(destination);
    await page.locator('.attr[data-name="200.3.0.0.0.0i"] input').fill(String(port));
    assert.equal(await page.locator('.attr.pending').count(), 2);
    assert.equal(await page.locator('.attr[data-action="apply"] button').textContent(), 'Apply (2)');
    assert.equal(parameter(await serverState(), '200.2.0.0.0.0s') === destination, false, 'nothing sent before Apply');
    const applied = await andReload(async () => {
      const response = posting();
      await page.locator('.attr[data-name="200.3.0.0.0.0i"] input').press('Enter');
      return response;
    });
    assert.equal(posts.length, 1, 'one post for both edits');
    assert.deepEqual(JSON.parse(applied.request().postData()).attributes,
      [{ name: '200.2.0.0.0.0s', value: destination }, { name: '200.3.0.0.0.0i', value: String(port) }]);
    state = await serverState();
    assert.equal(parameter(state, '200.2.0.0.0.0s'), destination);
    assert.equal(parameter(state, '200.3.0.0.0.0i'), port);
    assert.equal(await page.locator('.attr.pending').count(), 0);
    assert.equal(await sceneValue('Port'), port);
    // One click on Apply sends too, made while the cursor is still in the field typed in.
    await page.locator('.attr[data-name="200.3.0.0.0.0i"] input').fill(String(port + 10));
    await andReload(() => page.locator('.attr[data-action="apply"] button').click());
    assert.equal(parameter(await serverState(), '200.3.0.0.0.0i'), port + 10);
    assert.equal(posts.length, 2);
    assert.deepEqual(await overflowing(page), []);
  }));

  test(`${width} px: the scene refuses what the device cannot take, beside the form, and says why`, limit, () => withView('scene.html?refresh=0', 'scene-refusals', width, async (page) => {
    await page.waitForSelector('#scene-layout[data-round]', { state: 'attached' });
    const posts = [];
    page.on('request', (r) => { if (r.method() === 'POST') posts.push(r.postData()); });
    await page.click('.part[data-part-id="div_panel_Encoder"]');
    const name = page.locator('.attr[data-name="100.1.0.0.0.0s"]');
    const before = await name.locator('input').inputValue();

    // Emptied, or longer than a text parameter holds: refused before anything is sent; the
    // field keeps what was typed, marked as changed.
    await name.locator('input').fill('');
    await name.locator('button').click();
    assert.equal(await name.locator('.form-error').textContent(), 'Service name: a value is needed');
    await name.locator('input').fill('x'.repeat(300));
    await name.locator('input').press('Enter');
    assert.equal(await name.locator('.form-error').textContent(), 'Service name: at most 256 characters');
    assert.equal(await name.locator('input').inputValue(), 'x'.repeat(300));
    assert.match(await name.getAttribute('class'), /pending/);
    assert.deepEqual(posts, []);
    assert.equal(await page.locator('#attributes-area .form-done').count(), 0, 'nothing reported as sent');

    // What the view lets through and the device refuses is refused in the device's words: this
    // post is changed on its way into one the control server turns down.
    await page.route('**/doc/scene.json', (route) => route.continue({
      postData: JSON.stringify({ attributes: [{ name: '100.1.0.0.0.0s', value: 'y'.repeat(257) }] }) }));
    await name.locator('input').fill('Morning News');
    const response = page.waitForResponse((r) => r.url().endsWith('/doc/scene.json') && r.request().method() === 'POST');
    await name.locator('button').click();
    const answer = await response;
    await page.unroute('**/doc/scene.json');
    assert.equal(answer.status(), 422);
    const body = await answer.json();
    assert.equal(body.error, 'Service name: at most 256 characters');
    assert.equal(body.status, -3, 'the server\'s status, for the log');
    await eventually(async () => (await name.locator('.form-error').count()) === 1, 'the refusal beside the form');
    assert.equal(await name.locator('.form-error').textContent(), body.error);
    assert.equal(parameter(await serverState(), '100.1.0.0.0.0s'), before, 'unchanged');

    // Letters for a whole number, in a part with Apply: refused beside Apply.
    await page.click('.part[data-part-id="div_panel_Output"]');
    await page.locator('.attr[data-name="200.3.0.0.0.0i"] input').fill('abc');
    await page.locator('.attr[data-action="apply"] button').click();
    assert.equal(await page.locator('.attr[data-action="apply"] .form-error').textContent(), 'Port: a whole number is needed');
    assert.equal(posts.length, 1);
    assert.deepEqual(await overflowing(page), []);
  }));

  test(`${width} px: an edit not sent yet stays, marked, while the rest of the scene refreshes`, limit, () => withView('scene.html?refresh=700', 'scene-editing', width, async (page) => {
    // The counters move only while the output is on.
    await fetch(new URL('doc/scene.json', base), { method: 'POST', body: '{"attributes":[{"name":"200.1.0.0.0.0b","value":"true"}]}' });
    await page.waitForSelector('#scene-layout[data-round]', { state: 'attached' });
    await page.click('.part[data-part-id="div_panel_Encoder"]');
    const round = () => page.evaluate(() => Number(document.getElementById('scene-layout').dataset.round));
    const packets = () => page.locator('.attr-table tr[data-row="Packets"] .value').textContent();
    const input = page.locator('.attr[data-name="100.1.0.0.0.0s"] input');
    const shown = await input.inputValue();
    await input.fill('Half typed');
    const start = { round: await round(), packets: await packets() };
    await eventually(async () => (await round()) >= start.round + 2, 'two reloads while typing');
    assert.equal(await input.inputValue(), 'Half typed');
    assert.equal(await input.evaluate((node) => node === document.activeElement && node.selectionStart), 'Half typed'.length,
      'still in the field, the caret where it was');
    assert.match(await page.locator('.attr[data-name="100.1.0.0.0.0s"]').getAttribute('class'), /pending/);
    const now = await page.evaluate(() => window.viewerDocuments.scene.scene.parts[0].attributes.find((a) => a.label === 'Packets').value);
    assert.equal(await packets(), String(now), 'the statistics show the latest document');
    assert.notEqual(await packets(), start.packets);
    // Left without sending, the edit still stays, marked; typed back, it is no edit.
    await page.click('h2');
    const later = await round();
    await eventually(async () => (await round()) > later, 'a reload after leaving the field');
    assert.equal(await input.inputValue(), 'Half typed');
    await input.fill(shown);
    assert.doesNotMatch(await page.locator('.attr[data-name="100.1.0.0.0.0s"]').getAttribute('class'), /pending/);
  }));

  test(`${width} px: every button stays readable under the pointer`, limit, async () => {
    // WCAG's contrast of the text colour with the background under it (layers composed).
    const contrasts = (page) => page.evaluate(() => {
      const rgba = (text) => {
        const [r, g, b, a = 1] = text.match(/[\d.]+/g).map(Number);
        return { r, g, b, a };
      };
      const under = (node) => {
        const layers = [];
        for (let n = node; n; n = n.parentElement) {
          const colour = rgba(getComputedStyle(n).backgroundColor);
          if (colour.a > 0) layers.unshift(colour);
          if (colour.a >= 1) break;
        }
        return layers.reduce((below, c) => ({ r: c.r * c.a + below.r * (1 - c.a), g: c.g * c.a + below.g * (1 - c.a), b: c.b * c.a + below.b * (1 - c.a) }), { r: 255, g: 255, b: 255 });
      };
      const luminance = ({ r, g, b }) => [r, g, b].map((v) => v / 255)
        .map((v) => (v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4))
        .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
      const hovered = [...document.querySelectorAll(':hover')].at(-1);
      const button = hovered && hovered.closest('button');
      if (!button) return null;
      const [fore, back] = [luminance(rgba(getComputedStyle(button).color)), luminance(under(button))];
      return { text: button.textContent.trim(), ratio: (Math.max(fore, back) + 0.05) / (Math.min(fore, back) + 0.05) };
    });
    for (const view of kViews) {
      const page = await openView(`${view}.html?refresh=0`, width);
      try {
        await page.waitForFunction((name) => window.viewerDocuments && window.viewerDocuments[name], view === 'plot' ? 'scatter' : view);
        if (view === 'scene') {
          // Apply is enabled by an edit.
          await page.click('.part[data-part-id="div_panel_Output"]');
          await page.locator('.attr[data-name="200.3.0.0.0.0i"] input').fill('4321');
          assert.equal(await page.locator('button.primary:not(:disabled)').count(), 1);
        }
        const buttons = page.locator('button:visible:not(:disabled)');
        const count = await buttons.count();
        for (let i = 0; i < count; i += 1) {
          await buttons.nth(i).hover();
          const seen = await contrasts(page);
          assert.ok(seen, `${view}: button ${i} under the pointer`);
          assert.ok(seen.ratio >= 4.5, `${view}: "${seen.text}" under the pointer has a contrast of ${seen.ratio.toFixed(2)}`);
        }
      } finally {
        await page.close();
      }
    }
  });

  test(`${width} px: with the device stopped, every view says so alike and keeps asking`, limit, async () => {
    const second = await startDemo();
    const pages = [];
    const asked = new Map();
    try {
      for (const view of kViews) {
        const page = await openView(`${view}.html?refresh=500`, width, second.address);
        unheard.add(page);
        asked.set(view, 0);
        page.on('requestfailed', (r) => { if (r.url().includes('/doc/')) asked.set(view, asked.get(view) + 1); });
        pages.push([view, page]);
      }
      for (const [view, page] of pages) await assertUpdated(page, view);
      second.child.kill('SIGTERM');
      await second.exit;
      const said = [];
      for (const [view, page] of pages) {
        const status = await eventually(async () => {
          const line = await statusLine(page);
          return line.kind === 'error' ? line : null;
        }, `${view}: no answer reported`);
        assert.match(status.text, /^No answer from the device since \d\d:\d\d:\d\d$/, view);
        said.push(status.text.replace(/\d/g, '0'));
      }
      assert.equal(new Set(said).size, 1, 'the same sentence everywhere');
      // Each view, the tree too, goes on asking.
      await eventually(() => [...asked.values()].every((n) => n >= 2), `requests after the stop: ${[...asked]}`);
    } finally {
      if (second.child.exitCode === null) second.child.kill('SIGTERM');
      for (const [view, page] of pages) {
        await page.screenshot({ path: path.join(shotDir, `stopped-${view}-${width}.png`), fullPage: true }).catch(() => {});
        await page.close();
      }
    }
  });

  test(`${width} px: the overview shows every view whole in its card`, limit, () => withView('index.html', 'overview', width, async (page) => {
    await page.waitForFunction(() => [...document.querySelectorAll('iframe')].every((frame) => {
      const docs = frame.contentWindow.viewerDocuments;
      return docs && Object.keys(docs).length > 0;
    }), null, { timeout: 20000 });
    await page.waitForTimeout(1500);
    const cut = await page.evaluate(() => [...document.querySelectorAll('.overview iframe')].filter((frame) => {
      const root = frame.contentDocument.documentElement;
      return root.scrollHeight > frame.clientHeight + 1 || root.scrollWidth > frame.clientWidth + 1;
    }).map((frame) => frame.title));
    assert.deepEqual(cut, [], 'views larger than their cards');
    assert.deepEqual(await overflowing(page), []);
    for (const frame of page.frames().filter((f) => f !== page.mainFrame())) {
      assert.deepEqual(await overflowing(frame), [], frame.url());
      assert.equal((await statusLine(frame)).emptyShown, false, `${frame.url()}: an empty status strip`);
    }
    assert.equal((await statusLine(page)).emptyShown, false, 'overview: an empty status strip');
  }));
}

test('bad requests get an HTTP error in words the view can show, and the demo keeps serving', limit, async () => {
  const post = (body) => fetch(new URL('doc/scene.json', base), { method: 'POST', body });
  const cases = [
    // Answers to posts say where and why: the place in the text, or the pair.
    ['text that is not JSON', post('attributes?'), 400,
      { error: "not a scene request: expected '{' but found 'a' (line 1, column 1)",
        offset: 0, line: 1, column: 1, path: '', message: "expected '{' but found 'a'" }],
    ['a pair without a value', post('{"attributes":[{"name":"100.1.0.0.0.0s"}]}'), 400,
      { error: 'not a scene request: member "value" is missing (line 1, column 40) at attributes[0]',
        offset: 39, line: 1, column: 40, path: 'attributes[0]', message: 'member "value" is missing' }],
    ['a parameter the device does not have', post('{"attributes":[{"name":"400.9.0.0.0.0i","value":"1"}]}'), 422,
      { error: 'No such setting on the device', attribute: '400.9.0.0.0.0i', offset: 0, line: 0,
        column: 0, path: 'attributes[0].name', message: 'No such setting on the device' }],
    ['letters for a whole number', post('{"attributes":[{"name":"200.3.0.0.0.0i","value":"abc"}]}'), 422,
      { error: 'Port: a whole number is needed', attribute: '200.3.0.0.0.0i', offset: 0, line: 0,
        column: 0, path: 'attributes[0].value', message: 'Port: a whole number is needed' }],
    // The scene request would skip an empty value without a word.
    ['an empty value', post('{"attributes":[{"name":"200.2.0.0.0.0s","value":""}]}'), 422,
      { error: 'Destination: a value is needed', attribute: '200.2.0.0.0.0s', offset: 0, line: 0,
        column: 0, path: 'attributes[0].value', message: 'Destination: a value is needed' }],
    // The control server's refusal, told as what the setting takes; its status for the log.
    ['a text too long for its parameter', post(`{"attributes":[{"name":"200.2.0.0.0.0s","value":"${'z'.repeat(257)}"}]}`), 422,
      { error: 'Destination: at most 256 characters', attribute: '200.2.0.0.0.0s', status: -3, offset: 0, line: 0,
        column: 0, path: 'attributes[0]', message: 'the control server answered 200.2.0.0.0.0s with status -3' }],
    ['a body over the size limit', post(`{"attributes":[],"pad":"${'x'.repeat(70000)}"}`), 413],
    ['an unknown document', fetch(new URL('doc/nothing.json', base)), 404],
    ['a post to a document that takes none', fetch(new URL('doc/table.json', base), { method: 'POST', body: '{}' }), 405],
    ['a put to the scene', fetch(new URL('doc/scene.json', base), { method: 'PUT', body: '{}' }), 405],
    ['a delete of a page', fetch(new URL('index.html', base), { method: 'DELETE' }), 405],
  ];
  for (const [what, pending, status, body] of cases) {
    const response = await pending;
    assert.equal(response.status, status, what);
    const reply = await response.json();
    assert.ok(typeof reply.error === 'string', `${what}: a JSON error`);
    if (body) assert.deepEqual(reply, body, what);
    if (status === 405) assert.match(response.headers.get('allow'), /^GET, HEAD(, POST)?$/, what);
  }
  assert.equal((await fetch(new URL('doc/scene.json', base), { method: 'PUT' })).headers.get('allow'), 'GET, HEAD, POST');
  assert.equal((await fetch(new URL('doc/table.json', base))).status, 200);
});

test('byte ranges are neither offered nor served: a request for many gets one whole answer', limit, async () => {
  const many = `bytes=${Array(1000).fill('0-').join(',')}`;
  for (const file of ['doc/scene.json', 'index.html', 'img/chain.svg']) {
    const plain = await fetch(new URL(file, base));
    assert.equal(plain.headers.get('accept-ranges'), null, `${file}: Accept-Ranges`);
    const whole = await plain.text();
    const response = await fetch(new URL(file, base), { headers: { Range: many } });
    assert.equal(response.status, 200, file);
    assert.equal(response.headers.get('accept-ranges'), null, `${file}: Accept-Ranges`);
    const text = await response.text();
    assert.ok(Math.abs(text.length - whole.length) < 64, `${file}: ${text.length} bytes for ${whole.length}`);
  }
});

test('slow clients, one per worker and more, do not stall other requests', limit, async () => {
  // As many clients as the demo has workers stop inside their request, and a few more send a
  // byte every half second for as long as the test lasts. They connect one after another, so
  // that each is taken by a worker before the next comes.
  const kWorkers = 64;
  const { port } = new URL(base);
  const sockets = [];
  try {
    for (let i = 0; i < kWorkers + 8; i += 1) {
      const socket = await new Promise((resolve, reject) => {
        const s = net.connect(Number(port), '127.0.0.1', () => resolve(s));
        s.on('error', reject);
      });
      socket.on('error', () => {});
      socket.write('GET /doc/table.json HTTP/1.1\r\nHost: x\r\nX-Slow: ');
      sockets.push(socket);
      await new Promise((resolve) => setTimeout(resolve, 10));
    }
    const drip = setInterval(() => sockets.slice(kWorkers).forEach((s) => s.write('a')), 500);
    try {
      const started = Date.now();
      const response = await fetch(new URL('doc/table.json', base), { signal: AbortSignal.timeout(15000) });
      assert.equal(response.status, 200);
      const waited = Date.now() - started;
      // Every worker was taken, until the read timeout (3 s) let the quiet ones go.
      assert.ok(waited > 1500 && waited < 8000, `answered after ${waited} ms`);
    } finally {
      clearInterval(drip);
    }
  } finally {
    sockets.forEach((s) => s.destroy());
  }
});

test('a second demo on a port in use refuses to start', limit, async () => {
  const { port } = new URL(base);
  const second = spawn(demoPath, ['--port', port], { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  second.stdout.on('data', (chunk) => { output += chunk; });
  second.stderr.on('data', (chunk) => { output += chunk; });
  const code = await new Promise((resolve) => second.on('exit', resolve));
  assert.notEqual(code, 0, output);
  assert.match(output, /in use/);
  assert.doesNotMatch(output, /serving/);
});

test('no page reported an error', limit, () => {
  assert.deepEqual(pageErrors, []);
});

test('the demo stops cleanly on SIGTERM', limit, async () => {
  demo.kill('SIGTERM');
  const { code, output } = await demoExit;
  assert.equal(code, 0);
  assert.match(output, /stopped/);
});
