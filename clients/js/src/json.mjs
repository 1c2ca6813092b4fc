// JSON that keeps 64-bit integers whole. Ticks pass 2^53 after a few hours of timeline, so an
// integer literal that a double cannot hold exactly is read as a BigInt, and a BigInt is
// written as a bare integer. Everything else reads and writes as JSON.parse and
// JSON.stringify do.

// Fifteen digits always fit in a double, so text without a longer digit run parses exactly
// with JSON.parse; only the rest goes through the reader below.
const LONG_DIGIT_RUN = /\d{16}/;
const NUMBER = /-?(?:0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?/y;
const STRING = /"(?:[^"\\\u0000-\u001f]|\\(?:["\\/bfnrt]|u[0-9a-fA-F]{4}))*"/y;
const WHITESPACE = /[ \t\n\r]*/y;

export function parseJson(text) {
  if (!LONG_DIGIT_RUN.test(text)) return JSON.parse(text);
  const reader = new Reader(text);
  const value = reader.value();
  reader.skipWhitespace();
  if (reader.at < text.length) reader.fail('unexpected text after the value');
  return value;
}

class Reader {
  constructor(text) {
    this.text = text;
    this.at = 0;
  }

  fail(what) {
    throw new SyntaxError(`JSON: ${what} at position ${this.at}`);
  }

  skipWhitespace() {
    WHITESPACE.lastIndex = this.at;
    WHITESPACE.exec(this.text);
    this.at = WHITESPACE.lastIndex;
  }

  match(pattern) {
    pattern.lastIndex = this.at;
    const found = pattern.exec(this.text);
    if (found) this.at = pattern.lastIndex;
    return found;
  }

  expect(char) {
    this.skipWhitespace();
    if (this.text[this.at] !== char) this.fail(`expected "${char}"`);
    this.at += 1;
  }

  value() {
    this.skipWhitespace();
    const char = this.text[this.at];
    if (char === '{') return this.object();
    if (char === '[') return this.array();
    if (char === '"') return this.string();
    for (const [word, value] of [['true', true], ['false', false], ['null', null]]) {
      if (this.text.startsWith(word, this.at)) {
        this.at += word.length;
        return value;
      }
    }
    const number = this.match(NUMBER);
    if (!number) this.fail('expected a value');
    const literal = number[0];
    const isInteger = number[1] === undefined && number[2] === undefined;
    if (isInteger && !Number.isSafeInteger(Number(literal))) return BigInt(literal);
    return Number(literal);
  }

  string() {
    const found = this.match(STRING);
    if (!found) this.fail('malformed string');
    return JSON.parse(found[0]);
  }

  array() {
    this.at += 1;
    const array = [];
    this.skipWhitespace();
    if (this.text[this.at] === ']') {
      this.at += 1;
      return array;
    }
    for (;;) {
      array.push(this.value());
      this.skipWhitespace();
      if (this.text[this.at] === ']') {
        this.at += 1;
        return array;
      }
      this.expect(',');
    }
  }

  object() {
    this.at += 1;
    const object = {};
    this.skipWhitespace();
    if (this.text[this.at] === '}') {
      this.at += 1;
      return object;
    }
    for (;;) {
      this.skipWhitespace();
      if (this.text[this.at] !== '"') this.fail('expected a member name');
      const key = this.string();
      this.expect(':');
      // As JSON.parse does: an own member even for "__proto__", the last duplicate counting.
      Object.defineProperty(object, key, {
        value: this.value(), writable: true, enumerable: true, configurable: true,
      });
      this.skipWhitespace();
      if (this.text[this.at] === '}') {
        this.at += 1;
        return object;
      }
      this.expect(',');
    }
  }
}

// JSON.stringify with BigInt written as a bare integer. `indent` as JSON.stringify's third
// argument (a number of spaces).
export function stringifyJson(value, indent = 0) {
  const step = ' '.repeat(indent);
  const seen = new Set();
  const write = (item, margin) => {
    if (typeof item === 'bigint') return item.toString();
    if (item !== null && typeof item === 'object' && typeof item.toJSON === 'function') {
      return write(item.toJSON(), margin);
    }
    if (item === null || typeof item !== 'object') return JSON.stringify(item);
    if (seen.has(item)) throw new TypeError('cannot write a circular structure as JSON');
    seen.add(item);
    const inner = margin + step;
    const open = indent ? `\n${inner}` : '';
    const close = indent ? `\n${margin}` : '';
    const separator = indent ? `,\n${inner}` : ',';
    let text;
    if (Array.isArray(item)) {
      const parts = item.map((element) => write(element, inner) ?? 'null');
      text = parts.length ? `[${open}${parts.join(separator)}${close}]` : '[]';
    } else {
      const parts = [];
      for (const [key, member] of Object.entries(item)) {
        const written = write(member, inner);
        if (written !== undefined) parts.push(`${JSON.stringify(key)}:${indent ? ' ' : ''}${written}`);
      }
      text = parts.length ? `{${open}${parts.join(separator)}${close}}` : '{}';
    }
    seen.delete(item);
    return text;
  };
  return write(value, '');
}
