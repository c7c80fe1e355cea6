// End-to-end test of the demo program and the viewer pages in headless Chromium: what each view
// draws is compared with the document it was served, and changes made in the scene's forms are
// followed to the simulated control server and back into the next scene document.
//
// Environment: WEBJSON_DEMO (the demo program), WEBJSON_SCREENSHOTS (folder for one picture per
// view), CHROMIUM (the browser, default /usr/bin/chromium).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import net from 'node:net';
import { mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const demoPath = process.env.WEBJSON_DEMO || path.join(here, '../../build/demo/examples/webjson-demo');
const shotDir = process.env.WEBJSON_SCREENSHOTS || path.join(here, '../../build/demo/screenshots');
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';

let demo;
let demoExit;
let base;
let context;
let profile;
const pageErrors = [];

function startDemo() {
  return new Promise((resolve, reject) => {
    const child = spawn(demoPath, ['--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let output = '';
    const timer = setTimeout(() => reject(new Error(`no address from the demo: ${output}`)), 15000);
    child.on('error', reject);
    demoExit = new Promise((done) => child.on('exit', (code, signal) => done({ code, signal, output })));
    child.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(output);
      if (match && !base) {
        clearTimeout(timer);
        resolve({ child, address: match[0] });
      }
    });
  });
}

before(async () => {
  mkdirSync(shotDir, { recursive: true });
  const started = await startDemo();
  demo = started.child;
  base = started.address;
  profile = mkdtempSync(path.join(tmpdir(), 'webjson-e2e-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: browserPath,
    headless: true,
    viewport: { width: 1100, height: 760 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  context.setDefaultTimeout(15000);
  context.on('page', (page) => {
    page.on('pageerror', (error) => pageErrors.push(`${page.url()}: ${error.message}`));
    page.on('console', (message) => {
      // The refusals the scene test provokes on purpose are logged by the browser too.
      if (message.type() === 'error' && !/status of 422/.test(message.text())) {
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

async function openView(file) {
  const page = await context.newPage();
  await page.goto(new URL(file, base).href);
  return page;
}

// Opens a view, runs the checks, and saves the screenshot whatever their outcome.
async function withView(file, shot, checks) {
  const page = await openView(file);
  try {
    await checks(page);
  } finally {
    await page.screenshot({ path: path.join(shotDir, `${shot}.png`), fullPage: true }).catch(() => {});
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

test('the table shows every row of its document in the default order', () => withView('table.html?refresh=0', 'table', async (page) => {
  await page.waitForFunction(() => window.viewerDocuments.table
    && document.querySelectorAll('#table tbody tr').length === window.viewerDocuments.table.aaData.length);
  const { doc, titles, rows } = await page.evaluate(() => ({
    doc: window.viewerDocuments.table,
    titles: [...document.querySelectorAll('#table thead th')].map((th) => th.textContent.trim()),
    rows: [...document.querySelectorAll('#table tbody tr')].map((tr) => [...tr.cells].map((td) => td.textContent)),
  }));
  assert.deepEqual(titles, doc.sColumns);
  assert.equal(doc.iTotalRecords, doc.aaData.length);
  assert.ok(doc.aaSorting.length > 0, 'the demo table names a default order');
  const expected = [...doc.aaData].sort((a, b) => {
    for (const [column, direction] of doc.aaSorting) {
      const [x, y] = [a[Number(column)], b[Number(column)]];
      const order = typeof x === 'number' ? x - y : String(x).localeCompare(String(y));
      if (order !== 0) return direction === 'desc' ? -order : order;
    }
    return 0;
  });
  assert.deepEqual(rows, expected.map((row) => row.map(String)));
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
      const centre = arrow.left + arrow.width / 2;
      const gap = (box) => Math.max(box.left - centre, centre - box.right, 0);
      const nearest = heads.reduce((best, other) => (gap(textBox(other)) < gap(textBox(best)) ? other : best));
      return { column: heads.indexOf(th), nearest: heads.indexOf(nearest), gap: gap(textBox(th)) };
    });
  });
  assert.deepEqual(arrows.map((a) => a.column), doc.aaSorting.map(([column]) => Number(column)).sort((a, b) => a - b));
  for (const arrow of arrows) {
    assert.equal(arrow.nearest, arrow.column, `the arrow of column ${arrow.column} is nearest its title`);
    assert.ok(arrow.gap < 16, `the arrow of column ${arrow.column} is beside its title`);
  }
}));

test('the plots draw every point of their documents, label their axes and refresh at their period', () => withView('plot.html', 'plot', async (page) => {
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
  // A period later the view has fetched again and drawn the new sample.
  await eventually(async () => (await drawn()).time.length > first.time.length, 'a new sample on the time plot');

  // Labelled ticks: several values up the side, clock times along the time plot's foot, none
  // of them overlapping.
  const axes = await page.evaluate(() => Object.fromEntries(['plot', 'scatter'].map((id) => {
    const labels = (kind) => [...document.querySelectorAll(`#${id} text.tick.${kind}`)].map((t) => {
      const box = t.getBBox();
      return { text: t.textContent, x0: box.x, x1: box.x + box.width, y0: box.y, y1: box.y + box.height };
    });
    return [id, { x: labels('x'), y: labels('y') }];
  })));
  const apart = (labels, lo, hi) => labels.every((a, i) => i === 0 || a[lo] >= labels[i - 1][hi]
    || labels[i - 1][lo] >= a[hi]);
  for (const [id, { x, y }] of Object.entries(axes)) {
    assert.ok(y.length >= 4, `${id}: ${y.length} value ticks`);
    assert.ok(x.length >= 3, `${id}: ${x.length} ticks along the foot`);
    assert.ok(apart(x, 'x0', 'x1') && apart(y, 'y0', 'y1'), `${id}: tick labels overlap`);
    assert.equal(new Set(y.map((t) => t.text)).size, y.length, `${id}: value labels differ`);
  }
  const times = axes.plot.x.map((t) => t.text);
  assert.ok(times.every((t) => /^\d\d:\d\d:\d\d$/.test(t)), `clock times: ${times}`);
  assert.deepEqual([...times].sort(), times, 'times run left to right');
}));

test('the tree shows every node with its type and can be folded', () => withView('tree.html?refresh=0', 'tree', async (page) => {
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
  assert.ok(flat.some((n) => n.label === 'Unknown Service'), 'a service without a name');

  await page.click('#collapse');
  assert.equal(await page.locator('#tree-root details[open]').count(), 0);
  await page.click('#tree-root summary');
  assert.equal(await page.locator('#tree-root details[open]').count(), 1);
  await page.click('#expand');
}));

test('the scene places its images and parts and builds forms from the actions', () => withView('scene.html?refresh=0', 'scene-forms', async (page) => {
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

  for (const part of doc.scene.parts) {
    const button = page.locator(`figure[data-image="${part.image}"] .part[data-part-id="${part.id}"]`);
    assert.deepEqual(await button.evaluate((node) => [node.style.left, node.style.top, node.textContent]),
      [`${part.position.x}px`, `${part.position.y}px`, part.label + (part.status.label || '')]);
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
}));

test('a change made in a form reaches the control server and comes back in the scene', () => withView('scene.html?refresh=0', 'scene', async (page) => {
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

  // Text field.
  await page.click('.part[data-part-id="div_panel_Encoder"]');
  await page.locator('.attr[data-name="100.1.0.0.0.0s"] input').fill('Evening News');
  const reply = await andReload(async () => {
    const response = posting();
    await page.locator('.attr[data-name="100.1.0.0.0.0s"] button').click();
    return response;
  });
  assert.equal(reply.status(), 200);
  let state = await serverState();
  assert.equal(parameter(state, '100.1.0.0.0.0s'), 'Evening News');
  assert.deepEqual(state.messages.at(-1), { id: '810B', kind: 'set', param: '100.1.0.0.0.0s', status: 0, value: 'Evening News' });
  assert.equal(await sceneValue('Service name'), 'Evening News');
  assert.equal(await page.locator('.attr[data-name="100.1.0.0.0.0s"] input').inputValue(), 'Evening News');

  // Option list: the option's value is posted, the device answers with its text.
  await andReload(() => page.selectOption('.attr[data-name="100.3.0.0.0.0i"] select', '1'));
  assert.equal(parameter(await serverState(), '100.3.0.0.0.0i'), 1);
  assert.equal(await sceneValue('Resolution'), '720p');
  assert.equal(await page.locator('.attr[data-name="100.3.0.0.0.0i"] select').inputValue(), '1');

  // Slider: the raw value is posted and shown scaled.
  await andReload(() => page.locator('.attr[data-name="100.2.0.0.0.0i"] input').evaluate((input) => {
    input.value = '8000';
    input.dispatchEvent(new Event('change', { bubbles: true }));
  }));
  assert.equal(parameter(await serverState(), '100.2.0.0.0.0i'), 8000);
  assert.equal(await sceneValue('Video bitrate'), 8000);
  assert.equal(await page.locator('.attr[data-name="100.2.0.0.0.0i"] output').textContent(), '8.0 Mbit/s');

  // Check boxes: the ticked position is posted and comes back checked.
  await andReload(() => page.locator('.attr[data-name="100.4.0.0.0.0i"] input[value="2"]').check());
  assert.equal(parameter(await serverState(), '100.4.0.0.0.0i'), 2);
  assert.ok(await page.locator('.attr[data-name="100.4.0.0.0.0i"] input[value="2"]').isChecked());

  // Button on a boolean: posts the opposite value; the device reports the output off.
  await page.click('.part[data-part-id="div_panel_Output"]');
  await andReload(() => page.click('.attr[data-name="200.1.0.0.0.0b"] button'));
  assert.equal(parameter(await serverState(), '200.1.0.0.0.0b'), 0);
  assert.equal(await sceneValue('Output'), 'false');
  assert.match(await page.locator('.part[data-part-id="div_panel_Output"]').getAttribute('class'), /severity-warning/);

  // Apply: two edits wait, then go out in one post at the first click, made while the cursor
  // is still in the field last typed in.
  const posts = [];
  page.on('request', (r) => { if (r.method() === 'POST') posts.push(r.postData()); });
  const port = page.locator('.attr[data-name="200.3.0.0.0.0i"] input');
  const applyButton = page.locator('.attr[data-action="apply"] button');
  const applyError = page.locator('.attr[data-action="apply"] .form-error');
  await page.locator('.attr[data-name="200.2.0.0.0.0s"] input').fill('239.2.2.2');
  // Letters for a whole number: the view refuses them beside the form, and sends nothing.
  await port.fill('abc');
  await applyButton.click();
  assert.equal(await applyError.textContent(), 'Port: a whole number is needed');
  assert.deepEqual(posts, []);
  // What the view lets through, the device refuses too: this post is changed on its way.
  await page.route('**/doc/scene.json', (route) => route.continue({
    postData: JSON.stringify({ attributes: [{ name: '200.3.0.0.0.0i', value: 'x1' }] }) }));
  await port.fill('6000');
  const refused = await andReload(async () => {
    const response = posting();
    await applyButton.click();
    return response;
  });
  await page.unroute('**/doc/scene.json');
  assert.equal(refused.status(), 422);
  assert.equal(await applyError.textContent(), (await refused.json()).error);
  assert.equal(parameter(await serverState(), '200.3.0.0.0.0i'), 1234, 'the port is unchanged');
  assert.equal(parameter(await serverState(), '200.2.0.0.0.0s'), '239.1.1.1', 'nothing sent before Apply');
  await port.fill('5000');
  assert.equal(await page.locator('.attr.pending').count(), 2);
  const applied = await andReload(async () => {
    const response = posting();
    await applyButton.click();
    return response;
  });
  assert.equal(posts.length, 2, 'one post per click on Apply');
  assert.equal(await applyError.count(), 0);
  assert.deepEqual(JSON.parse(applied.request().postData()).attributes,
    [{ name: '200.2.0.0.0.0s', value: '239.2.2.2' }, { name: '200.3.0.0.0.0i', value: '5000' }]);
  state = await serverState();
  assert.equal(parameter(state, '200.2.0.0.0.0s'), '239.2.2.2');
  assert.equal(parameter(state, '200.3.0.0.0.0i'), 5000);
  assert.equal(await page.locator('.attr.pending').count(), 0);
  assert.equal(await sceneValue('Port'), 5000);
}));

test('bad requests get an HTTP error and the demo keeps serving', async () => {
  const post = (body) => fetch(new URL('doc/scene.json', base), { method: 'POST', body });
  const cases = [
    // Answers to posts say where and why: the place in the text, or the pair.
    ['text that is not JSON', post('attributes?'), 400,
      { error: "not a scene request: expected '{' but found 'a' (line 1, column 1)",
        offset: 0, line: 1, column: 1, path: '', message: "expected '{' but found 'a'" }],
    ['a pair without a value', post('{"attributes":[{"name":"100.1.0.0.0.0s"}]}'), 400,
      { error: 'not a scene request: member "value" is missing (line 1, column 40) at attributes[0]',
        offset: 39, line: 1, column: 40, path: 'attributes[0]', message: 'member "value" is missing' }],
    ['a parameter the server does not know', post('{"attributes":[{"name":"400.9.0.0.0.0i","value":"1"}]}'), 422,
      { error: 'the control server answered 400.9.0.0.0.0i with status -1', offset: 0, line: 0,
        column: 0, path: 'attributes[0]', message: 'the control server answered 400.9.0.0.0.0i with status -1' }],
    ['letters for a whole number', post('{"attributes":[{"name":"200.3.0.0.0.0i","value":"abc"}]}'), 422,
      { error: 'Port: a whole number is needed', attribute: '200.3.0.0.0.0i', offset: 0, line: 0,
        column: 0, path: 'attributes[0].value', message: 'Port: a whole number is needed' }],
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

test('a request for many byte ranges gets one whole answer', async () => {
  const many = `bytes=${Array(1000).fill('0-').join(',')}`;
  for (const file of ['doc/scene.json', 'index.html']) {
    const whole = await (await fetch(new URL(file, base))).text();
    const response = await fetch(new URL(file, base), { headers: { Range: many } });
    assert.equal(response.status, 200, file);
    const text = await response.text();
    assert.ok(Math.abs(text.length - whole.length) < 64, `${file}: ${text.length} bytes for ${whole.length}`);
  }
});

test('slow clients, one per worker and more, do not stall other requests', async () => {
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

test('a second demo on a port in use refuses to start', async () => {
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

test('the overview shows every view whole in its card and no page reported an error', () => withView('index.html', 'overview', async (page) => {
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
  assert.deepEqual(pageErrors, []);
}));

test('the demo stops cleanly on SIGTERM', async () => {
  demo.kill('SIGTERM');
  const { code, output } = await demoExit;
  assert.equal(code, 0);
  assert.match(output, /stopped/);
});
