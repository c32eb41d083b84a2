// Reading the server's JSON and showing feature values as the node describes them.
"use strict";

// JSON.parse turns an integer beyond 2^53 into the nearest double (9223372036854775807 becomes
// 9223372036854776000). Such literals are quoted first, outside strings, so that they reach the
// page as exact decimal texts; smaller numbers stay numbers.
const unsafeInteger = /"(?:[^"\\]|\\.)*"|(?<![\d.eE+-])-?\d{16,}(?![\d.eE])/g;

function parseJson(text) {
  return JSON.parse(text.replace(unsafeInteger, (token) =>
    token[0] === "\"" || Number.isSafeInteger(Number(token)) ? token : "\"" + token + "\""));
}

const twoTo64 = 1n << 64n;

function bits64(value) {
  const number = BigInt(value);
  return number < 0n ? number + twoTo64 : number;
}

// The texts of the runtime's own conversions, so that the page and example code agree.
function formatInteger(value, representation) {
  if (value === null || value === undefined || value === "") return "";
  if (representation === "HexNumber") return "0x" + bits64(value).toString(16).toUpperCase();
  if (representation === "IPV4Address") {
    const bits = bits64(value);
    return [24n, 16n, 8n, 0n].map((shift) => String((bits >> shift) & 255n)).join(".");
  }
  if (representation === "MACAddress") {
    const bits = bits64(value);
    return [40n, 32n, 24n, 16n, 8n, 0n]
      .map((shift) => ((bits >> shift) & 255n).toString(16).toUpperCase().padStart(2, "0"))
      .join(":");
  }
  return String(value);
}

// What the user typed, as the signed decimal text that the server reads for every
// representation; text that is no integer goes as typed, for the server to refuse.
function integerInput(text, representation) {
  const trimmed = text.trim();
  let bits = null;
  if (representation === "IPV4Address" && /^\d{1,3}(\.\d{1,3}){3}$/.test(trimmed)) {
    bits = trimmed.split(".").reduce((sum, part) => (sum << 8n) + BigInt(part), 0n);
  } else if (representation === "MACAddress" && /^[\da-f]{1,2}(:[\da-f]{1,2}){5}$/i.test(trimmed)) {
    bits = trimmed.split(":").reduce((sum, part) => (sum << 8n) + BigInt("0x" + part), 0n);
  } else if (/^0x[\da-f]{1,16}$/i.test(trimmed)) {
    bits = BigInt(trimmed);
  }
  if (bits === null) return trimmed;
  return String(bits >= 1n << 63n ? bits - twoTo64 : bits);
}

// C's "%.*e" writes at least two exponent digits; JavaScript writes one.
function cExponent(text) {
  return text.replace(/e([+-])(\d)$/, "e$10$2");
}

// The node's display notation and precision, as the runtime's "%f", "%e" and "%g".
function formatFloat(value, notation, precision) {
  if (value === null || value === undefined || value === "") return "";
  const number = Number(value);
  if (!Number.isFinite(number)) return String(number);
  const digits = Math.min(Math.max(precision === undefined || precision < 0 ? 6 : precision, 0), 30);
  if (notation === "Fixed") return number.toFixed(digits);
  if (notation === "Scientific") return cExponent(number.toExponential(digits));
  const significant = Math.max(digits, 1);
  if (number === 0) return "0";
  const exponent = Math.floor(Math.log10(Math.abs(Number(number.toPrecision(significant)))));
  const text = exponent < -4 || exponent >= significant
    ? cExponent(number.toExponential(significant - 1))
    : number.toFixed(Math.max(significant - 1 - exponent, 0));
  return dropTrailingZeros(text);
}

// "%g" drops trailing zeros of the fraction, and the point when nothing is left after it.
function dropTrailingZeros(text) {
  const [mantissa, exponent] = text.split("e");
  const trimmed = mantissa.includes(".") ? mantissa.replace(/\.?0+$/, "") : mantissa;
  return exponent === undefined ? trimmed : trimmed + "e" + exponent;
}

// The value of a node as the page shows it.
function formatValue(node) {
  const value = node.Value;
  if (value === null || value === undefined) return "";
  switch (node.InterfaceType) {
    case "Integer": return formatInteger(value, node.Representation);
    case "Float": return formatFloat(value, node.DisplayNotation, node.DisplayPrecision);
    case "Register": return Array.isArray(value) ? value.join(",") : String(value);
    default: return String(value);
  }
}

function formatLimit(node, value) {
  return node.InterfaceType === "Float"
    ? formatFloat(value, node.DisplayNotation, node.DisplayPrecision)
    : formatInteger(value, node.Representation);
}
