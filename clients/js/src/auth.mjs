// The password proof of the structured protocol. The engine's hello carries a fresh challenge
// C and salt S (base64 texts); both sides derive K = b64(SHA-256(password + S)), the client
// answers A = b64(SHA-256(K + C)) and the engine proves it knows the password too with
// b64(SHA-256(K + A + C)). WebCrypto, so that the same code runs in a page and in Node.

async function sha256Base64(text) {
  const digest = await globalThis.crypto.subtle.digest('SHA-256', new TextEncoder().encode(text));
  return btoa(String.fromCharCode(...new Uint8Array(digest)));
}

// Returns the answer to send and the proof the engine must give back.
export async function authenticationProof(password, { challenge, salt }) {
  const key = await sha256Base64(password + salt);
  const answer = await sha256Base64(key + challenge);
  const serverProof = await sha256Base64(key + answer + challenge);
  return { answer, serverProof };
}
