// Overview: each card's frame takes the height of the view inside it, so that nothing is cut;
// beyond the CSS cap (max-height) the view scrolls inside its card.
const kCheckMs = 500;

/** @param {HTMLIFrameElement} frame */
function fit(frame) {
  const doc = frame.contentDocument;
  if (!doc || !doc.body) return;
  const height = Math.ceil(doc.documentElement.scrollHeight);
  if (Math.abs(frame.clientHeight - height) > 1) frame.style.height = `${height}px`;
}

/** @type {HTMLIFrameElement[]} */
const views = [...document.querySelectorAll('.overview iframe')].map((frame) => /** @type {HTMLIFrameElement} */ (frame));
// Views grow as their documents arrive and reload: check now and then.
setInterval(() => views.forEach(fit), kCheckMs);
views.forEach((frame) => frame.addEventListener('load', () => fit(frame)));
