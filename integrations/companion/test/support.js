// A link made for a test: it records every status it reports and lets the test wait for a
// state or a status, each change being checked as it comes.
import { EngineLink } from '../src/link.js';

export { ENGINE_URL, Simulator } from '../../../clients/js/test/simulator.mjs';

// Generous: the machine may be busy, and nothing here waits the whole time when all is well.
const WAIT_MS = 20000;
export const RETRY_MS = 200;

export function makeLink(settings) {
  const statuses = [];
  const waiters = new Set();
  const changed = () => {
    for (const waiter of [...waiters]) waiter();
  };
  const link = new EngineLink({
    settings: { password: undefined, retryMs: RETRY_MS, pinned: null, ...settings },
    onStatus: (level, message) => {
      statuses.push({ level, message });
      changed();
    },
    onState: changed,
    onLists: changed,
  });
  link.statuses = statuses;
  // Resolves once `test(link)` holds, now or after a later change.
  link.until = (test, what, ms = WAIT_MS) => new Promise((resolve, reject) => {
    const waiter = () => {
      if (!test(link)) return;
      waiters.delete(waiter);
      clearTimeout(timer);
      resolve();
    };
    const timer = setTimeout(() => {
      waiters.delete(waiter);
      reject(new Error(`timed out waiting for ${what}; statuses: ${JSON.stringify(statuses)}`));
    }, ms);
    waiters.add(waiter);
    waiter();
  });
  link.untilStatus = (level, pattern = /./) => link.until(
    () => link.status.level === level && pattern.test(link.status.message ?? ''),
    `status ${level} ${pattern}`,
  );
  return link;
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
