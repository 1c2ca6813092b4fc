// Runs the host simulator for a test: stdin stays a pipe we own (the simulator quits when
// it closes), stdout is read as its one-JSON-object-per-line log. Run the tests inside
// scripts/isolated-net: the engine always binds 127.0.0.1:7890.
import { spawn } from 'node:child_process';
import { connect } from 'node:net';
import { existsSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { fileURLToPath } from 'node:url';
import { dirname, join, resolve } from 'node:path';

export const REPO = resolve(dirname(fileURLToPath(import.meta.url)), '../../..');
export const ENGINE_PORT = 7890;
export const ENGINE_URL = `ws://127.0.0.1:${ENGINE_PORT}`;
// Generous: the machine is shared and a slow start must not fail a test.
const START_MS = 30000;
const STEP_MS = 20000;

export function simulatorPath() {
  const buildDir = process.env.ZYL_BUILD_DIR ? resolve(process.env.ZYL_BUILD_DIR) : join(REPO, 'build');
  return join(buildDir, 'bin', 'zyl-hostsim');
}

function portAccepts(port) {
  return new Promise((done) => {
    const socket = connect({ host: '127.0.0.1', port });
    socket.once('connect', () => { socket.destroy(); done(true); });
    socket.once('error', () => done(false));
  });
}

async function waitFor(check, ms, what) {
  const deadline = Date.now() + ms;
  while (Date.now() < deadline) {
    if (await check()) return;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`timed out waiting for ${what}`);
}

export class Simulator {
  static async start({ project, demo = false, env = {} } = {}) {
    const path = simulatorPath();
    if (!existsSync(path)) throw new Error(`no simulator at ${path}; build it or set ZYL_BUILD_DIR`);
    if (await portAccepts(ENGINE_PORT)) {
      throw new Error(`127.0.0.1:${ENGINE_PORT} is taken already: run the tests inside scripts/isolated-net`);
    }
    const args = [];
    if (project) args.push('--project', project);
    if (demo) args.push('--demo');
    // A settings folder of its own, so that no allow-list file of this machine's user
    // decides which origins a test sees admitted.
    const settings = mkdtempSync(join(tmpdir(), 'zyl-settings-'));
    const sim = new Simulator(spawn(path, args, {
      stdio: ['pipe', 'pipe', 'pipe'],
      env: { ...process.env, APPDATA: settings, ...env },
    }));
    sim.settings = settings;
    try {
      await sim.until((line) => line.event === 'ready', START_MS, 'the simulator to be ready');
      await waitFor(() => portAccepts(ENGINE_PORT), START_MS, `the engine to listen on ${ENGINE_PORT}`);
    } catch (error) {
      sim.child.kill('SIGKILL');
      rmSync(settings, { recursive: true, force: true });
      throw error;
    }
    return sim;
  }

  constructor(child) {
    this.child = child;
    this.lines = [];
    this.waiters = [];
    this.stderr = '';
    this.exit = new Promise((done) => child.once('exit', (code, signal) => done({ code, signal })));
    let buffered = '';
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => {
      buffered += chunk;
      let newline;
      while ((newline = buffered.indexOf('\n')) >= 0) {
        const raw = buffered.slice(0, newline);
        buffered = buffered.slice(newline + 1);
        let line;
        try { line = JSON.parse(raw); } catch { line = { event: 'unparsed', raw }; }
        this.lines.push(line);
        for (const waiter of [...this.waiters]) waiter(line);
      }
    });
    child.stderr.setEncoding('utf8');
    child.stderr.on('data', (chunk) => { this.stderr += chunk; });
  }

  // Resolves with the first stdout line (already seen or still to come) that passes `test`.
  until(test, ms = STEP_MS, what = 'a simulator line') {
    const seen = this.lines.find(test);
    if (seen) return Promise.resolve(seen);
    return new Promise((resolveLine, reject) => {
      const timer = setTimeout(() => {
        this.waiters = this.waiters.filter((w) => w !== waiter);
        reject(new Error(`timed out waiting for ${what}; stderr: ${this.stderr}`));
      }, ms);
      const waiter = (line) => {
        if (!test(line)) return;
        clearTimeout(timer);
        this.waiters = this.waiters.filter((w) => w !== waiter);
        resolveLine(line);
      };
      this.waiters.push(waiter);
      this.exit.then(() => {
        clearTimeout(timer);
        reject(new Error(`the simulator exited while waiting for ${what}; stderr: ${this.stderr}`));
      });
    });
  }

  // Sends one stdin command and waits until the simulator reports it carried out.
  async command(text) {
    const from = this.lines.length;
    this.child.stdin.write(`${text}\n`);
    const done = await this.until(
      (line) => this.lines.indexOf(line) >= from && (line.event === 'ok' || line.event === 'error') && line.command === text,
      STEP_MS, `"${text}" to be carried out`);
    if (done.event === 'error') throw new Error(`simulator refused "${text}": ${done.reason}`);
    return done;
  }

  // Writes the user's allow-list file; the engine reads it anew at every handshake.
  writeOrigins(lines) {
    const folder = join(this.settings, 'ZYL Engine');
    mkdirSync(folder, { recursive: true });
    writeFileSync(join(folder, 'origins.txt'), `${lines.join('\n')}\n`);
  }

  // Writes the engine's settings file (password, text protocol); read anew at every handshake.
  writeSettings(settings) {
    this.writeSettingsText(JSON.stringify(settings));
  }

  // Writes the settings file's text as it stands, broken or not.
  writeSettingsText(text) {
    const folder = join(this.settings, 'ZYL Engine');
    mkdirSync(folder, { recursive: true });
    writeFileSync(join(folder, 'settings.json'), text);
  }

  removeSettings() {
    rmSync(join(this.settings, 'ZYL Engine', 'settings.json'), { force: true });
  }

  // Ends the simulator the normal way and returns its exit code and ledger line.
  async quit() {
    if (this.child.exitCode === null) this.child.stdin.end('quit\n');
    const timer = setTimeout(() => this.child.kill('SIGKILL'), STEP_MS);
    const { code, signal } = await this.exit;
    clearTimeout(timer);
    rmSync(this.settings, { recursive: true, force: true });
    return { code, signal, ledger: this.lines.find((line) => line.event === 'ledger') };
  }
}
