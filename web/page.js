// The page: the classic calculator and the planner, both built from the
// calculation's own tables (the window's controls, the table of inputs,
// the shipped chips), and the scripting interface `synthfactors`. Every
// figure comes from the calculation in a worker; this file only lays out,
// forwards and draws.
"use strict";

// ---- Workers ---------------------------------------------------------------

// A module of one SIMD instruction: valid only where the browser runs
// WebAssembly SIMD. There the workers load the module with the search's
// SIMD kernel, elsewhere the scalar one (the same bytes either way);
// "?wasm=scalar" in the address asks for the scalar one.
const kSimdProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
  10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
const withSimd = WebAssembly.validate(kSimdProbe) &&
  new URLSearchParams(location.search).get("wasm") !== "scalar";
const kWorkerSource = withSimd ? SIMD_WORKER_SOURCE : WORKER_SOURCE;

// A worker running the calculation, with request/answer pairing. The
// worker is made from a Blob, so the page works from a file:// address too.
class Calculation {
  constructor() {
    // The address lives as long as the worker: a browser may fetch the
    // script after the constructor returns.
    this.url = URL.createObjectURL(new Blob([kWorkerSource], { type: "text/javascript" }));
    this.worker = new Worker(this.url);
    this.pending = new Map();
    this.nextId = 1;
    this.worker.onmessage = (event) => this.receive(event.data);
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.failAll(new Error("The calculation stopped: " + (event.message || "unknown error")));
    };
  }

  receive({ id, result, error, progress }) {
    const call = this.pending.get(id);
    if (!call) return;
    if (progress) {
      if (call.onProgress) call.onProgress(progress);
      return;
    }
    this.pending.delete(id);
    if (error !== undefined) call.reject(new Error(error));
    else call.resolve(result);
  }

  call(kind, args = {}, onProgress = null) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, onProgress });
      this.worker.postMessage({ id, kind, args });
    });
  }

  failAll(error) {
    for (const call of this.pending.values()) call.reject(error);
    this.pending.clear();
  }

  // Ends the worker at once: a running sweep is dropped.
  terminate() {
    this.worker.terminate();
    URL.revokeObjectURL(this.url);
    this.failAll(new CancelledError());
  }
}

class CancelledError extends Error {
  constructor() {
    super("cancelled");
    this.name = "CancelledError";
  }
}

const calculation = new Calculation();

// The decimal symbol of the browser's language, for the texts a person
// reads; the scripting interface and the exports keep ".".
const decimalSymbol = (1.5).toLocaleString(navigator.language).replace(/[0-9]/g, "") || ".";

// ---- The scripting interface ----------------------------------------------

// The calculation answers a request it cannot run with {"error": "..."}
// alone; every other answer is an object that starts with another member.
function isErrorAnswer(line) {
  return line.startsWith('{"error":');
}

// An answer's text, read only where it is a refusal (thrown).
function answerOrThrow(line) {
  if (isErrorAnswer(line)) throw new Error(JSON.parse(line).error);
  return line;
}

// An answer's object, read once (a refusal is thrown).
function answerObject(line) {
  const answer = JSON.parse(line);
  if (isErrorAnswer(line)) throw new Error(answer.error);
  return answer;
}

function sweepTextOf(result) {
  if (result.error !== undefined) throw new Error(result.error);
  return result.text;
}

const jsonLines = (text) => text.split("\n").filter((line) => line !== "").map((line) => JSON.parse(line));

// sweepText's options: none, or {json: true|false, signal: an
// AbortSignal}; anything else is refused rather than read as CSV.
function sweepOptions(options) {
  if (options === undefined) return { json: false, signal: null };
  if (options === null || typeof options !== "object" || Array.isArray(options)) {
    throw new TypeError("synthfactors.sweepText takes its options as one object, such as {json: true}");
  }
  if (options.json !== undefined && typeof options.json !== "boolean") {
    throw new TypeError("synthfactors.sweepText: json must be true or false");
  }
  if (options.signal !== undefined && !(options.signal instanceof AbortSignal)) {
    throw new TypeError("synthfactors.sweepText: signal must be an AbortSignal, such as new AbortController().signal");
  }
  return { json: options.json === true, signal: options.signal || null };
}

// The least points worth a worker of its own: starting one costs about as
// long as running this many.
const kPointsPerWorker = 4000;

// A band run by as many workers as the machine has processors, each a part
// of the points, the parts joined in order: the same bytes as one worker
// gives. `onProgress` gets the points done by them all (the choice of one
// R, made by each, as the first one makes it); aborting `signal` ends them
// all at once, and the promise with CancelledError. Resolves to the
// sweep's answer: {text, note} or {error}.
// Workers kept from the last sweeps, ready to run (a new one first loads
// and compiles the module). A worker's memory grows to hold its part of a
// band and never shrinks: after a band of more than kMostPooledPoints the
// workers end instead of waiting.
const idleWorkers = [];
const kMostPooledPoints = 200000;
const takeWorker = () => idleWorkers.pop() || new Calculation();

async function sweepInParallel(design, asJsonLines, onProgress = () => {}, signal = null) {
  const designText = JSON.stringify(design);
  const workers = [takeWorker()];
  let ended = false;
  // Aborted: every worker ends at once (a running sweep cannot be asked to
  // stop); finished: they wait for the next sweep.
  const stop = () => {
    ended = true;
    workers.forEach((worker) => worker.terminate());
  };
  if (signal) {
    if (signal.aborted) {
      stop();
      throw new CancelledError();
    }
    signal.addEventListener("abort", stop, { once: true });
  }
  try {
    const points = await workers[0].call("pointCount", { design: designText });
    if (points > kMostPooledPoints) ended = true;  // not kept afterwards
    const processors = Math.min(Math.max(navigator.hardwareConcurrency || 1, 1), 16);
    const count = Math.max(1, Math.min(processors, Math.floor(points / kPointsPerWorker)));
    while (workers.length < count) workers.push(takeWorker());
    const done = new Array(count).fill(0);
    const answers = await Promise.all(workers.map((worker, part) => worker.call("sweep", {
      design: designText, jsonLines: asJsonLines, point: ".",
      first: Math.floor((points * part) / count), end: count === 1 ? -1 : Math.floor((points * (part + 1)) / count),
    }, (progress) => {
      if (progress.unit !== "points") {
        if (part === 0) onProgress(progress);
        return;
      }
      done[part] = progress.done;
      onProgress({ done: done.reduce((a, b) => a + b, 0), total: points, unit: "points" });
    })));
    const failed = answers.find((answer) => answer.error !== undefined);
    if (failed) return failed;
    return { text: answers.map((answer) => answer.text).join(""), note: answers[0].note };
  } catch (error) {
    stop();  // a worker that failed is not used again
    throw error;
  } finally {
    if (signal) signal.removeEventListener("abort", stop);
    if (ended) {
      workers.forEach((worker) => worker.terminate());
    } else {
      idleWorkers.push(...workers);
    }
  }
}

// The members of a call, as one JSON object's text.
function requestText(members, name, example) {
  if (members === null || typeof members !== "object" || Array.isArray(members)) {
    throw new TypeError(`synthfactors.${name} takes one object of inputs, such as ${example}`);
  }
  return JSON.stringify(members);
}

window.synthfactors = {
  // One run with the table of inputs' keys ({rf_out: "1000", mult: 4}):
  // the object `synthfactors-cli --json` writes.
  run: async (inputs) => answerObject(await calculation.call("run", {
    request: requestText(inputs, "run", '{rf_out: "1000"}'), point: ".",
  })),
  runText: async (inputs) => answerOrThrow(await calculation.call("run", {
    request: requestText(inputs, "run", '{rf_out: "1000"}'), point: ".",
  })),
  // A band ({sweep: "10368:10370:0.025", mult: "4", common_r: false, ...}):
  // the objects `synthfactors-cli --sweep ... --json` writes, one a channel
  // (with one R, the choice's object first).
  // {signal} ends it early (an AbortSignal).
  sweep: async (design, options = {}) =>
    jsonLines(await window.synthfactors.sweepText(design, { ...options, json: true })),
  // The same band as text: CSV as `--sweep` writes it, or JSON Lines. It
  // runs in workers of its own, on every processor: the calculator and
  // the planner stay free meanwhile.
  sweepText: async (design, options) => {
    const { json, signal } = sweepOptions(options);
    requestText(design, "sweep", '{sweep: "10368:10370:0.025"}');
    try {
      return sweepTextOf(await sweepInParallel(design, json, undefined, signal));
    } catch (error) {
      if (error instanceof CancelledError && signal && signal.aborted) throw signal.reason;
      throw error;
    }
  },
};

// ---- Small helpers ----------------------------------------------------------

const $ = (id) => document.getElementById(id);

function element(tag, properties = {}, children = []) {
  const node = document.createElement(tag);
  Object.assign(node, properties);
  for (const child of children) node.append(child);
  return node;
}

function showFault(title, message) {
  $("fault-title").textContent = title;
  $("fault-message").textContent = message;
  $("fault").showModal();
}

// Rows of a CSV text as the command line writes it (RFC 4180 quoting);
// comment lines ("# common R ...") are left out.
function parseCsv(text) {
  // Most plans quote nothing: lines and commas alone, much faster.
  if (!text.includes('"')) {
    return text.split("\n").filter((line) => line !== "" && !line.startsWith("#"))
      .map((line) => line.replace(/\r$/, "").split(","));
  }
  const rows = [];
  let row = [], field = "", quoted = false, start = true;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; i++; }
      else if (c === '"') quoted = false;
      else field += c;
      continue;
    }
    if (start && c === "#") {
      const end = text.indexOf("\n", i);
      i = end < 0 ? text.length : end;
      continue;
    }
    start = false;
    if (c === '"') quoted = true;
    else if (c === ",") { row.push(field); field = ""; }
    else if (c === "\n") { row.push(field); rows.push(row); row = []; field = ""; start = true; }
    else if (c !== "\r") field += c;
  }
  if (!start || field !== "") { row.push(field); rows.push(row); }
  return rows;
}

// Saves `content` (a text, or a Blob made already) as the file `name`.
function download(name, content, type) {
  const blob = content instanceof Blob ? content : new Blob([content], { type });
  const link = element("a", { download: name, href: URL.createObjectURL(blob) });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

const formatCount = (n) => n.toLocaleString(navigator.language);

// A figure's text as the tables show it: the exact text where it has at
// most nine significant digits, else the value to nine as printf's %.9g
// writes it ("78.3699052", "1.23456789e+09"), the planner's rule.
function nineDigitText(text) {
  const digits = text.split(/[eE]/)[0].replace(/[^0-9]/g, "").replace(/^0+/, "").length;
  if (digits <= 9) return text;
  const value = Number(text);
  const withoutZeros = (digits) => (digits.includes(".") ? digits.replace(/0+$/, "").replace(/\.$/, "") : digits);
  const [mantissa, power] = value.toExponential(8).split("e");
  const exponent = Number(power);
  if (exponent < -4 || exponent >= 9) {
    return `${withoutZeros(mantissa)}e${exponent < 0 ? "-" : "+"}${String(Math.abs(exponent)).padStart(2, "0")}`;
  }
  return withoutZeros(value.toFixed(8 - exponent));
}

// How the tables head and show each result column (columnTable()).
const columns = new Map();

const captionOf = (name) => (columns.has(name) ? columns.get(name).caption : name);

// A cell as the tables show it: B and A in hexadecimal, measured figures to
// nine digits with the language's decimal symbol, flags in words. The
// exports and a cell's tooltip keep the command line's text.
function shownCell(name, text) {
  const column = columns.get(name);
  if (text === "" || !column) return text;
  if (column.hex) return "0x" + BigInt(text).toString(16).toUpperCase();
  if (column.flag) return text === "true" ? "yes" : text === "false" ? "no" : text;
  if (column.figure) return nineDigitText(text).replace(".", decimalSymbol);
  return text;
}

// A table cell showing `text` of column `name`, the exact text in its
// tooltip where the two differ.
function tableCell(name, text) {
  const shown = shownCell(name, text);
  const cell = element("td", { textContent: shown });
  if (shown !== text) cell.title = text;
  return cell;
}

// A column's header: the caption, the command line's name in its tooltip.
const tableHeader = (name) => element("th", { textContent: captionOf(name), scope: "col", title: name });

// ---- The classic calculator -------------------------------------------------

const calculator = { boxes: [] };

// The label that names a text box: the nearest on its row to its right,
// else the one just above it ("RF Source Frequency" over its box).
function labelOf(box, controls) {
  const labels = controls.filter((control) => control.kind === "label");
  const overlaps = (a, b) => a.top < b.top + b.height && b.top < a.top + a.height;
  const beside = labels.filter((label) => overlaps(label, box) && label.left >= box.left + box.width - 2)
    .sort((a, b) => a.left - b.left);
  if (beside.length > 0) return beside[0];
  return labels.find((label) => label.top + label.height <= box.top + 2 && box.top - label.top < 40 &&
    label.left < box.left + box.width && box.left < label.left + label.width);
}

function buildCalculator(layout) {
  $("window-title").textContent = layout.title;
  const client = $("window-client");
  client.style.width = layout.width + "px";
  client.style.height = layout.height + "px";
  // In the window's tab order, which the document's order gives the keyboard
  // (the controls stand where the window puts them, whatever their order).
  const ordered = [...layout.controls].sort((a, b) =>
    (a.kind === "label") - (b.kind === "label") || a.tab_index - b.tab_index);
  for (const control of ordered) {
    let node;
    if (control.kind === "label") {
      node = element("label", { textContent: control.text });
    } else if (control.kind === "button") {
      node = element("button", { type: "button", textContent: control.text });
      node.addEventListener("click", go);
      calculator.go = node;
    } else {
      node = element(control.kind === "report" ? "textarea" : "input",
                     { value: control.text, spellcheck: false });
      node.setAttribute("autocomplete", "off");
      calculator.boxes[control.box] = node;
    }
    node.id = "box-" + control.name;
    node.className = "control " + control.kind;
    Object.assign(node.style, {
      left: control.left + "px", top: control.top + "px",
      width: control.width + "px", height: control.height + "px",
    });
    client.append(node);
  }
  // Labels name their boxes for screen readers; the report has none.
  for (const control of layout.controls) {
    if (control.box === undefined) continue;
    const label = control.kind === "text" ? labelOf(control, layout.controls) : null;
    if (label) $("box-" + label.name).htmlFor = "box-" + control.name;
    else $("box-" + control.name).setAttribute("aria-label", "Report");
  }
  calculator.title = layout.title;
  calculator.names = [];
  calculator.inputs = [];
  for (const control of layout.controls) {
    if (control.box === undefined) continue;
    calculator.inputs[control.box] = control.input;
    const label = layout.controls.find((other) => other.kind === "label" &&
      $("box-" + other.name).htmlFor === "box-" + control.name);
    calculator.names[control.box] = label ? label.text : control.name;
  }
  // The window's first focus, its text selected as the window selects it:
  // typing replaces it rather than adding to it.
  calculator.boxes[layout.first_focus].focus();
  calculator.boxes[layout.first_focus].select();
}

// The part of a box's text the window reads: blanks dropped, then
// [+-] digits [. digits] [e [+-] digits] from the start.
const kLeadingNumber = /^[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?/;

// Where a box holds a number written with a decimal comma, what the window
// read of it ("10368,025" is 10368): said, not silently dropped.
function commaNotes() {
  const notes = [];
  calculator.boxes.forEach((box, index) => {
    if (!calculator.inputs[index]) return;
    const compact = box.value.replace(/[ \t\n]/g, "");
    const read = (compact.match(kLeadingNumber) || [""])[0];
    const rest = compact.slice(read.length);
    if (read !== "" && /^,[0-9]/.test(rest)) {
      notes.push(`${calculator.names[index]} "${box.value.trim()}" was read as ${read}: ` +
                 `the window reads "." as its decimal point, whatever the language.`);
    }
  });
  return notes;
}

async function go() {
  // GO stays enabled (a disabled button drops the keyboard's focus); a
  // click while a run is under way does nothing.
  if (calculator.busy) return;
  calculator.busy = true;
  const boxes = calculator.boxes.map((box) => box.value.replace(/\r?\n/g, "\r\n"));
  const notes = commaNotes();
  try {
    const answer = JSON.parse(await calculation.call("go", { boxes: JSON.stringify(boxes), point: decimalSymbol }));
    if (answer.error) throw new Error(answer.error);
    answer.boxes.forEach((text, box) => { calculator.boxes[box].value = text.replace(/\r\n/g, "\n"); });
    if (answer.note) notes.push(answer.note);
    $("calculator-note").textContent = notes.join(" ");
    if (answer.fault) showFault(calculator.title, answer.fault);
  } catch (error) {
    showFault(calculator.title, error.message);
  } finally {
    calculator.busy = false;
  }
}

// ---- The planner ----------------------------------------------------------------

// How long a click on the chart waits to be sure it is no double-click.
const kDoubleClickMs = 300;

const planner = {
  fields: [],        // the planner's inputs from the table
  chips: [],
  worker: null,      // the running plan's AbortController
  header: [],
  rows: [],
  csv: "",
  design: null,      // the design of the plan shown
  page: 0,
  chart: null,
  selected: -1,
  reasons: new Map(),  // row -> why it has no setting, once asked
  without: [],         // the rows without a setting
  plan: 0,             // counts the plans shown, so late answers are dropped
};
const kRowsPerPage = 200;

function fieldId(key) { return "input-" + key; }

function buildPlannerForm(inputs, chips) {
  planner.fields = inputs.filter((field) => field.planner);
  planner.chips = chips;
  const fieldset = $("plan-inputs");
  for (const field of planner.fields) {
    let control;
    if (field.key === "chip") {
      control = element("select", {}, [element("option", { value: "", textContent: "(none)" }),
        ...chips.map((chip) => element("option", { value: chip.name, textContent: chip.name, title: chip.description }))]);
    } else if (field.choices.length) {
      const unchosen = field.key === "filter_order" ? "(3)" : "(the chip's default)";
      control = element("select", {}, ["", ...field.choices].map((word) =>
        element("option", { value: word, textContent: word || unchosen })));
    } else if (field.flag_only) {
      control = element("input", { type: "checkbox" });
    } else {
      control = element("input", { value: field.start, size: 10, spellcheck: false });
      control.setAttribute("autocomplete", "off");
      if (!field.start) control.placeholder = "(not used)";
    }
    control.id = fieldId(field.key);
    control.title = field.help;
    const caption = field.key.replace(/_/g, " ") + (field.unit ? ", " + field.unit : "");
    fieldset.append(element("label", { className: "field", htmlFor: control.id }, [
      element("span", { textContent: caption }), control]));
  }
}

// The design of the form: the band and every input given, as the planner
// keeps it (`synthfactors-cli --plan` runs the same).
// A number typed with the browser language's decimal symbol ("10,5")
// written with ".", as a design keeps it.
function decimalText(text) {
  const trimmed = text.trim();
  return decimalSymbol === "." ? trimmed : trimmed.split(decimalSymbol).join(".");
}

function formDesign() {
  const design = {
    sweep: [$("band-from"), $("band-to"), $("band-step")].map((box) => decimalText(box.value)).join(":"),
    common_r: $("common-r").checked,
  };
  for (const field of planner.fields) {
    const control = $(fieldId(field.key));
    if (control.type === "checkbox") {
      if (control.checked) design[field.key] = true;
    } else if (control.value.trim() !== "") {
      design[field.key] = field.decimal ? decimalText(control.value) : control.value.trim();
    }
  }
  return design;
}

function setRunning(running) {
  const focused = document.activeElement;
  $("plan").disabled = running;
  $("cancel").disabled = !running;
  $("export-csv").disabled = running || planner.rows.length === 0;
  $("export-jsonl").disabled = running || planner.rows.length === 0;
  $("progress").hidden = !running;
  // The keyboard's focus never falls to the page: from a button just
  // disabled it moves to the one that takes its place.
  if (focused && focused.disabled) (running ? $("cancel") : $("plan")).focus();
}

function showProgress({ done, total, unit }) {
  const bar = $("progress");
  bar.max = Math.max(total, 1);
  bar.value = done;
  $("plan-status").textContent = total > 0
    ? `${formatCount(done)} of ${formatCount(total)} ${unit}…`
    : `${formatCount(done)} ${unit}…`;
}

// Runs the band in workers of its own, so that Cancel can end it at once.
async function sweepInWorker(design, asJsonLines) {
  planner.worker = new AbortController();
  setRunning(true);
  try {
    return await sweepInParallel(design, asJsonLines, showProgress, planner.worker.signal);
  } finally {
    planner.worker = null;
    setRunning(false);
  }
}

async function plan(event) {
  event.preventDefault();
  if (planner.worker) return;
  const design = formDesign();
  $("plan-faults").replaceChildren();
  $("plan-status").textContent = "Planning…";
  rememberDesign(design);
  let result;
  try {
    result = await sweepInWorker(design, false);
  } catch (error) {
    $("plan-status").textContent = error instanceof CancelledError
      ? (planner.rows.length ? "Cancelled; the plan shown is the earlier one." : "Cancelled.")
      : error.message;
    return;
  }
  if (result.error !== undefined) {
    $("plan-faults").replaceChildren(...result.error.split("\n").map((line) => element("li", { textContent: line })));
    $("plan-status").textContent = planner.rows.length
      ? "Not planned; the plan shown is the earlier one." : "Not planned.";
    return;
  }
  showPlan(design, result);
}

function showPlan(design, result) {
  const rows = parseCsv(result.text);
  planner.header = rows.shift() || [];
  planner.rows = rows;
  planner.csv = result.text;
  planner.design = design;
  planner.page = 0;
  planner.selected = -1;
  planner.reasons = new Map();
  planner.plan = (planner.plan || 0) + 1;
  const faultColumn = planner.header.indexOf("fault");
  const without = [];
  rows.forEach((row, index) => { if (row[faultColumn] !== "") without.push(index); });
  planner.without = without;
  let status = `Planned ${countOf(rows.length)}.`;
  if (result.note) status += " " + result.note;
  $("plan-status").textContent = status;
  setRunning(false);
  showTable();
  drawChart();
  $("details").replaceChildren(element("h2", { textContent: "Channel" }),
    element("p", { className: "hint", textContent: "Click a channel in the table or the chart to see its report, its alternatives and its register words." }));
  if (without.length > 0) countWithout(status, without);
}

// "81 channels", "1 channel".
const countOf = (n) => `${formatCount(n)} channel${n === 1 ? "" : "s"}`;

// The status's count of the channels without a setting, with the first
// one's reason (each row gives its own).
async function countWithout(status, without) {
  const plan = planner.plan;
  const [reason] = await reasonsOf([without[0]]);
  if (plan !== planner.plan) return;
  const first = planner.rows[without[0]][planner.header.indexOf("rf_out")];
  $("plan-status").textContent = `${status} ${formatCount(without.length)} of ${countOf(planner.rows.length)} ` +
    `${without.length === 1 ? "has" : "have"} no setting: at ${first} MHz, ${reason}.`;
}

// The reasons of rows without a setting, asked of the calculation once each.
async function reasonsOf(indices) {
  const missing = indices.filter((index) => !planner.reasons.has(index));
  if (missing.length > 0) {
    const plan = planner.plan;
    let reasons;
    try {
      reasons = JSON.parse(await calculation.call("reasons", { requests: missing.map(rowRequest), point: "." }));
      if (!Array.isArray(reasons)) throw new Error(reasons.error);
    } catch (error) {
      reasons = missing.map(() => error.message);
    }
    if (plan !== planner.plan) return indices.map(() => "");
    missing.forEach((index, i) => planner.reasons.set(index, reasons[i]));
  }
  return indices.map((index) => planner.reasons.get(index));
}

function showTable() {
  const head = $("channels").tHead;
  head.replaceChildren(element("tr", {}, planner.header.map(tableHeader)));
  const first = planner.page * kRowsPerPage;
  const last = Math.min(first + kRowsPerPage, planner.rows.length);
  const body = $("channels").tBodies[0];
  const faultColumn = planner.header.indexOf("fault");
  const shown = [];
  const hadFocus = body.contains(document.activeElement);
  // One row takes the Tab key (the selected one, else the first); the
  // arrows move between them.
  const current = planner.selected >= first && planner.selected < last ? planner.selected : first;
  body.replaceChildren(...planner.rows.slice(first, last).map((row, i) => {
    const tr = element("tr", { tabIndex: first + i === current ? 0 : -1 },
                       row.map((cell, column) => tableCell(planner.header[column], cell)));
    tr.dataset.index = first + i;
    if (row[faultColumn] !== "") {
      tr.classList.add("no-setting");
      shown.push(first + i);
    }
    if (first + i === planner.selected) {
      tr.classList.add("selected");
      tr.setAttribute("aria-current", "true");
    }
    return tr;
  }));
  if (hadFocus && body.rows.length > 0) body.querySelector(`tr[data-index="${current}"]`).focus();
  $("page-rows").textContent = planner.rows.length
    ? `rows ${formatCount(first + 1)}–${formatCount(last)} of ${formatCount(planner.rows.length)}` : "";
  $("page-back").disabled = planner.page === 0;
  $("page-next").disabled = last >= planner.rows.length;
  if (shown.length > 0) showReasons(shown);
}

// Each shown row without a setting says why in its fault cell (and its
// tooltip); the command line's "no setting" stays in the exports.
async function showReasons(indices) {
  const reasons = await reasonsOf(indices);
  const faultColumn = planner.header.indexOf("fault");
  indices.forEach((index, i) => {
    const tr = $("channels").tBodies[0].querySelector(`tr[data-index="${index}"]`);
    if (!tr || !reasons[i]) return;
    const cell = tr.cells[faultColumn];
    const fault = planner.rows[index][faultColumn];
    cell.textContent = reasons[i] === fault ? fault : `${fault}: ${reasons[i]}`;
    tr.title = reasons[i];
  });
}

function numberColumn(name) {
  const column = planner.header.indexOf(name);
  if (column < 0) return null;
  return planner.rows.map((row) => (row[column] === "" ? null : Number(row[column])));
}

// The error limit typed (Hz, with the language's decimal symbol): null
// when none, or not a number of 0 or more.
function errorLimit() {
  const text = decimalText($("error-limit").value);
  const value = Number(text);
  return text !== "" && Number.isFinite(value) && value >= 0 ? value : null;
}

// The chart as a PNG picture, as drawn (axes and all).
function exportChart() {
  if (!planner.chart) return;
  planner.chart.ctx.canvas.toBlob((blob) => {
    if (!blob) {
      $("plan-status").textContent = "The chart could not be made into a picture.";
      return;
    }
    download(exportName("png"), blob);
  }, "image/png");
}

// The chart as an SVG drawing, as drawn: the plot's lines (broken where a
// channel has no figure), the error limit, the axes with the ticks and
// labels shown, and the legend under it; the part of the band shown.
function chartSvg(chart, series, limit) {
  const escape = (text) => String(text).replaceAll("&", "&amp;").replaceAll("<", "&lt;").replaceAll(">", "&gt;");
  const at = (value) => Number(value.toFixed(2));
  const ratio = chart.ctx.canvas.width / chart.width;
  const box = { left: chart.bbox.left / ratio, top: chart.bbox.top / ratio,
    width: chart.bbox.width / ratio, height: chart.bbox.height / ratio };
  const legendY = box.top + box.height + 62;
  const width = chart.width, height = Math.ceil(legendY + 12);
  const text = (x, y, content, anchor, extra = "") =>
    `<text x="${at(x)}" y="${at(y)}" text-anchor="${anchor}"${extra}>${escape(content)}</text>`;
  const parts = [`<rect width="${width}" height="${height}" fill="#fff"/>`,
    `<clipPath id="plot"><rect x="${at(box.left)}" y="${at(box.top)}" width="${at(box.width)}" height="${at(box.height)}"/></clipPath>`];
  chart.axes.forEach((axis, index) => {
    const scale = index === 0 ? "x" : axis.scale || "y";
    const values = axis._values || [];
    (axis._splits || []).forEach((split, k) => {
      const position = chart.valToPos(split, scale);
      if (index === 0) {
        const x = box.left + position;
        parts.push(`<line x1="${at(x)}" y1="${at(box.top)}" x2="${at(x)}" y2="${at(box.top + box.height)}" stroke="#eee"/>`,
          text(x, box.top + box.height + 16, values[k] ?? "", "middle"));
      } else if (axis.side === 1) {
        parts.push(text(box.left + box.width + 6, box.top + position + 4, values[k] ?? "", "start"));
      } else {
        const y = box.top + position;
        parts.push(`<line x1="${at(box.left)}" y1="${at(y)}" x2="${at(box.left + box.width)}" y2="${at(y)}" stroke="#eee"/>`,
          text(box.left - 6, y + 4, values[k] ?? "", "end"));
      }
    });
    const middle = box.top + box.height / 2;
    if (index === 0) parts.push(text(box.left + box.width / 2, box.top + box.height + 36, axis.label, "middle", ' font-weight="bold"'));
    else {
      const x = axis.side === 1 ? width - 12 : 14;
      parts.push(text(x, middle, axis.label, "middle", ` font-weight="bold" transform="rotate(-90 ${at(x)} ${at(middle)})"`));
    }
  });
  parts.push(`<rect x="${at(box.left)}" y="${at(box.top)}" width="${at(box.width)}" height="${at(box.height)}" fill="none" stroke="#999"/>`);
  const lines = [];
  for (const value of limit === null ? [] : [limit, -limit]) {
    const y = at(box.top + chart.valToPos(value, "y"));
    lines.push(`<line class="limit" x1="${at(box.left)}" y1="${y}" x2="${at(box.left + box.width)}" y2="${y}" stroke="#c80000" stroke-width="2" stroke-dasharray="4 4"/>`);
  }
  // The channels shown, with one either side so the lines reach the edges.
  const xs = chart.data[0];
  const { min, max } = chart.scales.x;
  let first = 0, last = xs.length - 1;
  while (first < last && xs[first + 1] < min) ++first;
  while (last > first && xs[last - 1] > max) --last;
  series.forEach((line, index) => {
    if (index === 0) return;
    const steps = [];
    let pen = "M";
    for (let k = first; k <= last; ++k) {
      const y = chart.data[index][k];
      if (y === null || y === undefined) {
        pen = "M";
        continue;
      }
      steps.push(`${pen}${at(box.left + chart.valToPos(xs[k], "x"))} ${at(box.top + chart.valToPos(y, line.scale || "y"))}`);
      pen = "L";
    }
    lines.push(`<path class="series" d="${steps.join(" ")}" fill="none" stroke="${line.stroke}" stroke-width="${line.width}"/>`);
  });
  parts.push(`<g clip-path="url(#plot)">${lines.join("")}</g>`);
  let x = box.left;
  series.forEach((line, index) => {
    if (index === 0) return;
    const y = legendY;
    parts.push(`<line x1="${at(x)}" y1="${at(y - 4)}" x2="${at(x + 20)}" y2="${at(y - 4)}" stroke="${line.stroke}" stroke-width="2"/>`,
      text(x + 26, y, line.label, "start"));
    x += 40 + line.label.length * 7;
  });
  return `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}" viewBox="0 0 ${width} ${height}" ` +
    `font-family="Liberation Sans, Arimo, sans-serif" font-size="12" fill="#222">${parts.join("")}</svg>\n`;
}

function exportChartSvg() {
  if (!planner.chart) return;
  download(exportName("svg"), chartSvg(planner.chart, planner.chartSeries, planner.chartLimit), "image/svg+xml");
}

// A value axis's tick labels to six significant digits: errors of a few
// µHz read as themselves, not as a row of zeros.
function figureTick(tick) {
  if (tick == null) return "";
  const value = Number(tick.toPrecision(6));
  const text = value !== 0 && Math.abs(value) < 1e-3 ? value.toExponential() : String(value);
  return text.replace(".", decimalSymbol);
}
const figureTicks = (chart, ticks) => ticks.map(figureTick);

// The chart in words, for those who cannot see it.
function chartSummary(x, error) {
  const figures = error.filter((value) => value !== null);
  const without = error.length - figures.length;
  return `${countOf(x.length)} from ${x[0]} to ${x[x.length - 1]} MHz; output error from ` +
    `${figureTick(Math.min(...figures))} to ${figureTick(Math.max(...figures))} Hz` +
    (without > 0 ? ` (${formatCount(without)} without a setting)` : "") +
    ". Left and Right move along the channels, Enter shows one.";
}

// The chart from the keyboard: the arrows (and Home, End, Page Up and
// Down) move its cursor from channel to channel, read out; Enter or Space
// shows the channel's details.
function chartKey(event) {
  const chart = planner.chart;
  if (!chart) return;
  const count = planner.rows.length;
  const at = planner.chartIndex < 0 ? Math.max(planner.selected, 0) : planner.chartIndex;
  const steps = { ArrowRight: 1, ArrowLeft: -1, PageUp: 10, PageDown: -10 };
  let index;
  if (event.key === "Enter" || event.key === " ") {
    event.preventDefault();
    selectChannel(at);
    return;
  } else if (event.key in steps) {
    index = planner.chartIndex < 0 ? at : Math.min(count - 1, Math.max(0, at + steps[event.key]));
  } else if (event.key === "Home" || event.key === "End") {
    index = event.key === "Home" ? 0 : count - 1;
  } else {
    return;
  }
  event.preventDefault();
  planner.chartIndex = index;
  const [x, error] = [chart.data[0][index], chart.data[1][index]];
  chart.setCursor({ left: chart.valToPos(x, "x"), top: chart.valToPos(error ?? 0, "y") });
  const rf = planner.rows[index][planner.header.indexOf("rf_out")];
  $("chart-readout").textContent = error == null ? `${rf} MHz: no setting`
    : `${rf} MHz: output error ${figureTick(error)} Hz`;
}

function drawChart() {
  const host = $("chart");
  if (planner.chart) planner.chart.destroy();
  planner.chart = null;
  const x = numberColumn("rf_out");
  const error = numberColumn("error_hz");
  const nothing = !x || !error || planner.rows.length === 0 ? "No channel to chart."
    : error.every((value) => value === null)
      ? "No channel to chart: no channel has this figure (see the table's fault column)." : null;
  $("export-chart").disabled = nothing !== null;
  $("export-chart-svg").disabled = nothing !== null;
  if (nothing) {
    host.replaceChildren(element("p", { className: "hint", textContent: nothing }));
    $("chart-summary").textContent = nothing;
    $("over-limit").textContent = "";
    return;
  }
  host.replaceChildren();
  planner.chartIndex = -1;
  $("chart-summary").textContent = chartSummary(x, error);
  $("chart-readout").textContent = "";
  const noise = numberColumn("phase_noise_dbc_hz");
  const series = [{ label: "RF output, MHz" },
    { label: "error, Hz", stroke: "#1f5fbf", width: 1, points: { show: planner.rows.length <= 2000, size: 5 } }];
  const data = [x, error];
  // Frequencies as the table writes them, with room between the ticks.
  // The error limit both ways, the value axis wide enough to show it.
  const limit = errorLimit();
  const figures = error.filter((value) => value !== null);
  const over = limit === null ? 0 : figures.filter((value) => Math.abs(value) > limit).length;
  $("over-limit").textContent = limit === null ? ""
    : `${formatCount(over)} of ${countOf(planner.rows.length)} beyond ±${figureTick(limit)} Hz`;
  const limitLines = (chart) => {
    if (limit === null) return;
    const { ctx, bbox } = chart;
    ctx.save();
    ctx.strokeStyle = "#c80000";
    ctx.lineWidth = 2;
    ctx.setLineDash([4, 4]);
    for (const value of [limit, -limit]) {
      const y = chart.valToPos(value, "y", true);
      ctx.beginPath();
      ctx.moveTo(bbox.left, y);
      ctx.lineTo(bbox.left + bbox.width, y);
      ctx.stroke();
    }
    ctx.restore();
  };
  const errorRange = (chart, low, high) => {
    const [from, to] = limit === null ? [low, high] : [Math.min(low, -limit), Math.max(high, limit)];
    return from === to ? [from - 1, to + 1] : [from - (to - from) * 0.05, to + (to - from) * 0.05];
  };
  const axes = [{ label: "RF output, MHz", space: 90, values: (chart, ticks) => ticks.map((tick) => String(Number(tick.toPrecision(12)))) },
    { label: "error, Hz", values: figureTicks, size: 70 }];
  if (noise) {
    series.push({ label: "in-band noise, dBc/Hz", stroke: "#c0392b", width: 1, scale: "dB", points: { show: planner.rows.length <= 2000, size: 5 } });
    data.push(noise);
    axes.push({ label: "noise, dBc/Hz", side: 1, scale: "dB", grid: { show: false }, size: 70, values: figureTicks });
  }
  const jitter = numberColumn("jitter_fs");
  if (jitter) {
    series.push({ label: "rms jitter, fs", stroke: "#2e8b57", width: 1, scale: "fs", points: { show: planner.rows.length <= 2000, size: 5 } });
    data.push(jitter);
    axes.push({ label: "jitter, fs", side: 1, scale: "fs", grid: { show: false }, size: 70, values: figureTicks });
  }
  planner.chartSeries = series;
  planner.chartLimit = limit;
  planner.chart = new uPlot({
    width: Math.max(200, host.clientWidth || 800),
    height: kChartHeight,
    series,
    axes,
    scales: { x: { time: false }, y: { range: errorRange } },
    cursor: { drag: { x: true, y: false } },
    hooks: { draw: [limitLines], ready: [(chart) => {
      // A click selects the channel under the pointer once it is clear it
      // is no double-click, which zooms out and selects nothing.
      let pending = null;
      chart.over.addEventListener("click", (event) => {
        clearTimeout(pending);
        pending = null;
        const index = chart.cursor.idx;
        if (event.detail > 1 || index == null) return;
        pending = setTimeout(() => { pending = null; selectChannel(index); }, kDoubleClickMs);
      });
      chart.over.addEventListener("dblclick", () => { clearTimeout(pending); pending = null; });
    }] },
  }, data, host);
}

// The run request of a row, as the row ran: the design's inputs with the
// row's RF output (and with one R, that R).
function rowRequest(index) {
  const row = planner.rows[index];
  const request = { rf_out: row[planner.header.indexOf("rf_out")] };
  for (const [key, value] of Object.entries(planner.design)) {
    if (key !== "sweep" && key !== "common_r") request[key] = value;
  }
  const rColumn = planner.header.indexOf("r");
  if (planner.design.common_r && rColumn >= 0 && row[rColumn] !== "") request.r_range = `${row[rColumn]}:${row[rColumn]}`;
  return request;
}

// The row a key moves to from row `index` (Enter and Space choose it):
// null for other keys.
function rowAfterKey(index, key) {
  const last = planner.rows.length - 1;
  const steps = { ArrowDown: 1, ArrowUp: -1, PageDown: 20, PageUp: -20 };
  if (key === "Enter" || key === " ") return index;
  if (key in steps) return Math.min(last, Math.max(0, index + steps[key]));
  if (key === "Home") return 0;
  if (key === "End") return last;
  return null;
}

async function selectChannel(index) {
  if (index < 0 || index >= planner.rows.length) return;
  planner.selected = index;
  const page = Math.floor(index / kRowsPerPage);
  if (page !== planner.page) planner.page = page;
  showTable();
  const request = rowRequest(index);
  const rfOut = request.rf_out;
  const chip = planner.chips.find((c) => c.name === planner.design.chip);
  if (chip && chip.registers) request.registers = true;
  const details = $("details");
  details.replaceChildren(element("h2", { textContent: `Channel ${rfOut} MHz` }), element("p", { textContent: "Working…" }));
  try {
    const channel = answerObject(await calculation.call("channel", {
      request: JSON.stringify(request), band: planner.design.sweep, point: decimalSymbol,
    }));
    if (planner.selected !== index) return;  // another channel was chosen meanwhile
    showDetails(rfOut, channel);
  } catch (error) {
    details.replaceChildren(element("h2", { textContent: `Channel ${rfOut} MHz` }), element("p", { className: "fault", textContent: error.message }));
  }
}

// A channel's report (with its register words), alternatives and loop
// noise (the "channel" answer).
function showDetails(rfOut, channel) {
  const parts = [element("h2", { textContent: `Channel ${rfOut} MHz` }), element("pre", { className: "report", textContent: channel.report, tabIndex: 0, ariaLabel: `Report of ${rfOut} MHz` })];
  if (channel.alternatives && channel.alternatives.length) {
    // The columns the run gives (a fractional-N chip's settings have their
    // FRAC, MOD and spur), in the command line's order.
    const names = Object.keys(channel.alternatives[0]);
    // A wide table scrolls sideways in its box, reached by the keyboard.
    parts.push(element("h3", { textContent: "Alternatives" }), element("div", {
      className: "wide-scroll", tabIndex: 0, role: "region", ariaLabel: `Alternatives of ${rfOut} MHz`,
    }, [element("table", { className: "small" }, [
      element("thead", {}, [element("tr", {}, names.map(tableHeader))]),
      element("tbody", {}, channel.alternatives.map((pair) => element("tr", {}, names.map((name) => tableCell(name, pair[name]))))),
    ])]));
  }
  let noiseHost = null;
  if (channel.noise) {
    noiseHost = element("div", { className: "noise-chart", role: "img",
      ariaLabel: `Loop phase noise at ${rfOut} MHz, each source and the total, dBc/Hz against the offset` });
    parts.push(element("h3", { textContent: "Loop noise at the RF output" }), noiseHost);
  }
  // The register words are in the report, in writing order, as the
  // command line prints them: not listed a second time.
  $("details").replaceChildren(...parts);
  if (noiseHost) drawNoise(noiseHost, channel.noise);
}

// The loop's noise against the offset (a log axis): the total and each
// source given, the jitter band shaded behind them.
const kNoiseSources = [
  ["total_dbc_hz", "total", "#000000", 2.5], ["pll_dbc_hz", "PLL", "#2e8b57", 1],
  ["vco_dbc_hz", "VCO", "#e08a00", 1], ["reference_dbc_hz", "reference", "#6a5acd", 1],
  ["resistors_dbc_hz", "resistors", "#c0392b", 1],
];

function drawNoise(host, noise) {
  const series = [{ label: "offset, Hz" }];
  const data = [noise.offset_hz];
  for (const [key, label, stroke, width] of kNoiseSources) {
    if (!noise[key] || noise[key].every((value) => value === null)) continue;
    series.push({ label, stroke, width, value: (chart, value) => (value == null ? "-" : value.toFixed(1)) });
    data.push(noise[key]);
  }
  const [from, to] = noise.jitter_band_hz;
  const shade = (chart) => {
    const { ctx, bbox } = chart;
    const left = chart.valToPos(from, "x", true), right = chart.valToPos(to, "x", true);
    ctx.save();
    ctx.fillStyle = "rgba(70, 130, 180, 0.15)";
    ctx.fillRect(left, bbox.top, right - left, bbox.height);
    ctx.restore();
  };
  // A tick at each decade, named as engineers write offsets.
  const names = ["1", "10", "100", "1k", "10k", "100k", "1M", "10M", "100M", "1G"];
  const decades = (chart, axis, min, max) => {
    const ticks = [];
    for (let power = Math.ceil(Math.log10(min) - 1e-9); power <= Math.log10(max) + 1e-9; power++) ticks.push(10 ** power);
    return ticks;
  };
  // Down to 20 dB below the lowest total: sources far below it are off the chart.
  const total = noise.total_dbc_hz.filter((value) => value !== null);
  const low = 10 * Math.floor((Math.min(...total) - 20) / 10);
  const high = 10 * Math.ceil((Math.max(...total) + 5) / 10);
  new uPlot({
    width: Math.max(280, host.clientWidth || 420),
    height: 240,
    series,
    scales: { x: { time: false, distr: 3 }, y: { range: [low, high] } },
    axes: [{ label: "offset, Hz (jitter band shaded)", splits: decades,
             values: (chart, ticks) => ticks.map((tick) => (tick == null ? "" : names[Math.round(Math.log10(tick))] ?? String(tick))) },
      { label: "dBc/Hz" }],
    hooks: { drawClear: [shade] },
  }, data, host);
}

function exportName(extension) {
  const [from, to] = planner.design.sweep.split(":");
  return `plan-${from}-${to}.${extension}`;
}

async function exportPlan(asJsonLines) {
  if (!asJsonLines) {
    download(exportName("csv"), planner.csv, "text/csv");
    return;
  }
  try {
    const result = await sweepInWorker(planner.design, true);
    if (result.error !== undefined) throw new Error(result.error);
    download(exportName("jsonl"), result.text, "application/jsonl");
    $("plan-status").textContent = `Exported ${formatCount(planner.rows.length)} channels as JSON Lines.`;
  } catch (error) {
    $("plan-status").textContent = error instanceof CancelledError ? "Export cancelled." : error.message;
  }
}

function cancel() {
  if (planner.worker) planner.worker.abort();
}

// ---- Designs and links -----------------------------------------------------

// The form's inputs kept in the browser from one visit to the next.
const kRememberedDesign = "synthfactors.design";

// The form set to a design (as openDesign gives it): a box it leaves out
// takes its start text, numbers shown with the language's decimal symbol.
function fillForm(design) {
  const shown = (text) => (decimalSymbol === "." ? text : text.split(".").join(decimalSymbol));
  const [from = "", to = "", step = ""] = design.sweep.split(":");
  [$("band-from").value, $("band-to").value, $("band-step").value] = [from, to, step].map(shown);
  $("common-r").checked = design.common_r === true;
  for (const field of planner.fields) {
    const control = $(fieldId(field.key));
    const value = design[field.key];
    if (control.type === "checkbox") {
      control.checked = value === true;
      continue;
    }
    const text = value === undefined ? field.start : String(value);
    // A value the list lacks (a profile file's path) is kept, for Plan to
    // say what is wrong with it.
    if (control.tagName === "SELECT" && ![...control.options].some((option) => option.value === text)) {
      control.append(element("option", { value: text, textContent: text }));
    }
    control.value = field.decimal ? shown(text) : text;
  }
}

// A design's text read as the planner reads a design file; its members, or
// a thrown Error with the planner's reason.
async function readDesign(text) {
  const answer = JSON.parse(await calculation.call("openDesign", { text }));
  if (answer.error !== undefined) throw new Error(answer.error);
  return answer.design;
}

// The page's address with a design in it: a link that plans it again.
function linkOf(design) {
  const members = new URLSearchParams();
  for (const [key, value] of Object.entries(design)) {
    if (value !== false) members.set(key, String(value));
  }
  return location.href.replace(/#.*$/, "") + "#" + members.toString();
}

// The design in the page's address, as an object for readDesign: null
// when the address holds none.
function designInAddress() {
  if (location.hash.length <= 1) return null;
  const design = {};
  const flags = new Set(planner.fields.filter((field) => field.flag_only).map((field) => field.key));
  for (const [key, value] of new URLSearchParams(location.hash.slice(1))) {
    design[key] = key === "common_r" || flags.has(key) ? value === "true" : value;
  }
  return design;
}

// Kept for the next visit, and in the address: a copied link plans it.
function rememberDesign(design) {
  try {
    localStorage.setItem(kRememberedDesign, JSON.stringify(design));
  } catch {
    // A browser that keeps nothing (private windows, file pages in some)
    // plans all the same.
  }
  history.replaceState(null, "", linkOf(design));
}

function showFaults(lines) {
  $("plan-faults").replaceChildren(...lines.map((line) => element("li", { textContent: line })));
}

async function saveDesign() {
  const design = formDesign();
  const answer = JSON.parse(await calculation.call("designFile", { design: JSON.stringify(design) }));
  if (answer.error !== undefined) {
    showFaults([answer.error]);
    return;
  }
  const [from, to] = design.sweep.split(":");
  download(`design-${from}-${to || from}.json`, answer.text, "application/json");
  $("plan-status").textContent = "Saved the design: synthfactors-cli --plan runs it, the planner opens it.";
}

async function openDesignFile(file) {
  try {
    fillForm(await readDesign(await file.text()));
    $("plan-faults").replaceChildren();
    $("plan-status").textContent = `Opened ${file.name}; Plan to see its channels.`;
  } catch (error) {
    showFaults([`design ${file.name}: ${error.message}; the inputs are as they were.`]);
  }
}

async function copyLink() {
  const link = linkOf(formDesign());
  try {
    await navigator.clipboard.writeText(link);
    $("plan-status").textContent = "Copied a link to these inputs: it plans them again.";
  } catch {
    $("plan-status").textContent = "The link to these inputs: " + link;
  }
}

// At start: the design of a link, planned at once; else the last inputs.
async function restoreDesign() {
  const linked = designInAddress();
  let remembered = null;
  try {
    remembered = localStorage.getItem(kRememberedDesign);
  } catch {
    remembered = null;
  }
  const text = linked ? JSON.stringify(linked) : remembered;
  if (!text) return;
  try {
    fillForm(await readDesign(text));
  } catch (error) {
    if (linked) showFaults([`The link's design: ${error.message}`]);
    return;
  }
  if (linked) {
    selectTab("planner");
    $("plan-form").requestSubmit();
  } else {
    $("plan-status").textContent = "The inputs of your last plan are back; Plan to see them.";
  }
}

// ---- Start -------------------------------------------------------------------

function selectTab(name) {
  for (const tab of ["calculator", "planner"]) {
    $("tab-" + tab).setAttribute("aria-selected", String(tab === name));
    $(tab).hidden = tab !== name;
  }
  if (name === "planner") fitChart();
}

// The chart as wide as its box, whatever the window (or the paper) does.
const kChartHeight = 280;
function fitChart() {
  const width = $("chart").clientWidth;
  if (planner.chart && width > 0 && Math.abs(planner.chart.width - width) > 1) {
    planner.chart.setSize({ width, height: kChartHeight });
  }
}

async function start() {
  $("tab-calculator").addEventListener("click", () => selectTab("calculator"));
  $("tab-planner").addEventListener("click", () => selectTab("planner"));
  $("plan-form").addEventListener("submit", plan);
  $("cancel").addEventListener("click", cancel);
  $("export-csv").addEventListener("click", () => exportPlan(false));
  $("export-jsonl").addEventListener("click", () => exportPlan(true));
  $("open-design").addEventListener("click", () => $("design-file").click());
  $("design-file").addEventListener("change", (event) => {
    if (event.target.files.length) openDesignFile(event.target.files[0]);
    event.target.value = "";
  });
  $("save-design").addEventListener("click", saveDesign);
  $("copy-link").addEventListener("click", copyLink);
  $("error-limit").addEventListener("input", () => { if (planner.rows.length) drawChart(); });
  $("export-chart").addEventListener("click", exportChart);
  $("export-chart-svg").addEventListener("click", exportChartSvg);
  $("page-back").addEventListener("click", () => { planner.page--; showTable(); });
  $("page-next").addEventListener("click", () => { planner.page++; showTable(); });
  $("channels").addEventListener("click", (event) => {
    const tr = event.target.closest("tr[data-index]");
    if (tr) selectChannel(Number(tr.dataset.index));
  });
  $("channels").addEventListener("keydown", (event) => {
    const tr = event.target.closest("tr[data-index]");
    const target = tr ? rowAfterKey(Number(tr.dataset.index), event.key) : null;
    if (target === null) return;
    event.preventDefault();
    selectChannel(target);
  });
  $("chart").addEventListener("keydown", chartKey);
  document.addEventListener("keydown", (event) => {
    if (event.key === "Escape" && planner.worker) cancel();
  });
  new ResizeObserver(fitChart).observe($("chart"));
  // On paper the chart takes the page's width, and the screen's after.
  window.addEventListener("beforeprint", fitChart);
  window.addEventListener("afterprint", fitChart);
  try {
    const tables = await calculation.call("tables");
    buildCalculator(tables.layout);
    buildPlannerForm(tables.inputs, tables.chips);
    for (const column of tables.columns) columns.set(column.name, column);
    document.body.dataset.kernel = tables.kernel;
    await restoreDesign();
    $("loading").textContent = "";
    document.body.dataset.ready = "true";
  } catch (error) {
    $("loading").textContent = "The calculation could not start: " + error.message;
  }
}

start();
