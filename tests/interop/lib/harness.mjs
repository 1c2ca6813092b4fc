// What the interop tests share: the simulator with the interop project, a static file
// server for pages, and headless Chromium from the system (never a downloaded one).
import { createServer } from 'node:http';
import { readFile, mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

export { Simulator, ENGINE_URL, REPO } from '../../../clients/js/test/simulator.mjs';

export const PROJECT = fileURLToPath(new URL('../fixtures/project.json', import.meta.url));
export const EXPECTED_INFO_COMMANDS = [
  'get.version', 'get.info', 'get.sequence', 'get.angle', 'get.angle.marker', 'get.clipsize',
  'get.clipsize.marker', 'get.transitions', 'get.commands', 'exec', 'multicam.angle',
  'vitals.subscribe', 'dump.angle', 'debug.tlscan',
];
export const PLAY_EVENT = 'event:transport:{"type":"play","on":true}';
export const WAIT_MS = 20000;

const TYPES = { '.html': 'text/html', '.mjs': 'text/javascript', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json' };

// Serves `root` on a free port of 127.0.0.1; pages name it localhost (admitted) or a
// mapped host name (refused).
export async function serveStatic(root) {
  const base = resolve(root);
  const server = createServer(async (request, response) => {
    const path = normalize(join(base, decodeURIComponent(new URL(request.url, 'http://x').pathname)));
    if (path !== base && !path.startsWith(base + sep)) {
      response.writeHead(403).end();
      return;
    }
    try {
      const file = path.endsWith(sep) ? join(path, 'index.html') : path;
      const body = await readFile(file);
      response.writeHead(200, { 'content-type': TYPES[extname(file)] ?? 'application/octet-stream' }).end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  return { port: server.address().port, close: () => new Promise((done) => server.close(done)) };
}

export const CHROMIUM = process.env.CHROMIUM_PATH ?? '/usr/bin/chromium';

export async function launchChromium(extraArgs = []) {
  const { chromium } = await import('playwright-core');
  const profile = await mkdtemp(join(tmpdir(), 'zyl-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    timeout: 60000,
    viewport: { width: 1280, height: 800 },
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run', ...extraArgs,
    ],
  });
  return {
    context,
    close: async () => {
      await context.close();
      await rm(profile, { recursive: true, force: true });
    },
  };
}
