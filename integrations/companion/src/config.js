// The connection's settings: the fields Companion shows, and what the link makes of them.

export const DEFAULT_URL = 'ws://127.0.0.1:7890';
export const CURRENT_TIMELINE = 'current';
const DEFAULT_RETRY_SECONDS = 2;

// `sequences` is the last sequences.list the engine gave, to offer its timelines by name.
export function configFields(sequences = []) {
  const timelines = sequences.map((sequence) => ({
    id: String(sequence.timelineID),
    label: timelineLabel(sequence),
  }));
  return [
    {
      type: 'textinput',
      id: 'url',
      label: 'Engine address',
      width: 8,
      default: DEFAULT_URL,
      regex: '/^wss?:\\/\\/\\S+$/',
      tooltip: 'ws://127.0.0.1:7890 when Companion runs on the editing computer',
    },
    {
      type: 'number',
      id: 'retrySeconds',
      label: 'Retry every (seconds)',
      width: 4,
      default: DEFAULT_RETRY_SECONDS,
      min: 1,
      max: 60,
      asInteger: true,
    },
    {
      type: 'secret-text',
      id: 'password',
      label: 'Password (only when the engine has one)',
      width: 8,
    },
    {
      type: 'dropdown',
      id: 'timeline',
      label: 'Timeline',
      width: 8,
      default: CURRENT_TIMELINE,
      allowCustom: true,
      regex: '/^(current|[0-9]+)$/',
      choices: [{ id: CURRENT_TIMELINE, label: "The engine's current timeline" }, ...timelines],
      tooltip: 'Timeline ids hold for one run of the editor: after a restart pick the timeline again',
    },
  ];
}

function timelineLabel(sequence) {
  const parts = [`Timeline ${sequence.timelineID}`];
  if (sequence.fps != null) parts.push(`${sequence.fps} fps`);
  if (sequence.width != null && sequence.height != null) parts.push(`${sequence.width}x${sequence.height}`);
  if (sequence.current) parts.push('current now');
  return parts.join(', ');
}

// What the link needs, or `{ problem }` naming what is wrong with the settings.
export function readConfig(config = {}, secrets = {}) {
  const url = typeof config.url === 'string' && config.url.trim() !== '' ? config.url.trim() : DEFAULT_URL;
  if (!/^wss?:\/\/\S+$/.test(url)) return { problem: `the address ${url} is not a ws:// address` };
  const seconds = Number(config.retrySeconds ?? DEFAULT_RETRY_SECONDS);
  if (!Number.isFinite(seconds) || seconds < 1 || seconds > 60) {
    return { problem: 'the retry interval is 1 to 60 seconds' };
  }
  const password = typeof secrets?.password === 'string' && secrets.password !== '' ? secrets.password : undefined;
  const chosen = String(config.timeline ?? CURRENT_TIMELINE).trim();
  let pinned = null;
  if (chosen !== CURRENT_TIMELINE) {
    if (!/^[0-9]+$/.test(chosen) || Number(chosen) > 2147483647) {
      return { problem: `the timeline ${chosen} is not a timeline id` };
    }
    pinned = Number(chosen);
  }
  return { url, password, retryMs: Math.round(seconds * 1000), pinned };
}
