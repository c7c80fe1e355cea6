// Scene view: the images with their parts placed on them, and, for the selected part, its
// attributes as forms built from their actions, plus its attribute tables.
//
// Vocabulary this view gives to the scene document:
// - images: "data" (Base64) is shown as a data URL of the MIME type named by "type" (png, jpg,
//   gif, svg, ...); "url" is loaded as it is. Parts sit with their top-left corner at (x, y) on
//   the image named by their "image", stacked by z; parts on an unknown image are listed apart.
// - "selection":{"type":"border"} frames the selected part; severities other than "none" colour
//   a part ("warning", "error") and its status label is shown under it.
// - attributes: "displayable":false hides one. Actions: "text" a field, "enum" a list of
//   options (the option's "value" is posted), "check" options whose position is posted when
//   ticked, "button" posts "1" (a "boolean" attribute: the opposite of its value, "true" or
//   "false"), "slider" a range of "min".."max" shown as (raw + shift) * nominator / denominator
//   with "precision" decimals and "unit", posting the raw integer.
// - "apply": when a part has such an attribute, edits of its fields, sliders, options and check
//   boxes wait, marked, until Apply posts them together; buttons always post at once. Edits are
//   recorded as they are typed, so the first click on Apply sends them.
// - "integer" attributes take whole numbers only: the view refuses anything else before it is
//   sent. A refusal, the view's or the device's, is shown next to the form that sent it.
// - attribute tables ("layout":{"type":"table"}): one row per name in "rows"."names", matched
//   with the part's attribute of that label (same category first); one column per key of
//   "columns"."style"."width" ("name": the label, "value": the value, other keys: that member
//   of the attribute), at the given widths. Attributes shown in a table are not repeated.
// Every change is posted as {"attributes":[{"name","value"}..]}, then the scene is fetched again
// and shows what the device now reports.
import { autoRefresh, el, fetchDocument, postSceneRequest, rendered, showStatus } from './common.js';

const kReloadMs = 5000;
const kMime = { png: 'image/png', jpg: 'image/jpeg', jpeg: 'image/jpeg', gif: 'image/gif', svg: 'image/svg+xml' };

let selectedId = null;
let busy = false;
// Edits waiting for Apply: part id -> Map(attribute name -> value text).
const pending = new Map();
// The last refusal, shown beside the form that sent it: { form, text }.
let refusal = null;

const isTrue = (value) => value === true || value === 'true';
const text = (value) => (value === null || value === undefined ? '' : String(value));

function imageSource(image) {
  if (image.url) return image.url;
  if (image.data) return `data:${kMime[image.type] || `image/${image.type || 'png'}`};base64,${image.data}`;
  return null;
}

function partsOf(doc) {
  return (doc.scene && Array.isArray(doc.scene.parts)) ? doc.scene.parts : [];
}

function partButton(part) {
  const position = part.position || {};
  const status = part.status || {};
  const severity = status.severity || 'none';
  return el('button', {
    type: 'button',
    class: `part severity-${severity}${part.id === selectedId ? ' selected' : ''}`,
    dataset: { partId: part.id },
    title: status.label || part.label,
    style: { left: `${position.x || 0}px`, top: `${position.y || 0}px`, zIndex: String(position.z || 0) },
    onclick: () => {
      selectedId = part.id;
      render(rendered.scene);
    },
  }, part.label, status.label ? el('span', { class: 'badge', text: status.label }) : null);
}

function renderImages(doc, area) {
  const parts = partsOf(doc);
  const images = Array.isArray(doc.images) ? doc.images : [];
  const placed = new Set();
  for (const image of images) {
    const figure = el('figure', {
      class: 'scene-image',
      dataset: { image: image.id },
      style: { width: `${image.width}px`, height: `${image.height}px` },
    });
    const source = imageSource(image);
    figure.append(source
      ? el('img', { src: source, alt: image.id, width: image.width, height: image.height })
      : el('div', { class: 'missing', text: `image ${image.id} has no content` }));
    for (const part of parts.filter((p) => p.image === image.id)) {
      figure.append(partButton(part));
      placed.add(part);
    }
    area.append(figure);
  }
  const unplaced = parts.filter((p) => !placed.has(p));
  if (unplaced.length > 0) {
    // Without an image (or in the mode that leaves images out) parts are still reachable.
    const figure = el('figure', { class: 'scene-image unplaced', style: { minHeight: '40px', padding: '6px' } });
    unplaced.forEach((part, i) => {
      const button = partButton(part);
      Object.assign(button.style, { position: 'relative', left: '0', top: '0', marginRight: '6px' });
      button.dataset.unplaced = String(i);
      figure.append(button);
    });
    area.append(figure);
  }
}

// --- posting ---

const kWholeNumber = /^[+-]?\d+$/;

// The first pair whose value its attribute's kind cannot hold, as a message; null when none.
function invalidPair(part, pairs) {
  for (const { name, value } of pairs) {
    const attribute = (part.attributes || []).find((a) => a.name === name);
    if (attribute && attribute.type === 'integer'
      && (!kWholeNumber.test(value) || Math.abs(Number(value)) > 2147483647)) {
      return `${attribute.label}: a whole number is needed`;
    }
  }
  return null;
}

// Posts the pairs; form names the form that sent them, where a refusal is shown. True when
// the device applied them.
async function send(part, form, pairs) {
  if (busy || pairs.length === 0) return false;
  const invalid = invalidPair(part, pairs);
  if (invalid) {
    refusal = { form, text: invalid };
    showStatus(`Not sent: ${invalid}`, 'error');
    render(rendered.scene);
    return false;
  }
  busy = true;
  refusal = null;
  showStatus('Sending…');
  let applied = false;
  try {
    const reply = await postSceneRequest(pairs);
    showStatus(`Applied: ${reply.sent} value(s) sent`, 'ok');
    applied = true;
  } catch (error) {
    refusal = { form, text: error.message };
    showStatus(`Not applied: ${error.message}`, 'error');
  } finally {
    busy = false;
  }
  await load();
  return applied;
}

const formOf = (part, attribute) => `${part.id}/${attribute.name || attribute.label}`;

// Marks the pending edits in place: the page is not rebuilt while the user is in a form, so a
// click that ends an edit (on Apply, say) still lands on its button.
function showPending(part) {
  const waiting = pending.get(part.id) || new Map();
  for (const row of document.querySelectorAll('#attributes-area .attr')) {
    row.classList.toggle('pending', waiting.has(row.dataset.name));
  }
  const apply = document.querySelector('#attributes-area .attr[data-action="apply"] button');
  if (apply) {
    apply.disabled = waiting.size === 0;
    apply.textContent = waiting.size ? `${apply.dataset.label} (${waiting.size})` : apply.dataset.label;
  }
}

function edit(part, hasApply, attribute, value) {
  const { name } = attribute;
  if (!hasApply) return send(part, formOf(part, attribute), [{ name, value }]);
  if (!pending.has(part.id)) pending.set(part.id, new Map());
  pending.get(part.id).set(name, value);
  showPending(part);
  return undefined;
}

// --- attribute forms ---

function sliderText(action, raw) {
  const shift = Number(action.shift) || 0;
  const nominator = action.nominator === undefined ? 1 : Number(action.nominator);
  const denominator = Number(action.denominator) || 1;
  const precision = Math.min(Math.max(Number(action.precision) || 0, 0), 10);
  const shown = ((Number(raw) + shift) * nominator) / denominator;
  return `${shown.toFixed(precision)}${action.unit ? ` ${action.unit}` : ''}`;
}

function valueView(attribute) {
  if (attribute.type === 'url') return el('a', { href: text(attribute.value), text: text(attribute.value) });
  return el('span', { class: 'value', text: text(attribute.value) });
}

function control(part, attribute, hasApply) {
  const action = attribute.action || {};
  const waiting = pending.get(part.id);
  const current = waiting && waiting.has(attribute.name) ? waiting.get(attribute.name) : text(attribute.value);
  const name = attribute.name;
  const id = `attr-${part.id}-${name}`;
  switch (action.type) {
    case 'text': {
      const input = el('input', { type: 'text', id, value: current, 'aria-label': attribute.label,
        inputmode: attribute.type === 'integer' ? 'numeric' : null });
      const commit = () => edit(part, hasApply, attribute, input.value);
      input.addEventListener('keydown', (event) => { if (event.key === 'Enter') commit(); });
      if (hasApply) {
        input.addEventListener('input', commit);
        return [input];
      }
      return [input, el('button', { type: 'button', text: 'Set', onclick: commit })];
    }
    case 'enum': {
      const options = Array.isArray(action.options) ? action.options : [];
      const select = el('select', { id, 'aria-label': attribute.label,
        onchange: () => edit(part, hasApply, attribute, select.value) });
      for (const option of options) {
        const item = el('option', { value: option.value, text: option.label });
        item.selected = option.label === current || option.value === current;
        select.append(item);
      }
      return [select];
    }
    case 'check': {
      const options = Array.isArray(action.options) ? action.options : [];
      const boxes = el('span', { class: 'options' });
      options.forEach((option, position) => {
        const box = el('input', { type: 'checkbox', value: String(position) });
        box.checked = waiting && waiting.has(name) ? waiting.get(name) === String(position) : option.state === 'checked';
        box.addEventListener('change', () => {
          // Ticking chooses this position; a tick cannot be taken back on its own.
          if (!box.checked) {
            box.checked = true;
            return;
          }
          for (const other of boxes.querySelectorAll('input')) other.checked = other === box;
          edit(part, hasApply, attribute, String(position));
        });
        boxes.append(el('label', {}, box, ` ${option.value}`));
      });
      return [boxes];
    }
    case 'button': {
      const value = attribute.type === 'boolean' ? String(!isTrue(attribute.value)) : '1';
      return [el('span', { class: 'value', text: text(attribute.value) }),
        el('button', { type: 'button', id, text: action.label || attribute.label,
          onclick: () => send(part, formOf(part, attribute), [{ name, value }]) })];
    }
    case 'apply': {
      const label = attribute.label || 'Apply';
      const count = waiting ? waiting.size : 0;
      return [el('button', {
        type: 'button', id, class: 'primary', disabled: count === 0, dataset: { label },
        text: count ? `${label} (${count})` : label,
        onclick: async () => {
          const edits = [...(pending.get(part.id) || new Map())].map(([n, v]) => ({ name: n, value: v }));
          // Kept when refused, so that they can be corrected.
          if (await send(part, formOf(part, attribute), edits)) {
            pending.delete(part.id);
            render(rendered.scene);
          }
        },
      })];
    }
    case 'slider': {
      const min = Number(action.min) || 0;
      const max = Number(action.max) || 0;
      const input = el('input', { type: 'range', id, min, max: Math.max(min, max), step: 1, value: current, 'aria-label': attribute.label });
      const output = el('output', { for: id, text: sliderText(action, current) });
      input.addEventListener('input', () => { output.textContent = sliderText(action, input.value); });
      input.addEventListener('change', () => edit(part, hasApply, attribute, input.value));
      return [input, output];
    }
    default:
      return [valueView(attribute)];
  }
}

function attributeRow(part, attribute, hasApply) {
  const action = (attribute.action && attribute.action.type) || 'none';
  const waiting = pending.get(part.id);
  const row = el('div', {
    class: `attr${waiting && waiting.has(attribute.name) ? ' pending' : ''}`,
    dataset: { name: attribute.name, action, type: attribute.type || '' },
  });
  const labelFor = ['text', 'enum', 'slider'].includes(action) ? `attr-${part.id}-${attribute.name}` : null;
  row.append(el(labelFor ? 'label' : 'span', { class: 'name', for: labelFor, text: attribute.label }),
    el('span', { class: 'control' }, control(part, attribute, hasApply)));
  if (refusal && refusal.form === formOf(part, attribute)) {
    row.append(el('div', { class: 'form-error', role: 'alert', text: refusal.text }));
  }
  return row;
}

function attributeTable(item, attributes, shown) {
  const layout = item.layout || {};
  const widths = (layout.columns && layout.columns.style && layout.columns.style.width) || {};
  const keys = Object.keys(widths).length ? Object.keys(widths) : ['name', 'value'];
  const names = (layout.rows && Array.isArray(layout.rows.names)) ? layout.rows.names : [];
  const table = el('table', { class: 'attr-table', dataset: { category: item.category || '' } },
    el('caption', { text: item.category || '' }),
    el('colgroup', {}, keys.map((key) => el('col', { style: { width: widths[key] || '' } }))),
    el('thead', {}, el('tr', {}, keys.map((key) => el('th', { text: key })))));
  const body = el('tbody');
  for (const rowName of names) {
    const attribute = attributes.find((a) => a.label === rowName && a.category === item.category)
      || attributes.find((a) => a.label === rowName);
    if (attribute) shown.add(attribute);
    body.append(el('tr', { dataset: { row: rowName } }, keys.map((key) => {
      if (key === 'name') return el('td', { text: rowName });
      if (!attribute) return el('td', { text: '' });
      if (key === 'value') return el('td', {}, valueView(attribute));
      return el('td', { text: text(attribute[key]) });
    })));
  }
  table.append(body);
  return table;
}

function renderAttributes(part, area) {
  if (!part) {
    area.append(el('p', { text: 'No part to show.' }));
    return;
  }
  area.append(el('h2', { text: part.label }));
  const status = part.status || {};
  if (status.label) area.append(el('div', { class: 'part-status', text: status.label }));
  const attributes = (Array.isArray(part.attributes) ? part.attributes : []).filter((a) => a.displayable !== false);
  const hasApply = attributes.some((a) => a.action && a.action.type === 'apply');
  const shown = new Set();
  const tables = (Array.isArray(part['attribute-tables']) ? part['attribute-tables'] : [])
    .filter((item) => !item.layout || !item.layout.type || item.layout.type === 'table')
    .map((item) => attributeTable(item, attributes, shown));
  const categories = new Map();
  for (const attribute of attributes) {
    if (shown.has(attribute)) continue;
    const category = attribute.category || '';
    if (!categories.has(category)) categories.set(category, []);
    categories.get(category).push(attribute);
  }
  for (const [category, members] of categories) {
    area.append(el('fieldset', { dataset: { category } }, el('legend', { text: category || 'General' }),
      members.map((attribute) => attributeRow(part, attribute, hasApply))));
  }
  area.append(...tables);
}

function render(doc) {
  const layout = document.getElementById('scene-layout');
  const scene = doc.scene || {};
  const areaLayout = doc.attributes || {};
  const parts = partsOf(doc);
  if (!parts.some((p) => p.id === selectedId)) selectedId = parts.length ? parts[0].id : null;

  const sceneArea = el('section', {
    class: `scene-area select-${(scene.selection && scene.selection.type) || 'border'}`,
    id: 'scene-area',
    style: { minWidth: `${scene.width || 0}px`, minHeight: `${scene.height || 0}px` },
  });
  renderImages(doc, sceneArea);
  const attributeArea = el('aside', {
    class: 'attributes-area',
    id: 'attributes-area',
    style: { width: `${areaLayout.width || 300}px`, minHeight: `${areaLayout.height || 0}px` },
  });
  renderAttributes(parts.find((p) => p.id === selectedId), attributeArea);
  layout.className = `scene-layout area-${areaLayout.position || 'right'}`;
  layout.replaceChildren(sceneArea, attributeArea);
}

let rounds = 0;

async function load() {
  const doc = await fetchDocument('scene');
  rendered.scene = doc;
  render(doc);
  // Counts the documents shown, so that a reader can wait for the next one.
  document.getElementById('scene-layout').dataset.round = String(++rounds);
}

load().catch((error) => showStatus(error.message, 'error'));
if (autoRefresh) {
  // Values move on the device; reload unless the user is editing something.
  setInterval(() => {
    const editing = document.activeElement && document.activeElement.closest('#attributes-area input, #attributes-area select');
    if (busy || editing || [...pending.values()].some((m) => m.size > 0)) return;
    load().catch((error) => showStatus(error.message, 'error'));
  }, kReloadMs);
}
