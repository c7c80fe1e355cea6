// Plot view: each plot document drawn as SVG and fetched again after its "refresh" period
// (milliseconds). A time plot ("x":"time") draws its "y" values oldest to newest, the newest at
// the right edge of "maxpoints" slots; a scatter plot ("type":"scatter") draws the pairs
// (x[i], y[i]). "width" and "height", when present, size the drawing.
import { autoRefresh, el, fetchDocument, rendered, showStatus, svg } from './common.js';

const kColours = ['#1565c0', '#c62828', '#2e7d32', '#6a1b9a'];
const kMargin = { left: 58, right: 16, top: 30, bottom: 42 };
const kMinRefreshMs = 250;

// Round tick values covering [low, high].
function ticks(low, high, count) {
  const raw = (high - low) / Math.max(count, 1);
  const power = 10 ** Math.floor(Math.log10(raw));
  const step = [1, 2, 5, 10].map((f) => f * power).find((s) => s >= raw) || raw;
  const result = [];
  for (let v = Math.ceil(low / step) * step; v <= high + step / 1e6; v += step) result.push(v);
  return result;
}

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

// The points of one series entry, as [x, y, x value shown, y value shown].
function pointsOf(doc, entry) {
  const ys = Array.isArray(entry.y) ? entry.y : [];
  if (doc.type === 'scatter') {
    const xs = Array.isArray(entry.x) ? entry.x : [];
    return xs.slice(0, ys.length).map((x, i) => [x, ys[i]]);
  }
  const slots = Math.max(doc.maxpoints || 0, ys.length);
  return ys.map((y, i) => [slots - ys.length + i, y]);
}

function draw(container, doc) {
  const width = doc.width > 0 ? doc.width : 640;
  const height = doc.height > 0 ? doc.height : 300;
  const series = (doc.series || []).map((entry) => ({ entry, points: pointsOf(doc, entry) }));
  const all = series.flatMap((s) => s.points);
  const scatter = doc.type === 'scatter';
  const slots = Math.max(doc.maxpoints || 0, 2);
  const [x0, x1] = scatter ? range(all.map((p) => p[0]), [-1, 1]) : [0, slots - 1];
  const [y0, y1] = range(all.map((p) => p[1]), [0, 1]);
  const plotW = width - kMargin.left - kMargin.right;
  const plotH = height - kMargin.top - kMargin.bottom;
  const sx = (x) => kMargin.left + ((x - x0) / (x1 - x0)) * plotW;
  const sy = (y) => kMargin.top + plotH - ((y - y0) / (y1 - y0)) * plotH;

  const grid = svg('g', { class: 'grid' });
  const axis = svg('g', { class: 'axis' });
  for (const t of ticks(y0, y1, 5)) {
    grid.append(svg('line', { x1: kMargin.left, x2: width - kMargin.right, y1: sy(t), y2: sy(t) }));
    axis.append(svg('text', { x: kMargin.left - 6, y: sy(t) + 4, 'text-anchor': 'end' }, document.createTextNode(t)));
  }
  if (scatter) {
    for (const t of ticks(x0, x1, 6)) {
      axis.append(svg('text', { x: sx(t), y: height - kMargin.bottom + 15, 'text-anchor': 'middle' }, document.createTextNode(t)));
    }
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

function follow(container) {
  const name = container.dataset.document;
  const round = async () => {
    let period = 1000;
    try {
      const doc = await fetchDocument(name);
      rendered[name] = doc;
      draw(container, doc);
      period = Math.max(kMinRefreshMs, doc.refresh || 0);
      showStatus(`Updated ${new Date().toLocaleTimeString()}`);
    } catch (error) {
      showStatus(error.message, 'error');
    }
    if (autoRefresh) setTimeout(round, period);
  };
  round();
}

document.querySelectorAll('.plot[data-document]').forEach(follow);
