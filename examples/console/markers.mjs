// The markers of one timeline (the engine's current one, or one picked from its sequences).
// A click on a marker asks for the multicam angle and the clip size at it.
import { ticksToTimecode } from '../../clients/js/index.mjs';
import { $, setText } from './dom.mjs';

let currentClient = () => null;
let listedTimeline = null;
let loading = null;
let reloadAfter = false;
let shownMarker = 0;

// A time in ticks as [h:]mm:ss.mmm; the engine passes host ticks on unconverted.
export function formatTicks(ticks, ticksPerSecond) {
  if (ticks === null || ticks === undefined) return 'no time';
  if (!ticksPerSecond) return `${ticks} ticks`;
  const totalMs = Math.round((Number(ticks) / Number(ticksPerSecond)) * 1000);
  const sign = totalMs < 0 ? '-' : '';
  const ms = Math.abs(totalMs);
  const hours = Math.floor(ms / 3600000);
  const minutes = Math.floor(ms / 60000) % 60;
  const seconds = Math.floor(ms / 1000) % 60;
  const pad = (value, width) => String(value).padStart(width, '0');
  const clock = `${pad(minutes, 2)}:${pad(seconds, 2)}.${pad(ms % 1000, 3)}`;
  return sign + (hours ? `${hours}:${clock}` : clock);
}

function sequenceLabel(sequence) {
  const size = sequence.width && sequence.height ? `, ${sequence.width}×${sequence.height}` : '';
  const rate = typeof sequence.fps === 'number' ? `, ${Number(sequence.fps.toFixed(3))} fps` : '';
  return `${sequence.timelineID}${sequence.current ? ' (current)' : ''}${rate}${size}`;
}

// Fills the timeline choice from the engine's sequences, keeping the one picked.
export async function loadTimelines() {
  const client = currentClient();
  const select = $('timeline-select');
  try {
    const { sequences } = await client.request('sequences.list');
    const picked = select.value;
    const options = [new Option('the current one', '')];
    for (const sequence of sequences) options.push(new Option(sequenceLabel(sequence), String(sequence.timelineID)));
    select.replaceChildren(...options);
    select.value = options.some((option) => option.value === picked) ? picked : '';
    select.disabled = false;
  } catch (error) {
    select.title = `the engine listed no sequences: ${error.message}`;
  }
}

// A marker's time as the editor's timecode on its sequence; as a clock where the sequence's
// timing is unknown.
function markerTime(ticks, sequence) {
  const timecode = ticks === null || sequence === null ? null : ticksToTimecode(ticks, sequence);
  return timecode ?? formatTicks(ticks, sequence?.ticksPerSecond);
}

function showMarkers(timelineID, markers, sequence) {
  listedTimeline = timelineID;
  setText('marker-timeline', timelineID === null ? 'no timeline' : `timeline ${timelineID}`);
  const items = markers.map((marker) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'marker';
    button.textContent = marker.name ?? '(no name)';
    // Only a name finds a marker again.
    button.disabled = marker.name === null;
    button.addEventListener('click', () => describeMarker(marker.name, button));
    const time = document.createElement('span');
    time.className = 'marker-time';
    time.textContent = markerTime(marker.ticks, sequence);
    item.append(button, time);
    return item;
  });
  if (items.length === 0) {
    const empty = document.createElement('li');
    empty.className = 'muted';
    empty.textContent = 'no markers';
    items.push(empty);
  }
  $('marker-list').replaceChildren(...items);
}

async function loadMarkers() {
  const client = currentClient();
  if (!client) return;
  const picked = $('timeline-select').value;
  try {
    const { timelineID, markers } = await client.request('markers.list', picked === '' ? undefined : { timeline: Number(picked) });
    let sequence = null;
    if (timelineID !== null) {
      try {
        sequence = await client.request('sequence.get', { timeline: timelineID });
      } catch {
        // Without the time base the times are shown in ticks.
      }
    }
    showMarkers(timelineID, markers, sequence);
  } catch (error) {
    setText('marker-timeline', '');
    const item = document.createElement('li');
    item.className = 'error';
    item.textContent = `no markers: ${error.message}`;
    $('marker-list').replaceChildren(item);
  }
}

// One load at a time; asking again while one runs loads once more after it, so the list
// never ends older than the last change that asked for it.
export async function refreshMarkers() {
  if (loading) {
    reloadAfter = true;
    return loading;
  }
  loading = (async () => {
    do {
      reloadAfter = false;
      await loadMarkers();
    } while (reloadAfter);
  })();
  try {
    await loading;
  } finally {
    loading = null;
  }
}

function describeResults(name, [angle, size]) {
  const parts = [];
  if (!angle.ok) parts.push(`angle: ${angle.error.message}`);
  else parts.push(angle.result.angle === null ? 'no angle' : `angle ${angle.result.angle}`);
  if (!size.ok) parts.push(`clip size: ${size.error.message}`);
  else parts.push(size.result.width === null ? 'no clip' : `clip ${size.result.width} × ${size.result.height}`);
  // The engine finds a marker by its name on any timeline, and says on which.
  const marker = (angle.ok && angle.result.marker) || (size.ok && size.result.marker) || null;
  if (angle.ok && size.ok && marker === null) return `${name}: no marker of that name now`;
  const where = marker && marker.timelineID !== listedTimeline ? ` (found on timeline ${marker.timelineID})` : '';
  return `${name}: ${parts.join(' · ')}${where}`;
}

async function describeMarker(name, button) {
  const client = currentClient();
  if (!client) return;
  for (const other of document.querySelectorAll('.marker.selected')) other.classList.remove('selected');
  button.classList.add('selected');
  const asked = ++shownMarker;
  const detail = $('marker-detail');
  detail.classList.remove('muted');
  detail.textContent = `${name}: asking…`;
  let text;
  try {
    text = describeResults(name, await client.batch([
      { method: 'angle.atMarker', params: { name } },
      { method: 'clip.sizeAtMarker', params: { name } },
    ]));
  } catch (error) {
    text = `${name}: ${error.message}`;
  }
  // A later click has the last word.
  if (asked === shownMarker) detail.textContent = text;
}

export function setupMarkers(current) {
  currentClient = current;
  $('timeline-select').addEventListener('change', refreshMarkers);
}
