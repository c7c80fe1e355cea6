// Table view: the table document drawn by the table library. Column titles come from
// "sColumns", the default order from "aaSorting" (["column", "asc"|"desc"] pairs, the column
// as text, the first pair the primary order), the rows from "aaData"; "download" offers the
// document as a CSV file. Where the columns do not fit (a phone), each row is shown as a list
// of title: value lines.
import { el, every, fetchDocument, rendered } from './common.js';

/** @typedef {import('./types').TableDocument} TableDocument */
/** @typedef {import('./types').DataTableApi} DataTableApi */

const kReloadMs = 2000;

/** @param {TableDocument} doc */
function csv(doc) {
  const quote = (cell) => `"${String(cell).replaceAll('"', '""')}"`;
  return [doc.sColumns, ...doc.aaData].map((row) => row.map(quote).join(',')).join('\r\n');
}

/** @param {TableDocument} doc */
function showInfo(doc) {
  const info = document.getElementById('table-info');
  info.replaceChildren(`${doc.iTotalRecords} records`);
  if (doc.download) {
    const href = URL.createObjectURL(new Blob([csv(doc)], { type: 'text/csv' }));
    info.append(' · ', el('a', { href, download: 'table.csv', text: 'Download CSV' }));
  }
}

// With more than one sort column, each sorted title carries its rank: 1 is the primary order.
/** @param {DataTableApi} table */
function showOrderRanks(table) {
  const order = table.order();
  table.columns().header().toArray().forEach((th, column) => {
    const rank = order.length > 1 ? order.findIndex(([c]) => c === column) + 1 : 0;
    let badge = /** @type {HTMLElement | null} */ (th.querySelector('.sort-rank'));
    if (rank === 0) {
      if (badge) badge.remove();
      return;
    }
    if (!badge) {
      badge = el('span', { class: 'sort-rank' });
      (th.querySelector('.dt-column-header') || th).append(badge);
    }
    badge.textContent = String(rank);
    badge.title = rank === 1 ? 'sorted by this column first' : `then by this column (order ${rank})`;
  });
}

// Rows become lists of lines when the table is wider than its card.
/** @param {HTMLElement} card @param {HTMLElement} tableNode */
function fit(card, tableNode) {
  card.classList.remove('stacked');
  const style = getComputedStyle(card);
  const room = card.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
  card.classList.toggle('stacked', tableNode.offsetWidth > room + 0.5);
}

/** @type {DataTableApi | null} */
let table = null;

async function load() {
  const doc = await fetchDocument('table');
  rendered.table = doc;
  if (!table) {
    const titles = doc.sColumns;
    table = new DataTable('#table', {
      columns: titles.map((title) => ({ title })),
      columnDefs: [{ targets: '_all', createdCell: (td, data, row, line, column) => { td.dataset.label = titles[column]; } }],
      order: doc.aaSorting.map(([column, direction]) => [Number(column), direction]),
      data: doc.aaData,
      autoWidth: false,
      pageLength: 25,
      lengthChange: false,
    });
    const card = /** @type {HTMLElement} */ (document.getElementById('table').closest('.card'));
    const tableNode = document.getElementById('table');
    table.on('order', () => showOrderRanks(table));
    table.on('draw', () => fit(card, tableNode));
    window.addEventListener('resize', () => fit(card, tableNode));
    showOrderRanks(table);
    fit(card, tableNode);
  } else {
    // Keeps the page, the search and the order the user chose.
    table.clear().rows.add(doc.aaData).draw(false);
  }
  showInfo(doc);
}

every(kReloadMs, load);
