// Shared helpers of the viewer pages: fetching documents, posting scene requests, building
// elements, and the status line.

export const params = new URLSearchParams(window.location.search);

// ?refresh=0 stops periodic reloads (screenshots, tests); by default each view reloads.
export const autoRefresh = params.get('refresh') !== '0';

// The document each view rendered last, by view name: what is on screen can be compared with
// what was served.
export const rendered = (window.viewerDocuments = window.viewerDocuments || {});

// Pages shown inside another page (the overview) leave out their own header.
if (window.self !== window.top || params.has('embed')) {
  document.documentElement.classList.add('embedded');
}

export async function fetchDocument(name) {
  const response = await fetch(`doc/${name}.json`, { cache: 'no-store' });
  if (!response.ok) throw new Error(`${name} document: HTTP ${response.status}`);
  return response.json();
}

// Posts {"attributes":[{name, value}..]}; resolves with the server's reply or throws its error.
export async function postSceneRequest(pairs) {
  const response = await fetch('doc/scene.json', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ attributes: pairs }),
  });
  let reply = {};
  try {
    reply = await response.json();
  } catch {
    // A reply without a JSON body: the status tells enough.
  }
  if (!response.ok) throw new Error(reply.error || `HTTP ${response.status}`);
  return reply;
}

// el('div', {class: 'x', text: 'hi', dataset: {a: 1}, onclick: f, title: 't'}, child, ...)
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  setProps(node, props);
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return node;
}

export function svg(tag, attrs = {}, ...children) {
  const node = document.createElementNS('http://www.w3.org/2000/svg', tag);
  setProps(node, attrs);
  for (const child of children.flat()) if (child) node.append(child);
  return node;
}

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

// One line under the header: what happened last, and whether it went wrong.
export function showStatus(text, kind = 'info') {
  const status = document.getElementById('status');
  if (!status) return;
  status.textContent = text;
  status.dataset.kind = kind;
}

// Runs task now and then every period milliseconds while reloads are on; errors are shown,
// not thrown, and the next round still comes.
export function every(period, task) {
  const round = async () => {
    try {
      await task();
    } catch (error) {
      showStatus(error.message, 'error');
    }
  };
  round();
  if (autoRefresh) setInterval(round, period);
}
