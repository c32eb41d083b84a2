// The feature browser's page: one WebSocket to the host's HTTP server, carrying the
// feature-browser messages as {tag, body} frames.
"use strict";

const Tag = {
  snapshot: 1, set: 3, get: 4, subscribe: 5, unsubscribe: 6, code: 7, polling: 8, hello: 9,
  mapsAdded: 0x10000000, mapRemoved: 0x10000001, nodesChanged: 0x10000002, nodeUpdate: 0x10000003,
};

const state = { socket: null, maps: new Set(), current: null, nodes: {}, rows: {} };

function send(tag, body) {
  if (state.socket && state.socket.readyState === WebSocket.OPEN) {
    state.socket.send(JSON.stringify({ tag: tag, body: body }));
  }
}

function setStatus(text) { document.getElementById("status").textContent = text; }

function connect() {
  const socket = new WebSocket("ws://" + location.host + "/ws");
  state.socket = socket;
  socket.onopen = () => { setStatus("connected"); send(Tag.hello, ""); };
  socket.onclose = () => { setStatus("disconnected"); setTimeout(connect, 2000); };
  socket.onmessage = (event) => {
    const frame = JSON.parse(event.data);
    try {
      receive(frame.tag, frame.body);
    } catch (error) {
      note("Cannot show message " + frame.tag + ": " + error.message);
    }
  };
}

function receive(tag, body) {
  switch (tag) {
    case Tag.mapsAdded: JSON.parse(body).forEach((name) => state.maps.add(name)); showMaps(); break;
    case Tag.mapRemoved:
      JSON.parse(body).forEach((name) => {
        state.maps.delete(name);
        if (state.current === name) clearMap();
      });
      showMaps();
      break;
    case 1: case 2: showSnapshot(JSON.parse(body)); break;
    case Tag.nodesChanged: case Tag.get: case Tag.nodeUpdate: updateNodes(JSON.parse(body)); break;
    case Tag.code: document.getElementById("code").textContent = body; break;
    default: break;
  }
}

function note(text) {
  const item = document.createElement("li");
  item.textContent = text;
  document.getElementById("errors").prepend(item);
}

function showMaps() {
  const list = document.getElementById("maps");
  list.replaceChildren();
  [...state.maps].sort().forEach((name) => {
    const item = document.createElement("li");
    item.className = "map" + (name === state.current ? " selected" : "");
    item.textContent = name;
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
  state.rows = {};
  document.getElementById("tree").replaceChildren();
  document.getElementById("map-title").textContent = "Select a node map";
}

function openMap(name) {
  if (state.current && state.current !== name) send(Tag.unsubscribe, state.current);
  clearMap();
  state.current = name;
  document.getElementById("map-title").textContent = name;
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
  state.rows = {};
  const tree = document.getElementById("tree");
  tree.replaceChildren();
  (snapshot.Schema || []).forEach((root) => {
    if (root.UserName) document.getElementById("map-title").textContent = root.Name + " (" + root.UserName + ")";
    (root.Children || []).forEach((child) => tree.append(makeEntry(child)));
  });
}

function makeEntry(entry) {
  if (entry.Children) {
    const group = document.createElement("details");
    group.open = true;
    const title = document.createElement("summary");
    title.textContent = entry.DisplayName || entry.Name;
    group.append(title);
    entry.Children.forEach((child) => group.append(makeEntry(child)));
    return group;
  }
  return makeRow(entry.Name, entry.DisplayName || entry.Name);
}

function enumEntries(name) {
  const prefix = "EnumEntry_" + name + "_";
  return Object.keys(state.nodes)
    .filter((key) => key.startsWith(prefix) && state.nodes[key].AccessMode !== "NotAvailable")
    .map((key) => key.substring(prefix.length));
}

function makeRow(name, label) {
  const node = state.nodes[name] || { Name: name };
  const row = document.createElement("div");
  row.className = "feature";
  row.dataset.feature = name;
  const title = document.createElement("span");
  title.className = "name";
  title.textContent = label;
  title.title = node.ToolTip || "";
  const type = node.InterfaceType;
  let editor;
  if (type === "Command") {
    editor = document.createElement("button");
    editor.textContent = "Execute";
    editor.onclick = () => send(Tag.set, state.current + ":" + name + ":");
  } else if (type === "Enumeration") {
    editor = document.createElement("select");
    enumEntries(name).forEach((symbolic) => editor.append(new Option(symbolic, symbolic)));
    editor.onchange = () => send(Tag.set, state.current + ":" + name + ":" + editor.value);
  } else if (type === "Boolean") {
    editor = document.createElement("input");
    editor.type = "checkbox";
    editor.onchange = () => send(Tag.set, state.current + ":" + name + ":" + (editor.checked ? "true" : "false"));
  } else {
    editor = document.createElement("input");
    editor.type = "text";
    editor.onchange = () => {
      const value = type === "Register" ? editor.value.replace(/\s+/g, "") : editor.value;
      send(Tag.set, state.current + ":" + name + ":" + value);
    };
  }
  editor.className = "value";
  const unit = document.createElement("span");
  unit.className = "unit";
  const tools = document.createElement("span");
  const range = document.createElement("span");
  range.className = "range";
  const code = document.createElement("button");
  code.textContent = "Code";
  code.onclick = () => send(Tag.code, state.current + ":" + name);
  tools.append(range, " ", code);
  row.append(title, editor, unit, tools);
  state.rows[name] = { row: row, editor: editor, unit: unit, range: range };
  showNode(name);
  return row;
}

function showNode(name) {
  const row = state.rows[name];
  const node = state.nodes[name];
  if (!row || !node) return;
  const editor = row.editor;
  const value = node.Value;
  if (document.activeElement !== editor) {
    if (editor.type === "checkbox") {
      editor.checked = value === true;
    } else if (editor.tagName === "SELECT" || editor.tagName === "INPUT") {
      editor.value = Array.isArray(value) ? value.join(",") : (value === null || value === undefined ? "" : String(value));
    }
  }
  // Also in the document, for readers of the page's DOM.
  row.row.dataset.value = Array.isArray(value) ? value.join(",") : String(value);
  const writable = node.AccessMode === "ReadWrite" || node.AccessMode === "WriteOnly";
  if (editor.tagName !== "BUTTON") editor.disabled = !writable;
  row.row.classList.toggle("readonly", !writable);
  row.row.classList.toggle("error", Boolean(node.GenICamError));
  if (node.Unit !== undefined) row.unit.textContent = node.Unit;
  row.range.textContent = node.Min !== undefined && node.Max !== undefined ? "[" + node.Min + " .. " + node.Max + "]" : "";
  if (node.GenICamError) note(name + ": " + node.GenICamError);
}

// Change notices and get replies carry the same entries, in two shapes.
function updateNodes(message) {
  const entries = [];
  if (Array.isArray(message)) {
    message.forEach((root) => (root.Children || []).forEach((child) => entries.push([root.Name, child])));
  } else {
    Object.keys(message).forEach((map) => {
      const nodes = message[map].Nodes || {};
      Object.keys(nodes).forEach((key) => entries.push([map, nodes[key]]));
    });
  }
  entries.forEach(([map, entry]) => {
    if (map !== state.current || !entry.Name) return;
    state.nodes[entry.Name] = Object.assign(state.nodes[entry.Name] || {}, entry);
    showNode(entry.Name);
  });
}

document.getElementById("polling").onchange = (event) => {
  send(Tag.polling, "poll:" + (event.target.checked ? "true" : "false"));
};

connect();
