// Shared helpers of the viewer pages: fetching documents, posting scene requests, building
// elements, the clock format and the status line.
//
// The JSDoc types name the documents' types generated from the schemas (js/types.d.ts), so that
// the type check (schema/: npm run check) finds a key the views read that the library no longer
// writes.

/** @typedef {import('./types').ViewDocuments} ViewDocuments */
/** @typedef {import('./types').ScenePostPair} ScenePostPair */
/** @typedef {import('./types').ScenePost} ScenePost */
/** @typedef {import('./types').PostReply} PostReply */

export const params = new URLSearchParams(window.location.search);

// ?refresh=0 stops periodic reloads (screenshots, tests); ?refresh=N reloads every N ms instead
// of at each view's own period. By default each view reloads.
const refreshParam = params.get('refresh');
export const autoRefresh = refreshParam !== '0';
/** @type {(own: number) => number} */
export const reloadPeriod = (own) => (Number(refreshParam) > 0 ? Number(refreshParam) : own);

// The document each view rendered last, by view name: what is on screen can be compared with
// what was served.
/** @type {Partial<ViewDocuments>} */
export const rendered = (window.viewerDocuments = window.viewerDocuments || {});

// Pages shown inside another page (the overview) leave out their own header.
if (window.self !== window.top || params.has('embed')) {
  document.documentElement.classList.add('embedded');
}

// Times of day as the plot axes show them: 24-hour hh:mm:ss.
/** @type {(time?: number) => string} */
export const clock = (time = Date.now()) => new Date(time).toLocaleTimeString('en-GB', { hour12: false });

// When the device last answered; until it has, when the page started asking.
let lastAnswer = Date.now();

// A fetch that tells a device that does not answer apart from one that refuses.
/** @param {string} url @param {RequestInit} init @returns {Promise<Response>} */
async function ask(url, init) {
  try {
    const response = await fetch(url, init);
    lastAnswer = Date.now();
    return response;
  } catch {
    throw new Error(`No answer from the device since ${clock(lastAnswer)}`);
  }
}

/**
 * @template {keyof ViewDocuments} K
 * @param {K} name
 * @returns {Promise<ViewDocuments[K]>}
 */
export async function fetchDocument(name) {
  const response = await ask(`doc/${name}.json`, { cache: 'no-store' });
  if (!response.ok) throw new Error(`The device did not send its ${name} document (HTTP ${response.status})`);
  return response.json();
}

// Posts {"attributes":[{name, value}..]}; resolves with the device's reply, or throws an error
// whose message is the sentence the device gave.
/** @param {ScenePostPair[]} pairs @returns {Promise<PostReply>} */
export async function postSceneRequest(pairs) {
  /** @type {ScenePost} */
  const post = { attributes: pairs };
  const response = await ask('doc/scene.json', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(post),
  });
  /** @type {PostReply & { error?: string }} */
  let reply = {};
  try {
    reply = await response.json();
  } catch {
    // A reply without a JSON body: the status tells enough.
  }
  if (!response.ok) throw new Error(reply.error || `The device refused the change (HTTP ${response.status})`);
  return reply;
}

// el('div', {class: 'x', text: 'hi', dataset: {a: 1}, onclick: f, title: 't'}, child, ...)
/**
 * @template {keyof HTMLElementTagNameMap} T
 * @param {T} tag
 * @param {Record<string, any>} [props]
 * @param {...any} children
 * @returns {HTMLElementTagNameMap[T]}
 */
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  setProps(node, props);
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return node;
}

/** @param {string} tag @param {Record<string, any>} [attrs] @param {...any} children @returns {SVGElement} */
export function svg(tag, attrs = {}, ...children) {
  const node = document.createElementNS('http://www.w3.org/2000/svg', tag);
  setProps(node, attrs);
  for (const child of children.flat()) if (child) node.append(child);
  return node;
}

/** @param {HTMLElement | SVGElement} node @param {Record<string, any>} props */
function setProps(node, props) {
  for (const [key, value] of Object.entries(props)) {
    if (value === null || value === undefined || value === false) continue;
    if (key === 'text') node.textContent = String(value);
    else if (key === 'dataset') Object.assign(node.dataset, value);
    else if (key === 'style') Object.assign(node.style, value);
    else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else node.setAttribute(key, value === true ? '' : String(value));
  }
}

// One line under the header: when the view was last updated, or what went wrong. Hidden while
// it has nothing to say.
/** @param {string} text @param {'info' | 'error'} [kind] */
export function showStatus(text, kind = 'info') {
  const status = document.getElementById('status');
  if (!status) return;
  status.textContent = text;
  status.dataset.kind = kind;
}

export const showUpdated = () => showStatus(`Updated ${clock()}`);

// Runs task now and then every period milliseconds while reloads are on. Each round says when
// the view was updated, or why it could not be; the next round still comes.
/** @param {number} period @param {() => Promise<unknown> | false} task */
export function every(period, task) {
  const round = async () => {
    try {
      if (await task() !== false) showUpdated();
    } catch (error) {
      showStatus(error.message, 'error');
    }
  };
  round();
  if (autoRefresh) setInterval(round, reloadPeriod(period));
}
