// The live dashboard, fed by the pushed vitals records: transport lamps, timecode, speed, idle
// time, cuts with flashes when the sequence is edited or switched, marker and track counts, the
// audio peak and solo.
import { $, setText } from './dom.mjs';

function flash(element) {
  element.classList.remove('flash');
  void element.offsetWidth; // restart the animation
  element.classList.add('flash');
}

let lastRecord = 0;

function updateRecordAge() {
  if (!lastRecord) return;
  const seconds = Math.round((Date.now() - lastRecord) / 1000);
  setText('record-age', seconds < 2 ? 'live' : `last record ${seconds} s ago`);
}
setInterval(updateRecordAge, 1000);

const count = (value) => (value < 0 ? 'n/a' : String(value));

// Back to the page's first look: a lamp left lit after the connection ended would claim a
// state nobody reports any more.
export function clearVitals() {
  for (const lamp of document.querySelectorAll('.lamp')) lamp.classList.remove('on');
  setText('timecode', '--:--:--:--');
  for (const id of ['speed', 'idle', 'display-mode', 'cuts', 'markers', 'tracks', 'peak']) setText(id, '–');
  $('meter-fill').style.width = '0%';
  lastRecord = 0;
  setText('record-age', 'no vitals record yet');
}

export function showVitals(vitals) {
  for (const lamp of document.querySelectorAll('.lamp')) {
    lamp.classList.toggle('on', vitals[lamp.dataset.field] === true);
  }
  setText('timecode', vitals.timecode || '--:--:--:--');
  setText('display-mode', String(vitals.displayMode));
  setText('speed', Number.isFinite(vitals.speed) ? `${vitals.speed.toFixed(2)}×` : '–');
  setText('idle', `${vitals.idleSec} s`);
  setText('cuts', count(vitals.cuts));
  setText('markers', count(vitals.markers));
  setText('tracks', count(vitals.tracks));
  for (const flag of document.querySelectorAll('.flag')) {
    if (vitals[flag.dataset.flag]) flash(flag);
  }
  // -999 is the engine's "no level": stopped, or no meter to read.
  const peak = vitals.audioPeakDb;
  const silent = peak <= -999 || !Number.isFinite(peak);
  const level = silent ? 0 : Math.min(1, Math.max(0, (peak + 60) / 60));
  const meter = $('meter');
  meter.style.setProperty('--meter-width', `${meter.clientWidth}px`);
  meter.setAttribute('aria-valuenow', String(peak));
  $('meter-fill').style.width = `${(level * 100).toFixed(1)}%`;
  setText('peak', silent ? 'no level' : `${peak.toFixed(1)} dB`);
  lastRecord = Date.now();
  updateRecordAge();
}
