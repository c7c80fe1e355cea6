// Scene view: the images with their parts placed on them, and, for the selected part, its
// attributes as forms built from their actions, plus its attribute tables.
//
// Vocabulary this view gives to the scene document:
// - images: "data" (Base64) is shown as a data URL of the MIME type named by "type" (png, jpg,
//   gif, svg, ...); "url" is loaded as it is. An image is drawn at its "width" and "height", or
//   narrower when the page is (parts keep their place on it). Parts sit with their top-left
//   corner at (x, y) of the image named by their "image", stacked by z; parts on an unknown
//   image are listed apart. The scene's "width" bounds the images' column; the attributes
//   area's "width" is its width beside them, or below them where the page is too narrow.
// - "selection":{"type":"border"} frames the selected part; severities other than "none" colour
//   a part ("warning", "error") and its status label is shown under it.
// - attributes: "displayable":false hides one; a "boolean" one is shown as a switch. Actions:
//   "text" a field, "enum" a list of options (the option's "value" is posted), "check" options
//   of which the one at the value's position is chosen (radio buttons: the value is one
//   position, which is posted), "button" posts "1" at once (on a "boolean" attribute the switch
//   posts the opposite of its value, "true" or "false"), "slider" a range of "min".."max" shown
//   as (raw + shift) * nominator / denominator with "precision" decimals and "unit", posting the
//   raw integer.
// - "apply": in a part with such an attribute, edits of its fields, sliders, options and radio
//   buttons wait, marked, until Apply posts them together; buttons and switches still post at
//   once. Elsewhere options and sliders post at once and a field waits, marked, for Set. Enter
//   in a field does what the part's send button does: Apply, or Set.
// - before posting, the view refuses an empty value, anything but a whole number for an
//   "integer" attribute, and more than 256 bytes for a text parameter (an id text ending in
//   "s"). A refusal, the view's or the device's, is shown next to the form that sent it.
// - attribute tables ("layout":{"type":"table"}): one row per name in "rows"."names", matched
//   with the part's attribute of that label (same category first); one column per key of
//   "columns"."style"."width" ("name": the label, "value": the value, other keys: that member
//   of the attribute), at the given widths. Attributes shown in a table are not repeated.
// Every change is posted as {"attributes":[{"name","value"}..]}, then the scene is fetched again
// and shows what the device now reports. The scene also reloads now and then: values move on
// the device. An edit not sent yet stays in its field, marked, and so does the field the user
// is in; everything else shows the new document.
import { el, every, fetchDocument, postSceneRequest, rendered, showStatus, showUpdated } from './common.js';

/** @typedef {import('./types').SceneDocument} SceneDocument */
/** @typedef {import('./types').ScenePart} ScenePart */
/** @typedef {import('./types').SceneAttribute} SceneAttribute */
/** @typedef {import('./types').SceneImage} SceneImage */
/** @typedef {import('./types').AttributeTable} AttributeTable */
/** @typedef {import('./types').SliderAction} SliderAction */
/** @typedef {import('./types').CheckOption} CheckOption */
/** @typedef {import('./types').ScenePostPair} ScenePostPair */

const kReloadMs = 5000;
const kMime = { png: 'image/png', jpg: 'image/jpeg', jpeg: 'image/jpeg', gif: 'image/gif', svg: 'image/svg+xml' };
// A text parameter of the device holds at most this many bytes.
const kTextBytes = 256;
const kTextParameter = /^[0-9A-Fa-f]+(\.[0-9A-Fa-f]+){5}s$/;
const kWholeNumber = /^[+-]?\d+$/;

/** @type {string | null} */
let selectedId = null;
let busy = false;
// Edits not sent yet: part id -> Map(attribute name -> value text).
/** @type {Map<string, Map<string, string>>} */
const edits = new Map();
// The outcome of the last post, shown beside the form that sent it: { form, text, ok }.
/** @type {{ form: string, text: string, ok: boolean } | null} */
let outcome = null;

/** @type {(value: SceneAttribute['value']) => boolean} */
const isTrue = (value) => value === true || value === 'true';
/** @type {(value: unknown) => string} */
const text = (value) => (value === null || value === undefined ? '' : String(value));
/** @type {(part: ScenePart) => SceneAttribute[]} */
const attributesOf = (part) => (Array.isArray(part.attributes) ? part.attributes : []);
/** @type {(part: ScenePart, attribute: SceneAttribute) => string} */
const formOf = (part, attribute) => `${part.id}/${attribute.name || attribute.label}`;
/** @type {(part: ScenePart, attribute: SceneAttribute) => string} */
const controlId = (part, attribute) => `attr-${part.id}-${attribute.name}`;

/** @param {SceneImage} image */
function imageSource(image) {
  if ('url' in image) return image.url;
  if (image.data) return `data:${kMime[image.type] || `image/${image.type || 'png'}`};base64,${image.data}`;
  return null;
}

/** @param {SceneDocument} doc */
function partsOf(doc) {
  return (doc.scene && Array.isArray(doc.scene.parts)) ? doc.scene.parts : [];
}

// A coordinate as a share of the image's size, so that parts stay in place when the image is
// drawn smaller.
/** @type {(value: number, size: number) => string} */
const share = (value, size) => (size > 0 ? `${(100 * (value || 0)) / size}%` : `${value || 0}px`);

/** @param {ScenePart} part @param {SceneImage | null} image */
function partButton(part, image) {
  const { position, status } = part;
  const severity = status.severity || 'none';
  return el('button', {
    type: 'button',
    class: `part severity-${severity}${part.id === selectedId ? ' selected' : ''}`,
    dataset: { partId: part.id },
    title: status.label || part.label,
    style: {
      left: share(position.x, image ? image.width : 0),
      top: share(position.y, image ? image.height : 0),
      zIndex: String(position.z || 0),
    },
    onclick: () => {
      selectedId = part.id;
      render(rendered.scene);
    },
  }, part.label, status.label ? el('span', { class: 'badge', text: status.label }) : null);
}

/** @param {SceneDocument} doc @param {HTMLElement} area */
function renderImages(doc, area) {
  const parts = partsOf(doc);
  const images = Array.isArray(doc.images) ? doc.images : [];
  const placed = new Set();
  for (const image of images) {
    const sized = image.width > 0 && image.height > 0;
    const figure = el('figure', {
      class: 'scene-image',
      dataset: { image: image.id },
      style: sized ? { maxWidth: `${image.width}px`, aspectRatio: `${image.width} / ${image.height}` } : {},
    });
    const source = imageSource(image);
    figure.append(source
      ? el('img', { src: source, alt: image.id, width: image.width, height: image.height })
      : el('div', { class: 'missing', text: `image ${image.id} has no content` }));
    for (const part of parts.filter((p) => p.image === image.id)) {
      figure.append(partButton(part, image));
      placed.add(part);
    }
    area.append(figure);
  }
  const unplaced = parts.filter((p) => !placed.has(p));
  if (unplaced.length > 0) {
    // Without an image (or in the mode that leaves images out) parts are still reachable.
    const figure = el('figure', { class: 'scene-image unplaced' });
    unplaced.forEach((part, i) => {
      const button = partButton(part, null);
      button.dataset.unplaced = String(i);
      figure.append(button);
    });
    area.append(figure);
  }
}

// --- posting ---

// Why the device could not take this pair, as the sentence shown beside the form; null when
// nothing is against it.
/** @param {ScenePart} part @param {ScenePostPair} pair */
function problemOf(part, { name, value }) {
  const attribute = attributesOf(part).find((a) => a.name === name);
  const label = attribute ? attribute.label : name;
  if (value === '') return `${label}: a value is needed`;
  if (attribute && attribute.type === 'integer'
    && (!kWholeNumber.test(value) || Math.abs(Number(value)) > 2147483647)) {
    return `${label}: a whole number is needed`;
  }
  if (kTextParameter.test(name) && new TextEncoder().encode(value).length > kTextBytes) {
    return `${label}: at most ${kTextBytes} characters`;
  }
  return null;
}

// Posts the pairs; form names the form that sent them, where the outcome is shown. True when
// the device took them all.
/** @param {ScenePart} part @param {string} form @param {ScenePostPair[]} pairs */
async function send(part, form, pairs) {
  if (busy || pairs.length === 0) return false;
  const problem = pairs.map((pair) => problemOf(part, pair)).find(Boolean);
  outcome = problem ? { form, text: problem, ok: false } : null;
  if (problem) {
    render(rendered.scene);
    return false;
  }
  busy = true;
  let applied = false;
  try {
    const reply = await postSceneRequest(pairs);
    if (typeof reply.sent === 'number' && reply.sent < pairs.length) {
      throw new Error(`The device took ${reply.sent} of ${pairs.length} values`);
    }
    applied = true;
    // What was sent is done with, unless it was typed over meanwhile.
    const waiting = edits.get(part.id);
    for (const { name, value } of pairs) if (waiting && waiting.get(name) === value) waiting.delete(name);
    outcome = { form, text: 'Sent', ok: true };
  } catch (error) {
    outcome = { form, text: error.message, ok: false };
  } finally {
    busy = false;
  }
  await load().then(showUpdated, (error) => showStatus(error.message, 'error'));
  return applied;
}

// Marks the edits in place, without rebuilding the forms the user is in.
/** @param {ScenePart} part */
function showEdits(part) {
  const waiting = edits.get(part.id) || new Map();
  for (const row of /** @type {NodeListOf<HTMLElement>} */ (document.querySelectorAll('#attributes-area .attr'))) {
    row.classList.toggle('pending', waiting.has(row.dataset.name));
  }
  const apply = /** @type {HTMLButtonElement | null} */ (document.querySelector('#attributes-area .attr[data-action="apply"] button'));
  if (apply) {
    apply.disabled = waiting.size === 0;
    apply.textContent = waiting.size ? `${apply.dataset.label} (${waiting.size})` : apply.dataset.label;
  }
}

// Keeps an edit until it is sent; one that brings back the device's value is no edit.
/** @param {ScenePart} part @param {SceneAttribute} attribute @param {string} value */
function hold(part, attribute, value) {
  if (!edits.has(part.id)) edits.set(part.id, new Map());
  const waiting = edits.get(part.id);
  if (value === text(attribute.value)) waiting.delete(attribute.name);
  else waiting.set(attribute.name, value);
  showEdits(part);
}

/** @param {ScenePart} part */
function applyEdits(part) {
  const apply = attributesOf(part).find((a) => a.action && a.action.type === 'apply');
  const pairs = [...(edits.get(part.id) || new Map())].map(([name, value]) => ({ name, value }));
  return send(part, formOf(part, apply), pairs);
}

// --- attribute forms ---

/** @param {SliderAction} action @param {string | number} raw */
function sliderText(action, raw) {
  const shift = Number(action.shift) || 0;
  const nominator = action.nominator === undefined ? 1 : Number(action.nominator);
  const denominator = Number(action.denominator) || 1;
  const precision = Math.min(Math.max(Number(action.precision) || 0, 0), 10);
  const shown = ((Number(raw) + shift) * nominator) / denominator;
  return `${shown.toFixed(precision)}${action.unit ? ` ${action.unit}` : ''}`;
}

// A boolean as a switch; onflip, when given, makes it one the user can turn.
/** @param {SceneAttribute} attribute @param {string | null} id @param {string | null} title @param {(() => unknown) | null} onflip */
function switchView(attribute, id, title, onflip) {
  const on = isTrue(attribute.value);
  return el('button', {
    type: 'button', id, class: 'switch', role: 'switch', 'aria-checked': String(on),
    'aria-label': attribute.label, title, disabled: !onflip, onclick: onflip,
  }, el('span', { class: 'track' }, el('span', { class: 'knob' })), el('span', { class: 'state', text: on ? 'On' : 'Off' }));
}

/** @param {SceneAttribute} attribute @returns {HTMLElement} */
function valueView(attribute) {
  if (attribute.type === 'boolean') return switchView(attribute, null, null, null);
  if (attribute.type === 'url') return el('a', { href: text(attribute.value), text: text(attribute.value) });
  return el('span', { class: 'value', text: text(attribute.value) });
}

// The option chosen: the one at the value's position, or else the one marked "checked".
/** @param {SceneAttribute} attribute @param {CheckOption[]} options */
function chosenOption(attribute, options) {
  const position = Number(text(attribute.value));
  if (text(attribute.value) !== '' && Number.isInteger(position) && position >= 0 && position < options.length) return position;
  return options.findIndex((option) => option.state === 'checked');
}

/** @param {ScenePart} part @param {SceneAttribute} attribute @param {boolean} hasApply @returns {HTMLElement[]} */
function control(part, attribute, hasApply) {
  const action = attribute.action || /** @type {{ type: 'none' }} */ ({ type: 'none' });
  const waiting = edits.get(part.id);
  const edited = Boolean(waiting && waiting.has(attribute.name));
  const current = edited ? waiting.get(attribute.name) : text(attribute.value);
  const { name } = attribute;
  const id = controlId(part, attribute);
  const form = formOf(part, attribute);
  const now = (value) => send(part, form, [{ name, value }]);
  // A change waits for Apply in a part that has one, and is sent at once elsewhere.
  const change = (value) => (hasApply ? hold(part, attribute, value) : now(value));
  switch (action.type) {
    case 'text': {
      const input = el('input', { type: 'text', id, value: current, 'aria-label': attribute.label,
        inputmode: attribute.type === 'integer' ? 'numeric' : null });
      input.addEventListener('input', () => hold(part, attribute, input.value));
      // The field on the page, which may be this one or, kept while typed in, an earlier one.
      const typed = () => (/** @type {HTMLInputElement} */ (document.getElementById(id)) || input).value;
      const submit = () => (hasApply ? applyEdits(part) : now(typed()));
      input.addEventListener('keydown', (event) => { if (event.key === 'Enter') submit(); });
      return hasApply ? [input] : [input, el('button', { type: 'button', text: 'Set', onclick: submit })];
    }
    case 'enum': {
      const options = Array.isArray(action.options) ? action.options : [];
      const select = el('select', { id, 'aria-label': attribute.label, onchange: () => change(select.value) });
      for (const option of options) {
        const item = el('option', { value: option.value, text: option.label });
        item.selected = option.label === current || option.value === current;
        select.append(item);
      }
      return [select];
    }
    case 'check': {
      const options = Array.isArray(action.options) ? action.options : [];
      const chosen = edited ? Number(current) : chosenOption(attribute, options);
      const group = el('span', { class: 'options', role: 'radiogroup', 'aria-label': attribute.label });
      options.forEach((option, position) => {
        const radio = el('input', { type: 'radio', name: id, id: `${id}-${position}`, value: String(position) });
        radio.checked = position === chosen;
        radio.addEventListener('change', () => change(String(position)));
        group.append(el('label', {}, radio, ` ${option.value}`));
      });
      return [group];
    }
    case 'button':
      if (attribute.type === 'boolean') {
        return [switchView(attribute, id, action.label || null, () => now(String(!isTrue(attribute.value))))];
      }
      return [valueView(attribute), el('button', { type: 'button', id, text: action.label || attribute.label, onclick: () => now('1') })];
    case 'apply': {
      const label = attribute.label || 'Apply';
      const count = waiting ? waiting.size : 0;
      return [el('button', {
        type: 'button', id, class: 'primary', disabled: count === 0, dataset: { label },
        text: count ? `${label} (${count})` : label,
        onclick: () => applyEdits(part),
      })];
    }
    case 'slider': {
      const min = Number(action.min) || 0;
      const max = Number(action.max) || 0;
      const input = el('input', { type: 'range', id, min, max: Math.max(min, max), step: 1, value: current, 'aria-label': attribute.label });
      const output = el('output', { for: id, text: sliderText(action, current) });
      input.addEventListener('input', () => { output.textContent = sliderText(action, input.value); });
      input.addEventListener('change', () => change(input.value));
      return [input, output];
    }
    default:
      return [valueView(attribute)];
  }
}

/** @param {ScenePart} part @param {SceneAttribute} attribute @param {boolean} hasApply */
function attributeRow(part, attribute, hasApply) {
  const action = (attribute.action && attribute.action.type) || 'none';
  const waiting = edits.get(part.id);
  const row = el('div', {
    class: `attr${waiting && waiting.has(attribute.name) ? ' pending' : ''}`,
    dataset: { name: attribute.name, action, type: attribute.type || '' },
  });
  const labelFor = ['text', 'enum', 'slider'].includes(action) ? controlId(part, attribute) : null;
  row.append(el(labelFor ? 'label' : 'span', { class: 'name', for: labelFor, text: attribute.label }),
    el('span', { class: 'control' }, control(part, attribute, hasApply)));
  if (outcome && outcome.form === formOf(part, attribute)) {
    row.append(el('div', { class: outcome.ok ? 'form-done' : 'form-error', role: outcome.ok ? 'status' : 'alert', text: outcome.text }));
  }
  return row;
}

/** @param {AttributeTable} item @param {SceneAttribute[]} attributes @param {Set<SceneAttribute>} shown */
function attributeTable(item, attributes, shown) {
  const { layout } = item;
  const widths = layout.columns.style.width;
  const keys = Object.keys(widths).length ? Object.keys(widths) : ['name', 'value'];
  const { names } = layout.rows;
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

/** @param {ScenePart | undefined} part @param {HTMLElement} area */
function renderAttributes(part, area) {
  if (!part) {
    area.append(el('p', { text: 'No part to show.' }));
    return;
  }
  area.append(el('h2', { text: part.label }));
  const { status } = part;
  if (status.label) area.append(el('div', { class: 'part-status', text: status.label }));
  const attributes = attributesOf(part).filter((a) => a.displayable !== false);
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

/** @param {SceneDocument} doc */
function render(doc) {
  const layout = document.getElementById('scene-layout');
  const { scene, attributes: areaLayout } = doc;
  const parts = partsOf(doc);
  if (!parts.some((p) => p.id === selectedId)) selectedId = parts.length ? parts[0].id : null;

  const sceneArea = el('section', {
    class: `scene-area select-${(scene.selection && scene.selection.type) || 'border'}`,
    id: 'scene-area',
    style: scene.width > 0 ? { maxWidth: `${scene.width}px` } : {},
  });
  renderImages(doc, sceneArea);
  const attributeArea = el('aside', {
    class: 'attributes-area',
    id: 'attributes-area',
    style: { flexBasis: `${areaLayout.width > 0 ? areaLayout.width : 300}px`, minHeight: `${areaLayout.height || 0}px` },
  });
  renderAttributes(parts.find((p) => p.id === selectedId), attributeArea);

  // The field the user is typing in stays as it is, caret and all: it takes the place of its
  // new twin. Any other control keeps the focus, in its new state.
  const active = /** @type {HTMLElement | null} */ (document.activeElement);
  const focused = active && active.id && layout.contains(active) ? active : null;
  const twin = focused && /** @type {HTMLElement | null} */ (attributeArea.querySelector(`#${CSS.escape(focused.id)}`));
  const typing = twin && focused instanceof HTMLInputElement && focused.type === 'text';
  const caret = typing ? [focused.selectionStart, focused.selectionEnd] : null;
  if (typing) twin.replaceWith(focused);
  layout.className = `scene-layout area-${areaLayout.position || 'right'}`;
  layout.replaceChildren(sceneArea, attributeArea);
  if (twin) (typing ? focused : twin).focus({ preventScroll: true });
  if (caret) /** @type {HTMLInputElement} */ (focused).setSelectionRange(caret[0], caret[1]);
}

let rounds = 0;

async function load() {
  const doc = await fetchDocument('scene');
  rendered.scene = doc;
  render(doc);
  // Counts the documents shown, so that a reader can wait for the next one.
  document.getElementById('scene-layout').dataset.round = String(++rounds);
}

// A round while a post is under way is left out: the post fetches the scene itself.
every(kReloadMs, () => (busy ? false : load()));
