// The few DOM helpers every part of the page uses.
export const $ = (id) => document.getElementById(id);

export function setText(id, value) {
  $(id).textContent = value;
}

// Appends `text` to an element in a <code> of its own.
export function appendCode(element, text) {
  const code = document.createElement('code');
  code.textContent = text;
  element.append(code);
}
