#!/usr/bin/env node
// zyl send "TEXT"   prints the engine's reply frames (with --json, the parsed reply);
//                   exit 0 on a reply, 1 on an ".error:" reply, 2 when it cannot talk
// zyl watch         subscribes and prints every pushed vitals record and event
// Options: --url ws://HOST:PORT, --timeout MS
import { spawn } from 'node:child_process';

const USAGE = 'usage: zyl.mjs [--url URL] [--timeout MS] [--json] send TEXT | watch';

function parseArguments(argv) {
  const options = { url: undefined, timeoutMs: 30000, json: false, help: false, words: [] };
  for (let i = 0; i < argv.length; i++) {
    const word = argv[i];
    if (word === '--url') options.url = argv[++i];
    else if (word === '--timeout') options.timeoutMs = Number(argv[++i]);
    else if (word === '--json') options.json = true;
    else if (word === '-h' || word === '--help') options.help = true;
    else options.words.push(word);
  }
  return options;
}

async function send(client, text, json, { ZylReplyError }) {
  try {
    const reply = await client.send(text);
    if (reply.kind === 'none') {
      const why = reply.command === 'host' ? 'handed to the host as a command name' : 'no reply by design';
      process.stderr.write(`(${text}: ${why})\n`);
    } else if (json) {
      console.log(JSON.stringify(reply, null, 2));
    } else {
      for (const frame of reply.frames ?? [reply.text]) console.log(frame);
    }
    return 0;
  } catch (error) {
    if (error instanceof ZylReplyError) {
      console.log(error.reply);
      return 1;
    }
    process.stderr.write(`zyl: ${error.message}\n`);
    return 2;
  }
}

function watch(client) {
  let stopping = false;
  client.on('vitals', (_record, text) => console.log(text));
  client.on('event', (_event, text) => console.log(text));
  client.on('open', () => process.stderr.write(`zyl: watching ${client.url}\n`));
  client.on('close', () => {
    if (!stopping) process.stderr.write('zyl: connection closed, reconnecting\n');
  });
  process.on('SIGINT', () => {
    stopping = true;
    client.close().then(() => process.exit(0));
  });
  return client.subscribeVitals();
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const [verb, ...rest] = options.words;
  if (options.help || !['send', 'watch'].includes(verb) || (verb === 'send' && rest.length !== 1)) {
    process.stderr.write(`${USAGE}\n`);
    process.exit(options.help ? 0 : 2);
  }
  const protocol = await import('../index.mjs');
  const client = new protocol.ZylClient({
    url: options.url, timeoutMs: options.timeoutMs, reconnect: verb === 'watch',
  });
  try {
    await client.connect();
  } catch (error) {
    process.stderr.write(`zyl: ${error.message}\n`);
    process.exit(2);
  }
  if (verb === 'watch') {
    await watch(client);
    return;
  }
  const status = await send(client, rest[0], options.json, protocol);
  // Closing cleanly lets a text that gets no reply leave the socket before we exit.
  await client.close();
  process.exit(status);
}

if (typeof globalThis.WebSocket === 'function') {
  await main();
} else {
  // Node 20 keeps its WebSocket behind a flag: run again with it, passing signals on so
  // that stopping this process stops the one doing the work.
  const again = spawn(process.execPath, ['--experimental-websocket', ...process.argv.slice(1)], {
    stdio: 'inherit',
  });
  for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => again.kill(signal));
  again.on('exit', (code, signal) => process.exit(code ?? (signal ? 130 : 2)));
}
