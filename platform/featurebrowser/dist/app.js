// The feature browser's page: one WebSocket to the host's HTTP server, carrying the
// feature-browser messages as {tag, body} frames (README.md lists them).
"use strict";

const Tag = {
  snapshot: 1, set: 3, get: 4, subscribe: 5, unsubscribe: 6, code: 7, polling: 8, hello: 9,
  mapsAdded: 0x10000000, mapRemoved: 0x10000001, nodesChanged: 0x10000002, nodeUpdate: 0x10000003,
};

const visibilityRank = { Beginner: 0, Expert: 1, Guru: 2 };

// Values that the driver keeps per calling thread, in the system's own map (named after the
// system alone, "System DravionLyn 0{…}"): the page reads and writes those of the server's
// threads, never the application's.
const systemMap = /^System [^\\]*$/;
const perThreadFeatures = ["Q_TIMEOUT"];
const perThreadNote = "The driver keeps this value per calling thread. A value written here " +
  "applies to the server's thread that wrote it, not to the application's threads, and a later " +
  "read may come from another of the server's threads.";

const state = {
  socket: null,
  maps: new Set(),
  current: null,
  nodes: {},     // node name -> the latest JSON entry of the node, state and description merged
  entries: {},   // enumeration name -> names of its entry nodes, from the schema
  topLevel: [],  // names of the schema's top-level entries
  rows: {},      // feature name -> its row's elements
  writes: {},    // feature name -> "sent", or "failed" once the server refused the write
  messages: {},  // feature name -> its message in the messages list
  selected: null,
};

const $ = (id) => document.getElementById(id);

function send(tag, body) {
  if (state.socket && state.socket.readyState === WebSocket.OPEN) {
    state.socket.send(JSON.stringify({ tag: tag, body: body }));
  }
}

function connect() {
  const socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws");
  state.socket = socket;
  socket.onopen = () => {
    $("status").textContent = "connected";
    send(Tag.hello, "");
    // A box that the browser kept checked over a reload; unchecked, the server is left as it
    // is, since other pages may poll.
    if ($("polling").checked) send(Tag.polling, "poll:true");
    if (state.current) openMap(state.current);
  };
  socket.onclose = () => { $("status").textContent = "disconnected"; setTimeout(connect, 2000); };
  socket.onmessage = (event) => {
    const frame = JSON.parse(event.data);
    try {
      receive(frame.tag, frame.body);
    } catch (error) {
      note("page", "Cannot show message " + frame.tag + ": " + error.message);
    }
  };
}

function receive(tag, body) {
  switch (tag) {
    case Tag.mapsAdded: parseJson(body).forEach((name) => state.maps.add(name)); showMaps(); break;
    case Tag.mapRemoved:
      parseJson(body).forEach((name) => {
        state.maps.delete(name);
        if (state.current !== name) return;
        clearMap();
        clearMessages();
      });
      showMaps();
      break;
    case 1: case 2: showSnapshot(parseJson(body)); break;
    case Tag.nodesChanged: updateNodes(parseJson(body)); break;
    case Tag.get: topEntries(updateNodes(parseJson(body))).forEach(settleWrite); break;
    case Tag.nodeUpdate: topEntries(updateNodes(parseJson(body))).forEach(reportError); break;
    case Tag.code: $("code").textContent = body; break;
    default: break;
  }
}

// One message per feature: a new error replaces the old one, a later successful write removes it.
function note(key, text) {
  let item = state.messages[key];
  if (!item) {
    item = document.createElement("li");
    item.dataset.feature = key;
    state.messages[key] = item;
  }
  item.textContent = text;
  $("errors").prepend(item);
}

function clearMessages() {
  $("errors").replaceChildren();
  state.messages = {};
}

function clearNote(key) {
  if (!state.messages[key]) return;
  state.messages[key].remove();
  delete state.messages[key];
}

// "System DravionLyn 0{1048577}\Digitizer 0{1048583}": the host ids in braces (and a device
// map's address, "\<model name>{0x…}") tell maps apart for the server; the user reads the path
// without them (README.md, "The WebSocket messages").
function mapDisplayName(name) {
  return name.split("\\").map((part) => part.replace(/\{[^}]*\}/g, "").trim()).filter(Boolean).join(" › ");
}

function showMaps() {
  const list = $("maps");
  list.replaceChildren();
  [...state.maps].sort().forEach((name) => {
    const item = document.createElement("li");
    item.className = "map" + (name === state.current ? " selected" : "");
    item.dataset.map = name;
    item.textContent = mapDisplayName(name);
    item.title = name;
    item.onclick = () => openMap(name);
    list.append(item);
  });
  // Until a map is there, ask again: a server may have started after this page.
  if (state.maps.size === 0) setTimeout(() => send(Tag.hello, ""), 2000);
  // A link may name the map to open ("?map=<name>").
  const wanted = new URLSearchParams(location.search).get("map");
  if (wanted && state.current === null && state.maps.has(wanted)) openMap(wanted);
}

function clearMap() {
  state.current = null;
  state.nodes = {};
  state.entries = {};
  state.topLevel = [];
  state.rows = {};
  state.writes = {};
  state.selected = null;
  $("tree").replaceChildren();
  $("code").textContent = "";
  $("map-title").textContent = "Select a node map";
  $("map-title").title = "";
  showDescription();
}

function openMap(name) {
  if (state.current && state.current !== name) send(Tag.unsubscribe, state.current);
  // The messages are about the map shown; opening it again keeps them.
  if (state.current !== name) clearMessages();
  clearMap();
  state.current = name;
  $("map-title").textContent = mapDisplayName(name);
  $("map-title").title = name;
  showMaps();
  // Subscribed first, so that no change between the snapshot and the subscription is lost.
  send(Tag.subscribe, name);
  send(Tag.snapshot, name);
}

function showSnapshot(snapshot) {
  const data = snapshot.Data || {};
  const mapName = Object.keys(data)[0];
  if (mapName !== state.current) return;
  state.nodes = data[mapName].Nodes || {};
  state.entries = {};
  state.rows = {};
  state.topLevel = [];
  const tree = $("tree");
  tree.replaceChildren();
  (snapshot.Schema || []).forEach((root) => {
    if (root.UserName) $("map-title").textContent = mapDisplayName(mapName) + " (" + root.UserName + ")";
    (root.Children || []).forEach((child) => {
      tree.append(makeEntry(child));
      state.topLevel.push(child.Name);
    });
  });
  // The descriptions carry what the snapshot leaves out: polling times and the entries'
  // descriptions.
  readDescriptions();
  applyFilter();
  showDescription();
}

// The description of each top-level entry holds everything below it, values included.
function readDescriptions() {
  state.topLevel.forEach((name) => send(Tag.get, state.current + ":" + name));
}

function isCategory(entry) {
  const node = state.nodes[entry.Name];
  return node ? node.InterfaceType === "Category" : Array.isArray(entry.Children) && !entry.ValidValuesList;
}

function makeEntry(entry) {
  if (isCategory(entry)) {
    const group = document.createElement("details");
    group.open = true;
    group.className = "category";
    const title = document.createElement("summary");
    title.textContent = entry.DisplayName || entry.Name;
    title.title = entry.Name;
    group.append(title);
    (entry.Children || []).forEach((child) => group.append(makeEntry(child)));
    return group;
  }
  if (entry.ValidValuesList) state.entries[entry.Name] = entry.ValidValuesList.map((item) => item.Name);
  const row = makeRow(entry.Name, entry.DisplayName || entry.Name);
  if (!entry.Children) return row;
  // A selector: the features it selects follow it, indented.
  const block = document.createElement("div");
  block.className = "selector";
  const selected = document.createElement("div");
  selected.className = "selected-features";
  entry.Children.forEach((child) => selected.append(makeEntry(child)));
  block.append(row, selected);
  return block;
}

function isPerThread(name) {
  return systemMap.test(state.current || "") && perThreadFeatures.includes(name);
}

function makeRow(name, label) {
  const node = state.nodes[name] || { Name: name };
  const row = document.createElement("div");
  row.className = "feature";
  row.dataset.feature = name;
  const title = document.createElement("span");
  title.className = "name";
  const text = document.createElement("span");
  text.className = "label";
  text.textContent = label;
  const marks = document.createElement("span");
  marks.className = "marks";
  title.append(text, marks);
  if (isPerThread(name)) {
    row.classList.add("per-thread");
    marks.append(mark("per-thread", "thread", perThreadNote));
  }
  const editor = makeEditor(name, node.InterfaceType);
  editor.classList.add("value");
  const unit = document.createElement("span");
  unit.className = "unit";
  const range = document.createElement("span");
  range.className = "range";
  row.append(title, editor, unit, range);
  row.onclick = () => select(name);
  editor.addEventListener("focus", () => select(name));
  state.rows[name] = { row, editor, unit, range, label: text, marks };
  showNode(name);
  return row;
}

function mark(kind, symbol, explanation) {
  const item = document.createElement("span");
  item.className = "mark " + kind;
  item.textContent = symbol;
  item.title = explanation;
  return item;
}

function makeEditor(name, type) {
  const write = (value) => {
    // The get after the set tells whether it was taken: a refused write answers with its error
    // first (the server serves one client's requests in order).
    state.writes[name] = "sent";
    send(Tag.set, state.current + ":" + name + ":" + value);
    send(Tag.get, state.current + ":" + name);
  };
  let editor;
  if (type === "Command") {
    editor = document.createElement("button");
    editor.textContent = "Execute";
    editor.onclick = () => write("");
  } else if (type === "Enumeration") {
    editor = document.createElement("select");
    editor.onchange = () => write(editor.value);
  } else if (type === "Boolean") {
    editor = document.createElement("input");
    editor.type = "checkbox";
    editor.onchange = () => write(editor.checked ? "true" : "false");
  } else {
    editor = document.createElement("input");
    editor.type = "text";
    editor.spellcheck = false;
    editor.onchange = () => {
      const node = state.nodes[name] || {};
      if (type === "Register") write(editor.value.replace(/\s+/g, ""));
      else if (type === "Integer") write(integerInput(editor.value, node.Representation));
      else write(editor.value);
    };
  }
  return editor;
}

// The drop-down holds the entries that the schema lists under the enumeration and that are
// available now, by display name; the value sent is the entry's symbolic name.
function fillEntries(name, editor) {
  const options = (state.entries[name] || [])
    .map((entryName) => state.nodes[entryName] || { Name: entryName })
    .filter((entry) => entry.AccessMode !== "NotAvailable" && entry.AccessMode !== "NotImplemented")
    .map((entry) => {
      const symbolic = typeof entry.Value === "string" && entry.Value !== "" ? entry.Value : entry.Name;
      const option = new Option(entry.DisplayName || symbolic, symbolic);
      option.title = entry.Name;
      return option;
    });
  const same = options.length === editor.options.length &&
    options.every((option, index) => option.value === editor.options[index].value &&
                                      option.text === editor.options[index].text);
  if (!same) editor.replaceChildren(...options);
}

function showNode(name) {
  const row = state.rows[name];
  const node = state.nodes[name];
  if (!row || !node) return;
  const editor = row.editor;
  const shown = formatValue(node);
  if (editor.tagName === "SELECT") fillEntries(name, editor);
  if (document.activeElement !== editor) {
    if (editor.type === "checkbox") {
      editor.checked = node.Value === true;
    } else if (editor.tagName === "SELECT") {
      editor.value = node.Value === null ? "" : String(node.Value);
      if (editor.value !== String(node.Value)) editor.selectedIndex = -1;
    } else if (editor.tagName === "INPUT") {
      editor.value = shown;
    }
  }
  // Also in the document, exact, for readers of the page's DOM.
  row.row.dataset.value = Array.isArray(node.Value) ? node.Value.join(",") : String(node.Value);
  if (node.Min !== undefined && node.Min !== null) row.row.dataset.min = String(node.Min);
  if (node.Max !== undefined && node.Max !== null) row.row.dataset.max = String(node.Max);
  row.row.dataset.visibility = node.Visibility || "Beginner";
  const writable = node.AccessMode === "ReadWrite" || node.AccessMode === "WriteOnly";
  editor.disabled = !writable;
  row.row.classList.toggle("readonly", !writable);
  row.label.title = name + (node.ToolTip ? ": " + node.ToolTip : "");
  if (node.Unit !== undefined) row.unit.textContent = node.Unit;
  // The limits matter where the user types a value; the description shows them always.
  const hasRange = writable && editor.tagName === "INPUT" && editor.type === "text" &&
    node.Min !== undefined && node.Min !== null && node.Max !== undefined && node.Max !== null;
  const available = node.AccessMode !== "NotAvailable" && node.AccessMode !== "NotImplemented";
  row.row.classList.toggle("unavailable", !available);
  row.range.textContent = !available ? "not available"
    : hasRange ? formatLimit(node, node.Min) + " … " + formatLimit(node, node.Max) : "";
  row.range.title = row.range.textContent;
  showPolling(name);
  if (state.selected === name) showDescription();
}

function showPolling(name) {
  const row = state.rows[name];
  const node = state.nodes[name];
  const time = node && node.Properties ? Number(node.Properties.PollingTime) : 0;
  const polled = time > 0;
  const existing = row.marks.querySelector(".polled");
  row.row.classList.toggle("polled", polled);
  if (polled && !existing) {
    row.marks.prepend(mark("polled", "↻", "Polled every " + time + " ms while Polling is on."));
  } else if (!polled && existing) {
    existing.remove();
  }
}

// Change notices, get replies and single-node updates, in their two shapes: description
// documents (an array of maps with nested entries) and state documents (keyed by node name).
// Gives the message back.
function updateNodes(message) {
  const entries = [];
  const collect = (map, entry) => {
    if (!entry || !entry.Name) return;
    entries.push([map, entry]);
    (entry.Children || []).forEach((child) => collect(map, child));
    if (entry.InterfaceType === "Enumeration") {
      (entry.ValidValuesList || []).forEach((child) => collect(map, child));
    }
  };
  if (Array.isArray(message)) {
    message.forEach((root) => (root.Children || []).forEach((child) => collect(root.Name, child)));
  } else {
    Object.keys(message).forEach((map) => {
      const nodes = message[map].Nodes || {};
      Object.keys(nodes).forEach((key) => entries.push([map, nodes[key]]));
    });
  }
  entries.forEach(([map, entry]) => {
    if (map !== state.current) return;
    const known = state.nodes[entry.Name] || {};
    const { Children, ValidValuesList, GenICamError, ...fields } = entry;
    // An enumeration's list is its entries' descriptions; only an integer's is its own.
    if (entry.InterfaceType !== "Enumeration" && ValidValuesList !== undefined) {
      fields.ValidValuesList = ValidValuesList;
    }
    state.nodes[entry.Name] = Object.assign(known, fields);
  });
  entries.forEach(([map, entry]) => {
    if (map === state.current) showNode(entry.Name);
  });
  // An entry's availability shows in its enumeration's drop-down.
  Object.keys(state.entries).forEach((name) => showNode(name));
  return message;
}

// The nodes that a description document of the current map names itself, without those nested
// in them: a get reply's one node, an update's node with its error.
function topEntries(message) {
  if (!Array.isArray(message)) return [];
  return message.filter((root) => root.Name === state.current).flatMap((root) => root.Children || []);
}

function reportError(entry) {
  if (!entry.GenICamError) return;
  if (state.writes[entry.Name] === "sent") state.writes[entry.Name] = "failed";
  const node = state.nodes[entry.Name] || {};
  note(entry.Name, (node.DisplayName || entry.Name) + ": " + entry.GenICamError);
  if (state.rows[entry.Name]) state.rows[entry.Name].row.classList.add("error");
}

function settleWrite(entry) {
  const outcome = state.writes[entry.Name];
  if (outcome === undefined) return;
  delete state.writes[entry.Name];
  if (outcome !== "sent") return;
  clearNote(entry.Name);
  if (state.rows[entry.Name]) state.rows[entry.Name].row.classList.remove("error");
}

function select(name) {
  if (state.selected === name) return;
  if (state.selected && state.rows[state.selected]) state.rows[state.selected].row.classList.remove("selected");
  state.selected = name;
  if (state.rows[name]) state.rows[name].row.classList.add("selected");
  $("code").textContent = "";
  send(Tag.code, state.current + ":" + name);
  showDescription();
}

function showDescription() {
  const pane = $("description");
  const name = state.selected;
  const node = name ? state.nodes[name] : null;
  if (!node) {
    pane.replaceChildren(Object.assign(document.createElement("p"),
      { className: "hint", textContent: "Select a feature to see its description and example code." }));
    return;
  }
  const title = document.createElement("h3");
  title.textContent = node.DisplayName || name;
  const id = document.createElement("code");
  id.textContent = name;
  const text = document.createElement("p");
  text.textContent = node.Description || node.ToolTip || "";
  const facts = document.createElement("dl");
  const add = (term, value) => {
    if (value === undefined || value === null || value === "") return;
    facts.append(Object.assign(document.createElement("dt"), { textContent: term }),
                 Object.assign(document.createElement("dd"), { textContent: String(value) }));
  };
  add("Type", node.InterfaceType);
  add("Access", node.AccessMode);
  add("Visibility", node.Visibility);
  add("Value", formatValue(node) + (node.Unit ? " " + node.Unit : ""));
  if (node.InterfaceType === "Integer" && node.Representation !== "Linear" && node.Value !== null) {
    add("Decimal value", node.Value);
  }
  if (node.Min !== undefined && node.Min !== null) add("Minimum", formatLimit(node, node.Min));
  if (node.Max !== undefined && node.Max !== null) add("Maximum", formatLimit(node, node.Max));
  if (node.Increment !== undefined && node.Increment !== null && node.IncrementMode !== "None") {
    add("Increment", formatLimit(node, node.Increment));
  }
  add("Representation", node.Representation);
  if (node.InterfaceType === "Float") add("Display", node.DisplayNotation + ", " + node.DisplayPrecision + " digits");
  if (node.InterfaceType === "Enumeration") {
    add("Entries", (state.entries[name] || []).map((entry) => {
      const item = state.nodes[entry] || {};
      return (item.DisplayName || entry) + " (" + (item.Value || entry) + ")";
    }).join(", "));
  }
  const polling = node.Properties ? Number(node.Properties.PollingTime) : 0;
  add("Polling", polling > 0 ? "every " + polling + " ms while Polling is on" : "not polled");
  if (isPerThread(name)) {
    add("Per thread", perThreadNote);
  }
  pane.replaceChildren(title, id, text, facts);
}

// The search matches display names, names and tool tips; the visibility filter hides features
// meant for more experienced users. Categories and selectors with nothing left are hidden.
function applyFilter() {
  const words = $("search").value.trim().toLowerCase().split(/\s+/).filter(Boolean);
  const level = Number($("visibility").value);
  Object.keys(state.rows).forEach((name) => {
    const node = state.nodes[name] || {};
    const text = [name, node.DisplayName, node.ToolTip].join(" ").toLowerCase();
    const rank = visibilityRank[node.Visibility];
    const shown = (rank === undefined ? 0 : rank) <= level && words.every((word) => text.includes(word));
    state.rows[name].row.classList.toggle("hidden", !shown);
  });
  const blocks = [...$("tree").querySelectorAll(".selector, details")].reverse();
  blocks.forEach((block) => {
    const any = [...block.querySelectorAll(".feature")].some((row) => !row.classList.contains("hidden"));
    block.classList.toggle("hidden", !any);
    // A selector whose selected feature matches stays, so that the feature keeps its context.
    if (block.classList.contains("selector") && any) block.firstElementChild.classList.remove("hidden");
    if (block.tagName === "DETAILS" && words.length > 0 && any) block.open = true;
  });
}

$("search").oninput = applyFilter;
$("visibility").onchange = applyFilter;
$("polling").onchange = (event) => {
  send(Tag.polling, "poll:" + (event.target.checked ? "true" : "false"));
  // What changed while polling was off shows at once, not after the first period.
  if (event.target.checked) readDescriptions();
};

showDescription();
connect();
