// Buttons for multicam angles 1 to 16. The engine runs the editor's camera command, which acts
// wherever the editor's focus is, and keeps no angle of its own; so the page shows the angle
// it last set, once the engine has confirmed it, and says that it is this page's.
import { $, setText } from './dom.mjs';

const ANGLES = 16;
let currentClient = () => null;

function showAngle(angle) {
  for (const button of $('angle-buttons').children) {
    button.setAttribute('aria-pressed', String(Number(button.dataset.angle) === angle));
  }
  setText('angle-now', `angle ${angle}: the last one set from this page`);
}

async function setAngle(angle) {
  const client = currentClient();
  if (!client) return;
  try {
    const result = await client.request('multicam.setAngle', { angle });
    showAngle(result.angle);
  } catch (error) {
    setText('angle-now', `angle ${angle} not set: ${error.message}`);
  }
}

export function enableAngles(open) {
  for (const button of $('angle-buttons').children) button.disabled = !open;
}

export function setupAngles(current) {
  currentClient = current;
  const buttons = [];
  for (let angle = 1; angle <= ANGLES; angle++) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'angle';
    button.dataset.angle = String(angle);
    button.textContent = String(angle);
    button.setAttribute('aria-pressed', 'false');
    button.disabled = true;
    button.addEventListener('click', () => setAngle(angle));
    buttons.push(button);
  }
  $('angle-buttons').replaceChildren(...buttons);
}
