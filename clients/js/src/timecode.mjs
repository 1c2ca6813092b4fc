// Ticks and timecode text on one sequence, converted as the engine derives the playhead's
// position: SMPTE HH:MM:SS:FF at the sequence's nominal rate (ticks per second over ticks per
// frame, rounded), drop-frame numbering at 29.97 and 59.94 only, positions counted from the
// sequence's zero point. `sequence` is a sequence.get record (numbers or bigints).

const INT64_MAX = (1n << 63n) - 1n;
const TIMECODE = /^([0-9]{2,6})([:;.])([0-9]{2})([:;.])([0-9]{2})([:;.])([0-9]{2,4})$/;

const big = (value) => (value === null || value === undefined ? null : BigInt(value));
// Ticks as the client reads them from JSON: a number while it is safe, a bigint beyond.
const asTicks = (value) =>
  value <= BigInt(Number.MAX_SAFE_INTEGER) && value >= -BigInt(Number.MAX_SAFE_INTEGER) ? Number(value) : value;

// The sequence's timing, or null when it lacks what a conversion needs.
function timingOf(sequence) {
  const ticksPerSecond = big(sequence?.ticksPerSecond);
  const ticksPerFrame = big(sequence?.ticksPerFrame);
  const zeroPoint = big(sequence?.zeroPointTicks);
  if (ticksPerSecond === null || ticksPerFrame === null || zeroPoint === null) return null;
  if (ticksPerSecond <= 0n || ticksPerFrame <= 0n) return null;
  const remainder = ticksPerSecond % ticksPerFrame;
  const nominal = ticksPerSecond / ticksPerFrame + (remainder >= ticksPerFrame - remainder ? 1n : 0n);
  if (nominal <= 0n) return null;
  // Frame numbers dropped each minute but every tenth: 2 at 29.97, 4 at 59.94, none elsewhere.
  const secondSide = ticksPerSecond * 1001n;
  let dropPerMinute = 0n;
  if (secondSide <= INT64_MAX && ticksPerFrame * 30000n === secondSide) dropPerMinute = 2n;
  else if (secondSide <= INT64_MAX && ticksPerFrame * 60000n === secondSide) dropPerMinute = 4n;
  return { ticksPerFrame, zeroPoint, nominal, dropPerMinute, dropFrame: sequence.dropFrame === true };
}

// The position `text` names on the sequence, in ticks; null when the text is no such
// timecode there, the sequence's timing is unknown, or the position is negative.
export function timecodeToTicks(text, sequence) {
  const timing = timingOf(sequence);
  const match = typeof text === 'string' ? TIMECODE.exec(text) : null;
  if (timing === null || match === null) return null;
  const [, hh, s1, mm, s2, ss, s3, ff] = match;
  // The hours and minutes end alike: with ':', or with the mark before the frames.
  if (s1 !== s2 || (s1 !== ':' && s1 !== s3)) return null;
  const marked = s3 !== ':';
  const [hours, minutes, seconds, frames] = [hh, mm, ss, ff].map(BigInt);
  const { ticksPerFrame, zeroPoint, nominal, dropPerMinute } = timing;
  if (minutes >= 60n || seconds >= 60n || frames >= nominal) return null;
  if (marked && dropPerMinute === 0n) return null;
  const dropFrame = dropPerMinute > 0n && (marked || timing.dropFrame);
  const totalMinutes = hours * 60n + minutes;
  let frame = (totalMinutes * 60n + seconds) * nominal + frames;
  if (dropFrame) {
    if (seconds === 0n && frames < dropPerMinute && totalMinutes % 10n !== 0n) return null;
    frame -= dropPerMinute * (totalMinutes - totalMinutes / 10n);
  }
  const ticks = frame * ticksPerFrame;
  if (frame > INT64_MAX || ticks > INT64_MAX) return null;
  const position = ticks - zeroPoint;
  if (position < 0n || position > INT64_MAX) return null;
  return asTicks(position);
}

const pad = (value) => value.toString().padStart(2, '0');

// The timecode text of the position `ticks` on the sequence, whole frames down, hours past
// 24 wrapping, ';' before the frames for drop-frame; null for a negative position or an
// unknown timing.
export function ticksToTimecode(ticks, sequence) {
  const timing = timingOf(sequence);
  if (timing === null || ticks === null || ticks === undefined) return null;
  const position = BigInt(ticks);
  if (position < 0n || position + timing.zeroPoint < 0n) return null;
  const { nominal, dropPerMinute } = timing;
  let frame = (position + timing.zeroPoint) / timing.ticksPerFrame;
  const dropFrame = dropPerMinute > 0n && timing.dropFrame;
  if (dropFrame) {
    // Put back the frame numbers the labels skip, so that the labels count plainly.
    const perTenMinutes = nominal * 600n - dropPerMinute * 9n;
    const perMinute = nominal * 60n - dropPerMinute;
    const tens = frame / perTenMinutes;
    const rest = frame % perTenMinutes;
    frame += dropPerMinute * 9n * tens;
    if (rest > dropPerMinute) frame += dropPerMinute * ((rest - dropPerMinute) / perMinute);
  }
  const frames = frame % nominal;
  const seconds = (frame / nominal) % 60n;
  const minutes = (frame / (nominal * 60n)) % 60n;
  const hours = (frame / (nominal * 3600n)) % 24n;
  return `${pad(hours)}:${pad(minutes)}:${pad(seconds)}${dropFrame ? ';' : ':'}${pad(frames)}`;
}
