import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { parseJson, ticksToTimecode, timecodeToTicks } from '../index.mjs';

// The table the engine's tests read too, so that client and engine convert alike.
const cases = parseJson(readFileSync(new URL('../../../tests/data/timecode-cases.json', import.meta.url), 'utf8'));

test('every timecode text reads as the position the engine derives', () => {
  assert.ok(cases.toTicks.length > 40);
  for (const item of cases.toTicks) {
    const got = timecodeToTicks(item.text, cases.sequences[item.sequence]);
    assert.equal(got, item.ticks, `${item.sequence} "${item.text}": ${item.case}`);
  }
});

test('every position writes as the table says, and reads back to its frame', () => {
  for (const item of cases.toText) {
    const sequence = cases.sequences[item.sequence];
    const text = ticksToTimecode(item.ticks, sequence);
    assert.equal(text, item.text, `${item.sequence} ${item.ticks}: ${item.case}`);
    // Within the day and from the zero point on, the text names the frame the position is in.
    if (text === null || item.case.includes('wrap')) continue;
    const frameStart = timecodeToTicks(text, sequence);
    const ticksPerFrame = BigInt(sequence.ticksPerFrame);
    const offset = BigInt(item.ticks) - BigInt(frameStart);
    assert.ok(offset >= 0n && offset < ticksPerFrame, `${item.sequence} ${item.ticks} read back`);
  }
});

test('ticks past 2^53 come as bigint and are taken as bigint', () => {
  const sequence = cases.sequences['25'];
  const ticks = timecodeToTicks('25:00:00:00', sequence);
  assert.equal(typeof ticks, 'bigint');
  assert.equal(ticksToTimecode(ticks, sequence), '01:00:00:00');
  assert.equal(ticksToTimecode(10160640000n * 265n, sequence), '00:00:10:15');
});
