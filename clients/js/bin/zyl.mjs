#!/usr/bin/env node
// The engine from the shell: `send` and `watch` speak the text protocol, `call` and
// `watch TOPIC...` the structured one. Exit 0 on success, 1 when the engine answers with
// an error, 2 on a usage error or when it cannot be reached.
import { spawn } from 'node:child_process';
import { parseJson, stringifyJson } from '../src/json.mjs';

const HELP = `usage: zyl.mjs [options] send TEXT
       zyl.mjs [options] watch
       zyl.mjs [options] call METHOD [NAME=VALUE ...]
       zyl.mjs [options] watch TOPIC...

  send TEXT          sends one text-protocol command and prints the reply frames
                     (with --json, the parsed reply); exit 1 on an ".error:" reply
  watch              subscribes (text protocol) and prints each pushed record and event
  call METHOD ...    calls one method of the structured protocol and prints its result
                     as JSON; exit 1 when the engine answers an error (printed as JSON).
                     Each VALUE is read as JSON where it parses (3, -1, true, null,
                     9007199254740993 exactly, "quoted text", {"a":1}) and as text
                     otherwise: name=Intro is the text "Intro", name='"3"' the text "3".
  watch TOPIC...     subscribes to the topics (transport, marker, vitals, playhead,
                     sequence) over the structured protocol and prints each event as one
                     JSON line

options:
  --url URL          the engine's address (default ws://127.0.0.1:7890)
  --timeout MS       how long to wait for an answer (default 30000)
  --password TEXT    the engine's password, for call and watch TOPIC (or set ZYL_PASSWORD)
  --json             send: print the parsed reply
  -h, --help         this text
A status line for connecting and for each reconnect goes to stderr.`;

class UsageError extends Error {}

const MAX_TIMEOUT_MS = 2 ** 31 - 1;

function checkedUrl(value) {
  let url;
  try {
    url = new URL(value);
  } catch {
    url = null;
  }
  if (url?.protocol !== 'ws:' && url?.protocol !== 'wss:') {
    throw new UsageError(`--url: "${value}" is not a ws:// or wss:// URL (for example ws://127.0.0.1:7890)`);
  }
  return value;
}

function checkedTimeout(value) {
  const ms = /^\d+$/.test(value) ? Number(value) : NaN;
  if (!(ms > 0 && ms <= MAX_TIMEOUT_MS)) {
    throw new UsageError(`--timeout: "${value}" is not a whole number of milliseconds from 1 to ${MAX_TIMEOUT_MS}`);
  }
  return ms;
}

function parseArguments(argv, env) {
  const options = { url: undefined, timeoutMs: 30000, json: false, help: false, password: undefined, words: [] };
  let passwordGiven = false;
  for (let i = 0; i < argv.length; i++) {
    const word = argv[i];
    if (word === '--') {
      options.words.push(...argv.slice(i + 1));
      break;
    }
    if (!word.startsWith('-') || word === '-') {
      options.words.push(word);
      continue;
    }
    const equals = word.indexOf('=');
    const flag = equals > 0 ? word.slice(0, equals) : word;
    // A value is the next word unless it is written --flag=VALUE; an option word never
    // passes for a value, so a flag left without one is caught.
    const value = () => {
      if (equals > 0) return word.slice(equals + 1);
      const next = argv[i + 1];
      if (next === undefined || next.startsWith('--')) throw new UsageError(`${flag} needs a value`);
      i += 1;
      return next;
    };
    if (flag === '--url') options.url = checkedUrl(value());
    else if (flag === '--timeout') options.timeoutMs = checkedTimeout(value());
    else if (flag === '--password') {
      options.password = value();
      if (options.password === '') throw new UsageError('--password needs a value');
      passwordGiven = true;
    } else if (equals < 0 && word === '--json') options.json = true;
    else if (equals < 0 && (word === '-h' || word === '--help')) options.help = true;
    else throw new UsageError(`unknown option ${word}`);
  }
  if (options.help) return options;
  const [verb, ...rest] = options.words;
  options.verb = verb;
  options.rest = rest;
  const structured = verb === 'call' || (verb === 'watch' && rest.length > 0);
  if (verb === 'send' && rest.length !== 1) throw new UsageError('send takes one TEXT (quote it)');
  if (verb === 'call' && rest.length === 0) throw new UsageError('call needs a METHOD');
  if (!['send', 'watch', 'call'].includes(verb)) {
    throw new UsageError(verb === undefined ? 'no command given' : `unknown command ${verb}`);
  }
  if (passwordGiven && !structured) throw new UsageError('--password is for call and watch TOPIC');
  if (structured && !passwordGiven && env.ZYL_PASSWORD) options.password = env.ZYL_PASSWORD;
  if (verb === 'call') {
    options.method = rest[0];
    options.params = callParams(rest.slice(1));
  }
  return options;
}

function callParams(words) {
  const params = {};
  for (const word of words) {
    const equals = word.indexOf('=');
    if (equals <= 0) throw new UsageError(`"${word}" is not NAME=VALUE`);
    const name = word.slice(0, equals);
    if (Object.hasOwn(params, name)) throw new UsageError(`${name} is given twice`);
    const text = word.slice(equals + 1);
    let value;
    try {
      value = parseJson(text);
    } catch {
      value = text;
    }
    Object.defineProperty(params, name, { value, enumerable: true, writable: true, configurable: true });
  }
  return params;
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

async function call(client, method, params, { ZylRequestError }) {
  try {
    console.log(stringifyJson(await client.request(method, params), 2));
    return 0;
  } catch (error) {
    if (error instanceof ZylRequestError) {
      const { code, message, param, status } = error;
      console.log(stringifyJson({ error: { code, message, param, status } }, 2));
      return 1;
    }
    process.stderr.write(`zyl: ${error.message}\n`);
    return 2;
  }
}

// One status line when the connection opens and one for each time it is lost and regained;
// failed attempts in between stay quiet.
function reportConnection(client, what) {
  let opened = false;
  client.on('open', () => {
    process.stderr.write(opened ? `zyl: reconnected to ${client.url}\n` : `zyl: connected to ${client.url}, ${what}\n`);
    opened = true;
  });
  client.on('close', ({ code, wasOpen }) => {
    if (wasOpen && !client.closedByUser) process.stderr.write(`zyl: connection lost (${code}), reconnecting\n`);
  });
  client.on('error', (error) => process.stderr.write(`zyl: ${error.message}\n`));
  process.on('SIGINT', () => {
    client.close().then(() => process.exit(0));
  });
}

async function main() {
  let options;
  try {
    options = parseArguments(process.argv.slice(2), process.env);
  } catch (error) {
    if (!(error instanceof UsageError)) throw error;
    process.stderr.write(`zyl: ${error.message}\n${HELP}\n`);
    process.exit(2);
  }
  if (options.help) {
    console.log(HELP);
    process.exit(0);
  }
  const { verb, rest } = options;
  const topics = verb === 'watch' ? rest : [];
  const protocol = verb === 'call' || topics.length ? 2 : 1;
  const library = await import('../index.mjs');
  const client = new library.ZylClient({
    url: options.url, timeoutMs: options.timeoutMs, reconnect: verb === 'watch', protocol, password: options.password,
  });
  if (verb === 'watch') {
    if (protocol === 1) {
      client.on('vitals', (_record, text) => console.log(text));
      client.on('event', (_event, text) => console.log(text));
    } else {
      client.on('event', (message) => console.log(stringifyJson(message)));
    }
    reportConnection(client, protocol === 1 ? 'watching' : `watching ${topics.join(', ')}`);
  }
  try {
    await client.connect();
    if (verb === 'watch') {
      await (protocol === 1 ? client.subscribeVitals() : client.subscribe(topics));
      return;
    }
  } catch (error) {
    process.stderr.write(`zyl: ${error.message}\n`);
    await client.close();
    process.exit(2);
  }
  const status = verb === 'call'
    ? await call(client, options.method, options.params, library)
    : await send(client, rest[0], options.json, library);
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
