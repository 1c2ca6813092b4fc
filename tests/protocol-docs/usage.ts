// Compiled against the declarations generated from sample-description.json: each line
// marked @ts-expect-error must be refused, every other line accepted.
import { ZylClient, ticksToTimecode, timecodeToTicks } from './index.js';
import type { ZylCloseCode, ZylErrorCode, ZylEventData } from './protocol.js';

export async function use(zyl: ZylClient): Promise<void> {
  const version: string = (await zyl.request('version')).version;
  const tenHours = 10n * 3600n * 254016000000n;
  const found = await zyl.request('angle.get', { ticks: tenHours, track: -1, timeline: 3 });
  const angle: number | null = found.angle;
  const timeline: number | null = found.timelineID;
  await zyl.request('angle.get', { ticks: 0 });
  const { markers } = await zyl.request('markers.list');
  const markerTicks: number | bigint | null = markers[0].ticks;
  const markerName: string | null = markers[0].name;
  const transition = (await zyl.request('clip.transitions', { start: 0n, end: 100 })).in;
  const length: number | bigint | undefined = transition?.durationTicks;
  const played: 'play' | 'pause' = ({} as ZylEventData<'transport'>).type;
  const code: ZylErrorCode = 'not_found';
  const close: ZylCloseCode = 4004;
  await zyl.request('multicam.setAngle', { angle: 3 });
  const lines: string[] = (await zyl.request('debug.dumpAngle', { ticks: 0 })).lines;
  console.log(version, angle, timeline, markerTicks, markerName, length, played, code, close, lines);
  const timing = { ticksPerSecond: 254016000000, ticksPerFrame: 10160640000n, dropFrame: null, zeroPointTicks: 0 };
  const position: number | bigint | null = timecodeToTicks('00:00:10:15', timing);
  const text: string | null = ticksToTimecode(tenHours, timing);
  console.log(position, text);

  // @ts-expect-error angle.get requires ticks
  await zyl.request('angle.get');
  // @ts-expect-error track is a plain integer, never a bigint
  await zyl.request('angle.get', { ticks: 0, track: 1n });
  // @ts-expect-error version takes no params
  await zyl.request('version', { verbose: true });
  // @ts-expect-error the angle is null when none is found
  const sure: number = found.angle;
  // @ts-expect-error a marker's time is ticks, which may be a bigint
  const small: number | null = markers[0].ticks;
  // @ts-expect-error no such method
  await zyl.request('angle.got', { ticks: 0 });
  // @ts-expect-error not one of the error codes
  const wrong: ZylErrorCode = 'no_such_code';
  // @ts-expect-error the transport's event type is a closed set
  const rewind: ZylEventData<'transport'>['type'] = 'rewind';
  // @ts-expect-error not one of the close codes
  const unknownClose: ZylCloseCode = 4999;
  // @ts-expect-error a position may be a bigint or null
  const plain: number = timecodeToTicks('00:00:10:15', timing);
  console.log(sure, small, wrong, rewind, unknownClose, plain);
}
