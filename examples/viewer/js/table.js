// Table view: the table document is the table library's AJAX source. Column titles come from
// "sColumns", the default order from "aaSorting" (["column", "asc"|"desc"] pairs, the column
// as text), the rows from "aaData"; "download" offers the document as a CSV file.
import { autoRefresh, el, fetchDocument, rendered, showStatus } from './common.js';

const kReloadMs = 2000;
let lastLoaded = Date.now();

function csv(doc) {
  const quote = (cell) => `"${String(cell).replaceAll('"', '""')}"`;
  return [doc.sColumns, ...doc.aaData].map((row) => row.map(quote).join(',')).join('\r\n');
}

function showInfo(doc) {
  const info = document.getElementById('table-info');
  info.replaceChildren(`${doc.iTotalRecords} records`);
  if (doc.download) {
    const href = URL.createObjectURL(new Blob([csv(doc)], { type: 'text/csv' }));
    info.append(' · ', el('a', { href, download: 'table.csv', text: 'Download CSV' }));
  }
}

// Load failures go to the status line instead of the library's alert boxes.
DataTable.ext.errMode = (settings, note, message) => showStatus(message, 'error');

async function start() {
  // The columns must be known before the table is built: one read of the document for them.
  const first = await fetchDocument('table');
  const table = new DataTable('#table', {
    columns: first.sColumns.map((title) => ({ title })),
    order: first.aaSorting.map(([column, direction]) => [Number(column), direction]),
    ajax: {
      url: 'doc/table.json',
      dataSrc: (doc) => {
        lastLoaded = Date.now();
        rendered.table = doc;
        showInfo(doc);
        return doc.aaData;
      },
    },
    pageLength: 25,
    lengthChange: false,
  });
  table.on('draw', () => showStatus(`Updated ${new Date().toLocaleTimeString()}`));
  if (!autoRefresh) return;
  setInterval(() => {
    // The table library drops a request that got no answer at all without a word.
    if (Date.now() - lastLoaded > 3 * kReloadMs) {
      showStatus(`No answer from the device since ${new Date(lastLoaded).toLocaleTimeString()}`, 'error');
    }
    table.ajax.reload(null, false);
  }, kReloadMs);
}

start().catch((error) => showStatus(error.message, 'error'));
