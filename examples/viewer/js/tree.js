// Tree view: {"label","type","value","children":[..]} nodes to any depth, as an expandable
// list. The type word is shown as a badge beside each label. Reloads keep what the user opened.
import { every, el, fetchDocument, rendered, showStatus, showUpdated } from './common.js';

/** @typedef {import('./types').TreeNode} TreeNode */

const kReloadMs = 5000;
// Nodes open at the start: the top two levels.
const kOpenDepth = 2;

/** @param {TreeNode} node */
function nodeLine(node) {
  return el('span', { class: 'node' },
    node.type ? el('span', { class: `type type-${node.type}`, text: node.type }) : null,
    el('span', { class: 'label', text: node.label ?? '' }),
    node.value ? el('span', { class: 'value', text: node.value }) : null);
}

/** @param {TreeNode} node @param {number} depth @param {string} path @param {Set<string> | null} open @returns {HTMLElement} */
function renderNode(node, depth, path, open) {
  const children = Array.isArray(node.children) ? node.children : [];
  const item = el('li', { dataset: { type: node.type || '', path } });
  if (children.length === 0) {
    item.append(el('div', { class: 'leaf' }, nodeLine(node)));
    return item;
  }
  const details = el('details', {}, el('summary', {}, nodeLine(node)),
    el('ul', {}, children.map((child, i) => renderNode(child, depth + 1, `${path}/${i}`, open))));
  details.open = open ? open.has(path) : depth < kOpenDepth;
  item.append(details);
  return item;
}

async function load() {
  const root = document.getElementById('tree-root');
  const doc = await fetchDocument('tree');
  // What the user opened, as it is when the new document is there; the first time, the top
  // levels.
  const shown = root.querySelectorAll('details');
  const open = shown.length === 0 ? null
    : new Set([...shown].filter((d) => d.open).map((d) => d.parentElement.dataset.path));
  rendered.tree = doc;
  root.replaceChildren(el('ul', {}, renderNode(doc, 0, '0', open)));
}

/** @param {boolean} open */
const setAll = (open) => document.querySelectorAll('details').forEach((d) => { d.open = open; });
document.getElementById('expand').addEventListener('click', () => setAll(true));
document.getElementById('collapse').addEventListener('click', () => setAll(false));
document.getElementById('reload').addEventListener('click', () => load().then(showUpdated, (e) => showStatus(e.message, 'error')));
every(kReloadMs, load);
