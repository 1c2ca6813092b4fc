// Failures of the connection itself, shared by both protocols.

export class ZylConnectionError extends Error {
  constructor(message, closeCode) {
    super(message);
    this.name = 'ZylConnectionError';
    this.closeCode = closeCode;
  }
}

export class ZylTimeoutError extends Error {
  constructor(request, ms) {
    super(`${request}: no reply within ${ms} ms`);
    this.name = 'ZylTimeoutError';
    this.request = request;
  }
}
