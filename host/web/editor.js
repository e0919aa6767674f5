// The browser editor: draws the state the server sends (the control's forms as the model holds them)
// and posts the designer's mouse and keys back as actions. Every text is put in with textContent, never
// as markup. Requests go out one at a time, each carrying the state version it was made on.
"use strict";

const TWIPS = 15;  // twips per CSS pixel
let state = null;
let queue = Promise.resolve();
let openCombo = null;        // the combo box whose item list is shown
let previousVisible = new Set();
let drawing = false;         // set while the page moves its own focus
let filePath = "";           // the folder the file dialog shows
let fileChosen = null;
let pointerDown = false;     // a mouse button is down: drawing waits, so that the click lands
let deferred = null;

const $ = (id) => document.getElementById(id);
const px = (twips) => Math.round(twips / TWIPS) + "px";

function el(tag, props, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props || {})) {
    if (key === "text") node.textContent = value;
    else if (key === "class") node.className = value;
    else if (/^(data-|aria-)/.test(key) || ["title", "type", "tabindex", "role"].includes(key)) node.setAttribute(key, value);
    else node[key] = value;
  }
  for (const child of children) if (child) node.appendChild(child);
  return node;
}

// ---- talking to the server -------------------------------------------------------------------

let version = 0;  // the version of the latest state received; each action is sent against it

// data-busy="yes" on the root element while requests are out (tools wait for "no").
let outstanding = 0;
function busy(change) {
  outstanding += change;
  document.documentElement.setAttribute("data-busy", outstanding > 0 || pointerDown ? "yes" : "no");
}

function request(method, path, body) {
  busy(+1);
  const job = queue.then(async () => {
    const options = { method, headers: {}, credentials: "same-origin" };
    if (body !== undefined) {
      options.headers["Content-Type"] = "application/json";
      options.body = JSON.stringify(typeof body === "function" ? body() : body);
    }
    const response = await fetch(path, options);
    const reply = await response.json().catch(() => ({ error: "no answer" }));
    const latest = reply.error === undefined ? reply : reply.state;
    if (latest && typeof latest.version === "number") version = latest.version;
    return { ok: response.ok, status: response.status, reply };
  });
  queue = job.catch(() => {});
  job.then(() => setTimeout(() => busy(-1), 0), () => busy(-1));
  return job;
}

async function post(action) {
  if (!state) return;
  const { ok, reply } = await request("POST", "/action", () => Object.assign({ version }, action));
  if (!ok) notice(reply.error || "refused");
  draw(ok ? reply : reply.state);
}

// One action on a form: the form's name goes with it, so that the server refuses actions on what
// lies below a dialog.
function act(form, action) {
  return post(Object.assign({ form }, action));
}

async function refresh() {
  const { ok, reply } = await request("GET", "/state");
  if (ok) draw(reply);
}

async function save() {
  const { ok, reply } = await request("POST", "/save", {});
  if (!ok) notice(reply.error || "not saved");
  draw(ok ? reply : reply.state);
}

async function close() {
  if (state && state.state === "modified" && !window.confirm("There are unsaved changes. Close without saving them?")) return;
  await request("POST", "/close", {});
  document.body.replaceChildren(el("div", { class: "closed", text: "The editor is closed. You may close this page." }));
}

let noticeTimer = 0;
function notice(text) {
  const box = $("notice");
  box.textContent = text;
  box.hidden = false;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(() => { box.hidden = true; }, 4000);
}

// ---- keys ----------------------------------------------------------------------------------------

const KEYS = { Enter: 13, Escape: 27, Delete: 46, ArrowUp: 38, ArrowDown: 40, ArrowLeft: 37, ArrowRight: 39, Tab: 9 };
const shiftState = (e) => (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
const printable = (e) => e.key.length === 1 && !e.ctrlKey && !e.metaKey && !e.altKey;

// Keys in a text box or an editable combo: characters are typed, the named keys are KeyDowns, other
// edits (deleting, pasting) replace the text.
function textKeys(input, form, name, multiline) {
  input.addEventListener("keydown", (e) => {
    if (e.ctrlKey && (e.key === "s" || e.key === "S")) return;
    if (printable(e)) {
      e.preventDefault();
      act(form, { action: "type", control: name, text: e.key });
    } else if (e.key in KEYS && !(multiline && e.key === "Enter")) {
      if (e.key !== "Tab") e.preventDefault();
      act(form, { action: "keydown", control: name, code: KEYS[e.key], shift: shiftState(e) });
    }
  });
  input.addEventListener("input", () => {
    const text = multiline ? input.value.replace(/\r?\n/g, "\r\n") : input.value;
    act(form, { action: "text", control: name, text });
  });
}

// ---- drawing --------------------------------------------------------------------------------------

function place(node, c) {
  node.style.left = px(c.left);
  node.style.top = px(c.top);
  node.style.width = px(c.width);
  node.style.height = px(c.height);
  return node;
}

function focusTarget(node) {
  return node.matches("input, textarea, button, .list, .grid") ? node : node.querySelector("input, textarea, button, .list, .grid");
}

function drawControl(form, c, active) {
  const name = c.name;
  const on = (node, type, fn) => node.addEventListener(type, fn);
  let node;
  switch (c.kind) {
    case "label":
      node = el("div", { class: "label", text: c.caption });
      break;
    case "frame":
      node = el("div", { class: "frame" }, el("span", { class: "legend", text: c.caption }));
      break;
    case "button":
      node = el("button", { class: "control", type: "button", "data-control": name, text: c.caption, disabled: !c.enabled });
      on(node, "click", () => act(form, { action: "click", control: name }));
      break;
    case "check": {
      const box = el("input", { type: "checkbox", "data-control": name, disabled: !c.enabled, checked: c.value === 1 });
      box.indeterminate = c.value === 2;
      on(box, "click", (e) => { e.preventDefault(); act(form, { action: "click", control: name }); });
      node = el("label", { class: "check" }, box, el("span", { text: c.caption }));
      break;
    }
    case "option": {
      const radio = el("input", { type: "radio", "data-control": name, disabled: !c.enabled, checked: c.value });
      on(radio, "click", (e) => { e.preventDefault(); act(form, { action: "choose", control: name }); });
      node = el("label", { class: "option" }, radio, el("span", { text: c.caption }));
      break;
    }
    case "text": {
      node = c.multiline ? el("textarea", { class: "text", "data-control": name, disabled: !c.enabled, spellcheck: false })
                         : el("input", { class: "text", type: "text", "data-control": name, disabled: !c.enabled, spellcheck: false });
      node.value = c.text;
      textKeys(node, form, name, c.multiline);
      break;
    }
    case "combo":
      node = drawCombo(form, c);
      break;
    case "list":
      node = drawList(form, c);
      break;
    case "grid":
      node = drawGrid(form, c);
      break;
    case "tabs":
      node = drawTabs(form, c);
      break;
    default:
      node = el("div");
  }
  place(node, c);
  const target = focusTarget(node);
  if (target && c.kind !== "label" && c.kind !== "frame") {
    target.addEventListener("focus", () => {
      if (drawing || (active && active.name === name)) return;
      act(form, { action: "focus", control: name });
    });
  }
  return node;
}

function drawCombo(form, c) {
  const name = c.name;
  const input = el("input", { type: "text", spellcheck: false, disabled: !c.enabled, readOnly: c.dropdownList });
  input.value = c.text;
  const drop = el("button", { class: "drop", type: "button", tabindex: "-1", text: "\u25BC", disabled: !c.enabled });
  const node = el("div", { class: "combo", "data-control": name }, input, drop);
  const toggle = () => { openCombo = openCombo === name ? null : name; draw(state); };
  drop.addEventListener("click", toggle);
  if (c.dropdownList) input.addEventListener("click", toggle);
  else textKeys(input, form, name, false);
  if (openCombo === name) {
    node.classList.add("open");
    const list = el("ul", { class: "dropdown" });
    c.items.forEach((text, index) => {
      const item = el("li", { "data-index": String(index), text, class: index === c.listIndex ? "selected" : "" });
      item.addEventListener("mousedown", (e) => e.preventDefault());
      item.addEventListener("click", () => { openCombo = null; act(form, { action: "select", control: name, index }); });
      list.appendChild(item);
    });
    node.appendChild(list);
  }
  return node;
}

function drawList(form, c) {
  const name = c.name;
  const node = el("div", { class: "list" + (c.enabled ? "" : " disabled"), "data-control": name, tabindex: c.enabled ? "0" : "-1" });
  const selected = new Set(c.selected);
  c.items.forEach((text, index) => {
    const isSelected = c.multi ? selected.has(index) : index === c.listIndex;
    const item = el("div", { class: "item" + (isSelected ? " selected" : "") + (index === c.listIndex ? " focused" : ""), "data-index": String(index), text });
    if (c.enabled) {
      item.addEventListener("click", (e) => {
        if (e.detail > 1) return;  // the second click of a double click: the dblclick follows
        // A click selects (a selected item is clicked again), Ctrl+click clears a selected item of a
        // list with multiple selection, Shift+click selects the range from the focused item.
        if (c.multi && e.shiftKey) act(form, { action: "select", control: name, index, shift: true });
        else if (c.multi && (e.ctrlKey || e.metaKey) && isSelected) act(form, { action: "deselect", control: name, index });
        else act(form, { action: "select", control: name, index });
      });
      item.addEventListener("dblclick", () => act(form, { action: "dblclick", control: name, index }));
    }
    node.appendChild(item);
  });
  return node;
}

function drawGrid(form, c) {
  const name = c.name;
  const node = el("div", { class: "grid", "data-control": name, tabindex: c.enabled ? "0" : "-1" });
  const table = el("table");
  const widths = el("colgroup");
  for (const w of c.colWidths) {
    const col = el("col");
    col.style.width = px(w);
    widths.appendChild(col);
  }
  table.appendChild(widths);
  const body = el("tbody");
  const rows = [];
  for (let r = 0; r < c.fixedRows; r++) rows.push(r);
  for (let r = Math.max(c.topRow, c.fixedRows); r < c.rows; r++) rows.push(r);
  for (const r of rows) {
    const line = el("tr");
    line.style.height = px(c.rowHeight);
    for (let k = 0; k < c.cols; k++) {
      const fixed = r < c.fixedRows || k < c.fixedCols;
      const cell = el("td", { "data-row": String(r), "data-col": String(k), text: c.cells[r][k],
                             class: (fixed ? "fixed" : "") + (r === c.row && k === c.col && !fixed ? " current" : "") });
      if (!fixed && c.enabled) {
        cell.addEventListener("click", (e) => {
          if (e.detail > 1) return;
          act(form, { actions: [{ action: "cell", form, control: name, row: r, col: k }, { action: "click", form, control: name }] });
        });
        cell.addEventListener("dblclick", () => act(form, { action: "dblclick", control: name }));
      }
      line.appendChild(cell);
    }
    body.appendChild(line);
  }
  table.appendChild(body);
  node.appendChild(table);
  node.addEventListener("keydown", (e) => {
    if (e.target !== node) return;
    if (printable(e) || e.key === "Enter") {
      e.preventDefault();
      act(form, { action: "keypress", control: name, code: e.key === "Enter" ? 13 : e.key.charCodeAt(0) & 0xFF });
    } else if (e.key.startsWith("Arrow")) {
      e.preventDefault();
      const row = c.row + (e.key === "ArrowDown") - (e.key === "ArrowUp");
      const col = c.col + (e.key === "ArrowRight") - (e.key === "ArrowLeft");
      if (row >= c.fixedRows && row < c.rows && col >= c.fixedCols && col < c.cols)
        act(form, { action: "cell", control: name, row, col });
    }
  });
  return node;
}

function drawTabs(form, c) {
  const node = el("div", { class: "tabs", "data-control": c.name });
  const strip = el("div", { class: "strip" });
  c.captions.forEach((caption, index) => {
    const tab = el("button", { type: "button", "data-tab": String(index), text: caption, class: index === c.tab ? "shown" : "", disabled: !c.enabled });
    tab.addEventListener("click", () => act(form, { action: "tab", control: c.name, tab: index }));
    strip.appendChild(tab);
  });
  node.append(strip, el("div", { class: "page" }));
  return node;
}

function drawForm(f) {
  const node = el("div", { class: "form" });
  let right = 0, bottom = 0;
  const active = f.controls.find((c) => c.name === f.active) || null;
  for (const c of f.controls) {
    right = Math.max(right, c.left + c.width);
    bottom = Math.max(bottom, c.top + c.height);
    node.appendChild(drawControl(f.name, c, active));
  }
  node.style.width = px(right + 120);
  node.style.height = px(bottom + 120);
  return node;
}

function drawWindow(dialog, caption, body) {
  return el("div", { class: "overlay" },
    el("div", { class: "window", "data-dialog": dialog, role: "dialog", "aria-modal": "true" },
      el("div", { class: "title", text: caption }), el("div", { class: "body" }, body)));
}

function drawMessage(m) {
  const answers = el("div", { class: "answers" });
  for (const answer of m.buttons) {
    const label = { ok: "OK", cancel: "Cancel", yes: "Yes", no: "No", abort: "Abort", retry: "Retry", ignore: "Ignore" }[answer];
    const button = el("button", { class: "control", type: "button", "data-answer": answer, text: label });
    button.addEventListener("click", () => post({ action: "answer", answer }));
    answers.appendChild(button);
  }
  return drawWindow("message", m.title, el("div", {}, el("div", { class: "prompt", text: m.prompt }), answers));
}

function joinPath(folder, name) {
  return /[\\/]$/.test(folder) ? folder + name : folder + "\\" + name;
}

function parentPath(folder) {
  const trimmed = folder.replace(/[\\/]+$/, "");
  const cut = Math.max(trimmed.lastIndexOf("\\"), trimmed.lastIndexOf("/"));
  return cut < 0 ? folder : trimmed.slice(0, cut + 1);
}

function drawFileDialog(f) {
  const entries = el("div", { class: "entries" });
  const where = el("div", { class: "where", text: filePath });
  const chosen = el("input", { class: "text", type: "text", spellcheck: false });
  chosen.style.width = "100%";
  const answer = (file) => post({ action: "answer", file });
  const open = el("button", { class: "control", type: "button", "data-answer": "open", text: "Open" });
  const cancel = el("button", { class: "control", type: "button", "data-answer": "cancel", text: "Cancel" });
  const up = el("button", { class: "control", type: "button", "data-command": "up", text: "Up" });
  open.addEventListener("click", () => { if (chosen.value) answer(joinPath(filePath, chosen.value)); });
  cancel.addEventListener("click", () => answer(null));
  up.addEventListener("click", () => list(parentPath(filePath)));
  const body = el("div", { class: "files" }, el("div", { class: "filter", text: f.filter.split("|")[0] || "All files" }),
    where, entries, chosen, el("div", { class: "answers" }, up, open, cancel));
  async function list(path) {
    const { ok, reply } = await request("GET", "/files?path=" + encodeURIComponent(path));
    if (!ok) { notice(reply.error || "cannot list"); return; }
    filePath = reply.path;
    where.textContent = filePath;
    entries.replaceChildren();
    for (const folder of reply.folders) {
      const row = el("div", { "data-folder": folder, text: folder });
      row.addEventListener("dblclick", () => list(joinPath(filePath, folder)));
      entries.appendChild(row);
    }
    for (const file of reply.files) {
      const row = el("div", { "data-file": file, text: file });
      row.addEventListener("click", () => {
        entries.querySelectorAll(".chosen").forEach((n) => n.classList.remove("chosen"));
        row.classList.add("chosen");
        chosen.value = file;
      });
      row.addEventListener("dblclick", () => answer(joinPath(filePath, file)));
      entries.appendChild(row);
    }
  }
  if (fileChosen !== f) { fileChosen = f; filePath = f.initDir; }
  list(filePath);
  return drawWindow("file", f.title || "Open", body);
}

function draw(next) {
  if (!next || !next.layers) return;
  if (pointerDown) {
    deferred = next;
    return;
  }
  const scrolls = new Map();
  document.querySelectorAll("[data-control].list, [data-control].grid").forEach((n) => scrolls.set(n.getAttribute("data-control"), n.scrollTop));
  state = next;
  document.documentElement.setAttribute("data-state", next.state);
  $("status").textContent = next.state === "modified" ? "unsaved changes" : "saved";
  $("bag").textContent = next.bag;
  // An in-place combo the control has just shown over a grid cell opens its item list.
  const top = next.layers[next.layers.length - 1];
  const visible = new Set(top.controls.map((c) => top.name + "/" + c.name));
  const activeTop = top.controls.find((c) => c.name === top.active);
  if (activeTop && activeTop.kind === "combo" && !previousVisible.has(top.name + "/" + activeTop.name)) openCombo = activeTop.name;
  if (openCombo && !top.controls.some((c) => c.name === openCombo)) openCombo = null;
  previousVisible = visible;

  const editor = next.layers[0];
  $("editor").replaceChildren(drawForm(editor));
  const layers = [];
  for (const form of next.layers.slice(1)) layers.push(drawWindow(form.name, form.caption || form.name, drawForm(form)));
  if (next.file) layers.push(drawFileDialog(next.file)); else fileChosen = null;
  if (next.message) layers.push(drawMessage(next.message));
  $("layers").replaceChildren(...layers);

  $("page-text").textContent = next.pageText.text;
  $("messages").replaceChildren(...next.pageText.messages.map((m) => el("li", { text: m })));
  document.querySelectorAll("[data-control].list, [data-control].grid").forEach((n) => {
    const s = scrolls.get(n.getAttribute("data-control"));
    if (s) n.scrollTop = s;
  });
  followFocus(next);
}

// The page's keyboard focus follows the control the model has focused on the form on top.
function followFocus(next) {
  drawing = true;
  try {
    if (next.message) {
      const first = document.querySelector('[data-dialog="message"] [data-answer]');
      if (first) first.focus();
      return;
    }
    if (next.file) return;
    const top = next.layers[next.layers.length - 1];
    const root = next.layers.length > 1 ? document.querySelector('#layers [data-dialog="' + CSS.escape(top.name) + '"]') : $("editor");
    if (!root || !top.active) return;
    const node = root.querySelector('[data-control="' + CSS.escape(top.active) + '"]');
    const target = node && focusTarget(node);
    if (target && document.activeElement !== target) {
      target.focus();
      if (target.setSelectionRange && target.type !== "checkbox" && target.type !== "radio") {
        const end = target.value.length;
        target.setSelectionRange(end, end);
      }
    }
  } finally {
    drawing = false;
  }
}

// ---- start ------------------------------------------------------------------------------------------

$("save").addEventListener("click", save);
$("close").addEventListener("click", close);
document.addEventListener("keydown", (e) => {
  if (e.ctrlKey && (e.key === "s" || e.key === "S")) {
    e.preventDefault();
    save();
  }
});
document.addEventListener("mousedown", (e) => {
  pointerDown = true;
  busy(0);
  if (openCombo && !e.target.closest(".combo.open")) {
    openCombo = null;
    document.querySelectorAll(".combo.open .dropdown").forEach((n) => n.remove());
  }
}, true);
document.addEventListener("mouseup", () => {
  // The click follows the mouseup; the state that came meanwhile is drawn after it.
  setTimeout(() => {
    pointerDown = false;
    if (deferred) {
      const next = deferred;
      deferred = null;
      draw(next);
    }
    busy(0);
  }, 0);
}, true);
window.addEventListener("beforeunload", (e) => {
  if (state && state.state === "modified") { e.preventDefault(); e.returnValue = ""; }
});
// Another tab may have changed the editor meanwhile.
document.addEventListener("visibilitychange", () => { if (!document.hidden) refresh(); });
// The token has done its work in the first request (the cookie carries it now).
if (location.search) history.replaceState(null, "", "/");
refresh();
