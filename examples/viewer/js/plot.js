// Plot view: each plot document drawn as SVG and fetched again after its "refresh" period
// (milliseconds). A time plot ("x":"time") draws its "y" values oldest to newest, the newest at
// the right edge of "maxpoints" slots; a scatter plot ("type":"scatter") draws the pairs
// (x[i], y[i]) on axes of one scale, with one tick step on both. "width" and "height", when
// present, give the largest size of the drawing; in a narrower card it is drawn narrower (a
// scatter plot keeps its shape). A time plot's samples are "refresh" apart, the newest taken
// about when the document was fetched: its time axis is labelled with clock times from there.
import { autoRefresh, clock, el, fetchDocument, rendered, showStatus, showUpdated, svg } from './common.js';

/** @typedef {import('./types').PlotDocument} PlotDocument */
/** @typedef {import('./types').TimeSeries | import('./types').ScatterSeries} Series */
/** @typedef {[number, string]} Tick a value or time, and its label */

/** @type {(doc: PlotDocument) => doc is import('./types').ScatterPlotDocument} */
const isScatter = (doc) => 'type' in doc && doc.type === 'scatter';

const kColours = ['#1565c0', '#c62828', '#2e7d32', '#6a1b9a'];
const kMargin = { left: 58, right: 16, top: 30, bottom: 42 };
const kMinRefreshMs = 250;

const kClockSteps = [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600].map((s) => s * 1000);

// The largest round step (1, 2, 2.5 or 5 times a power of ten) that leaves at least count
// values inside [low, high].
/** @param {number} low @param {number} high @param {number} count */
function tickStep(low, high, count) {
  const raw = (high - low) / Math.max(count, 1);
  const power = 10 ** Math.floor(Math.log10(raw));
  const steps = [0.1, 0.2, 0.25, 0.5, 1, 2, 2.5, 5, 10].map((f) => f * power);
  const fits = (s) => Math.floor(high / s + 1e-9) - Math.ceil(low / s - 1e-9) + 1 >= count;
  return [...steps].reverse().find(fits) || steps[0];
}

// The multiples of step inside [low, high], as [value, text] with as few decimals as the step
// needs.
/** @param {number} low @param {number} high @param {number} step @returns {Tick[]} */
function ticks(low, high, step) {
  const magnitude = Math.floor(Math.log10(step) + 1e-9);
  const halves = Math.abs(step / 10 ** magnitude - 2.5) < 1e-9 ? 1 : 0;
  const decimals = Math.max(0, -magnitude + halves);
  /** @type {Tick[]} */
  const result = [];
  for (let i = Math.ceil(low / step - 1e-9); i * step <= high + step * 1e-9; i += 1) {
    const value = i * step;
    result.push([value, value.toFixed(decimals)]);
  }
  return result;
}

// Clock times (ms since the epoch) at round steps inside [start, end], as [time, "hh:mm:ss"].
/** @param {number} start @param {number} end @param {number} count @returns {Tick[]} */
function clockTicks(start, end, count) {
  const step = kClockSteps.find((s) => s >= (end - start) / count) || kClockSteps.at(-1);
  /** @type {Tick[]} */
  const result = [];
  for (let t = Math.ceil(start / step) * step; t <= end; t += step) result.push([t, clock(t)]);
  return result;
}

/** @param {number[]} values @param {[number, number]} fallback @returns {[number, number]} */
function range(values, fallback) {
  if (values.length === 0) return fallback;
  let low = Math.min(...values);
  let high = Math.max(...values);
  if (low === high) {
    low -= 1;
    high += 1;
  }
  const pad = (high - low) * 0.08;
  return [low - pad, high + pad];
}

// The points of one series entry, as [x, y]: a pair, or a time plot's slot and sample.
/** @param {PlotDocument} doc @param {Series} entry @returns {[number, number][]} */
function pointsOf(doc, entry) {
  const ys = Array.isArray(entry.y) ? entry.y : [];
  if (isScatter(doc)) {
    const xs = Array.isArray(entry.x) ? entry.x : [];
    return xs.slice(0, ys.length).map((x, i) => [x, ys[i]]);
  }
  const slots = Math.max(doc.maxpoints || 0, ys.length);
  return ys.map((y, i) => [slots - ys.length + i, y]);
}

// Pixels between value ticks: room for a label such as "-12.5" and some air.
const kTickGap = { value: 34, time: 60 };

/** @param {HTMLElement} container @param {PlotDocument} doc @param {number} fetched */
function draw(container, doc, fetched) {
  const scatter = isScatter(doc);
  const wanted = doc.width > 0 ? doc.width : 640;
  const wantedHeight = doc.height > 0 ? doc.height : 300;
  // The card takes the width the document asks for, or what the line leaves it: a narrower
  // card bounds the drawing.
  Object.assign(container.style, { flex: `0 1 ${wanted}px`, maxWidth: `${wanted}px` });
  const style = getComputedStyle(container);
  const room = container.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
  const width = Math.max(200, Math.min(wanted, room > 0 ? room : wanted));
  const height = scatter ? Math.round(wantedHeight * (width / wanted)) : wantedHeight;
  const series = (doc.series || []).map((entry) => ({ entry, points: pointsOf(doc, entry) }));
  const all = series.flatMap((s) => s.points);
  const slots = Math.max(doc.maxpoints || 0, 2);
  let [x0, x1] = scatter ? range(all.map((p) => p[0]), [-1, 1]) : [0, slots - 1];
  let [y0, y1] = range(all.map((p) => p[1]), [0, 1]);
  const plotW = width - kMargin.left - kMargin.right;
  const plotH = height - kMargin.top - kMargin.bottom;
  /** @type {Tick[]} */
  let xTicks;
  /** @type {Tick[]} */
  let yTicks;
  if (scatter) {
    // One scale on both axes: the longer range sets the units per pixel, the shorter one is
    // widened around its middle, and both take the same tick step.
    const unit = Math.max((x1 - x0) / plotW, (y1 - y0) / plotH);
    [x0, x1] = [(x0 + x1 - unit * plotW) / 2, (x0 + x1 + unit * plotW) / 2];
    [y0, y1] = [(y0 + y1 - unit * plotH) / 2, (y0 + y1 + unit * plotH) / 2];
    const step = tickStep(0, unit * Math.min(plotW, plotH), Math.max(3, Math.floor(Math.min(plotW, plotH) / kTickGap.value)));
    xTicks = ticks(x0, x1, step);
    yTicks = ticks(y0, y1, step);
  } else {
    yTicks = ticks(y0, y1, tickStep(y0, y1, Math.max(4, Math.floor(plotH / 45))));
  }
  const sx = (x) => kMargin.left + ((x - x0) / (x1 - x0)) * plotW;
  const sy = (y) => kMargin.top + plotH - ((y - y0) / (y1 - y0)) * plotH;

  const grid = svg('g', { class: 'grid' });
  const axis = svg('g', { class: 'axis' });
  for (const [t, label] of yTicks) {
    grid.append(svg('line', { x1: kMargin.left, x2: width - kMargin.right, y1: sy(t), y2: sy(t) }));
    axis.append(svg('text', { class: 'tick y', x: kMargin.left - 6, y: sy(t) + 4, 'text-anchor': 'end' }, document.createTextNode(label)));
  }
  // Time plot: slot i was sampled (slots - 1 - i) periods before the newest.
  const period = Math.max(doc.refresh || 0, 1);
  const timeOf = (slot) => fetched - (slots - 1 - slot) * period;
  if (!scatter) {
    xTicks = clockTicks(timeOf(0), timeOf(slots - 1), Math.max(2, Math.floor(plotW / kTickGap.time)))
      .map(([t, label]) => /** @type {Tick} */ ([(t - timeOf(0)) / period, label]));
  }
  for (const [t, label] of xTicks) {
    if (scatter) grid.append(svg('line', { x1: sx(t), x2: sx(t), y1: kMargin.top, y2: height - kMargin.bottom }));
    axis.append(svg('line', { x1: sx(t), x2: sx(t), y1: height - kMargin.bottom, y2: height - kMargin.bottom + 4 }));
    axis.append(svg('text', { class: 'tick x', x: sx(t), y: height - kMargin.bottom + 15, 'text-anchor': 'middle' }, document.createTextNode(label)));
  }
  axis.append(svg('path', { d: `M${kMargin.left},${kMargin.top}V${height - kMargin.bottom}H${width - kMargin.right}`, fill: 'none' }));

  const drawing = svg('svg', { width, height, viewBox: `0 0 ${width} ${height}`, role: 'img', 'aria-label': doc.title || '' },
    svg('text', { class: 'title', x: width / 2, y: 18, 'text-anchor': 'middle' }, document.createTextNode(doc.title || '')),
    grid, axis,
    svg('text', { x: kMargin.left + plotW / 2, y: height - 8, 'text-anchor': 'middle' }, document.createTextNode(doc.xtitle || '')),
    svg('text', { x: 14, y: kMargin.top + plotH / 2, 'text-anchor': 'middle', transform: `rotate(-90 14 ${kMargin.top + plotH / 2})` }, document.createTextNode(doc.ytitle || '')));

  series.forEach(({ entry, points }, n) => {
    const colour = kColours[n % kColours.length];
    const group = svg('g', { class: 'series', 'data-name': entry.name || '' });
    if (!scatter && points.length > 1) {
      group.append(svg('polyline', { points: points.map(([x, y]) => `${sx(x)},${sy(y)}`).join(' '), fill: 'none', stroke: colour, 'stroke-width': 1.5 }));
    }
    for (const [x, y] of points) {
      group.append(svg('circle', { class: 'point', cx: sx(x), cy: sy(y), r: scatter ? 3 : 2, fill: colour, 'data-x': x, 'data-y': y },
        svg('title', {}, document.createTextNode(scatter ? `${x}, ${y}` : `${y}`))));
    }
    drawing.append(group);
  });

  const names = (doc.series || []).map((s) => s.name).filter(Boolean).join(', ');
  const caption = `${names ? `${names}: ` : ''}${all.length} of ${doc.maxpoints} points, every ${(doc.refresh || 0) / 1000} s`;
  container.replaceChildren(drawing, el('div', { class: 'caption', text: caption }));
}

/** @param {HTMLElement} container */
function follow(container) {
  const name = /** @type {'plot' | 'scatter'} */ (container.dataset.document);
  /** @type {{ doc: PlotDocument, fetched: number } | null} */
  let last = null;
  const round = async () => {
    let period = 1000;
    try {
      const doc = await fetchDocument(name);
      rendered[name] = doc;
      last = { doc, fetched: Date.now() };
      draw(container, doc, last.fetched);
      period = Math.max(kMinRefreshMs, doc.refresh || 0);
      showUpdated();
    } catch (error) {
      showStatus(error.message, 'error');
    }
    if (autoRefresh) setTimeout(round, period);
  };
  // A narrower or wider window draws the last document again at the new size.
  window.addEventListener('resize', () => { if (last) draw(container, last.doc, last.fetched); });
  round();
}

document.querySelectorAll('.plot[data-document]').forEach((node) => follow(/** @type {HTMLElement} */ (node)));
