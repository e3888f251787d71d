#!/usr/bin/env node
// Builds the highlighting resources from the pinned @highlightjs/cdn-assets package:
//
//   highlight.min.js       the core build, the language files it lacks and our two aliases,
//                          adapted to what Qt 6.4's JavaScript engine (QJSEngine) supports
//   highlight-styles.json  the package style sheets our themes take as they are, without
//                          comments and without any background declaration
//
//   node tools/highlightjs-resources.js <cdn-assets folder> <output folder>
//
// The adaptation is a prelude plus textual replacements, each of which must match exactly
// the number of times it expects; a package that no longer matches fails the build rather
// than producing a script that quietly misbehaves. The reference test runs node on
// stockBundle() (the same files unadapted) and compares its output with ours.
'use strict';

const fs = require('fs');
const path = require('path');

// Languages the core build lacks, so that every language the application can ask for
// resolves. arduino extends cpp, which the core build has.
const EXTRA_LANGUAGES = [
    'applescript', 'arduino', 'awk', 'basic', 'clojure', 'dart', 'delphi', 'django',
    'dockerfile', 'elixir', 'elm', 'erlang', 'gherkin', 'gradle', 'haskell', 'julia',
    'latex', 'lisp', 'mathematica', 'matlab', 'nix', 'pgsql', 'protobuf', 'scala',
];

// Request names of ours that highlight.js knows under another name.
const ALIASES = [
    ['phptemp', 'php-template'],
    ['webass', 'wasm'],
];

// Style sheets taken from the package (the rest are typed in the application).
const STYLE_FILES = [
    'a11y-dark', 'a11y-light', 'atom-one-dark', 'atom-one-light', 'github-dark',
    'gradient-dark', 'gradient-light', 'isbl-editor-dark', 'isbl-editor-light',
    'kimbie-dark', 'kimbie-light', 'nnfx-dark', 'nnfx-light', 'panda-syntax-dark',
    'panda-syntax-light', 'paraiso-dark', 'paraiso-light', 'qtcreator-dark',
    'qtcreator-light', 'stackoverflow-dark', 'stackoverflow-light', 'tokyo-night-dark',
    'tokyo-night-light',
];

function read(file) {
    return fs.readFileSync(file, 'utf8');
}

// The unadapted script: what node (or any complete engine) runs as it is.
function stockBundle(cdnDir) {
    const parts = [read(path.join(cdnDir, 'highlight.min.js'))];
    for (const language of EXTRA_LANGUAGES)
        parts.push(read(path.join(cdnDir, 'languages', language + '.min.js')));
    parts.push(ALIASES.map(([alias, name]) =>
        `hljs.registerAliases(${JSON.stringify([alias])},{languageName:${JSON.stringify(name)}});`).join('\n'));
    return parts.join('\n') + '\n';
}

// --- Unicode property escapes -------------------------------------------------------------
// Qt 6.4's regular expressions know no \p{...}. Each one becomes the explicit class of the
// BMP code points node's own Unicode tables put in the property.

const propertyClassCache = new Map();

function hex4(codePoint) {
    return '\\u' + codePoint.toString(16).toUpperCase().padStart(4, '0');
}

function propertyRanges(name) {
    if (propertyClassCache.has(name))
        return propertyClassCache.get(name);
    const test = new RegExp(`^\\p{${name}}$`, 'u');
    const ranges = [];
    let start = -1;
    for (let c = 0; c <= 0x10000; ++c) {
        const inside = c < 0x10000 && !(c >= 0xD800 && c <= 0xDFFF) && test.test(String.fromCharCode(c));
        if (inside && start < 0)
            start = c;
        if (!inside && start >= 0) {
            ranges.push(start === c - 1 ? hex4(start) : hex4(start) + '-' + hex4(c - 1));
            start = -1;
        }
    }
    const result = ranges.join('');
    propertyClassCache.set(name, result);
    return result;
}

// Rewrites the \p{...} escapes of one pattern: inside a class the ranges join the class,
// outside they form a class of their own.
function expandPropertyEscapes(pattern) {
    let out = '';
    let inClass = false;
    for (let i = 0; i < pattern.length; ++i) {
        const c = pattern[i];
        if (c === '\\') {
            const property = /^\\([pP])\{([A-Za-z_]+)\}/.exec(pattern.slice(i));
            if (property) {
                if (property[1] === 'P')
                    throw new Error('negated property escapes are not supported: ' + property[0]);
                const ranges = propertyRanges(property[2]);
                out += inClass ? ranges : '[' + ranges + ']';
                i += property[0].length - 1;
            } else {
                out += pattern.slice(i, i + 2);
                ++i;
            }
            continue;
        }
        if (c === '[' && !inClass)
            inClass = true;
        else if (c === ']' && inClass)
            inClass = false;
        out += c;
    }
    return out;
}

// A regular-expression literal with the u flag: properties expanded, flag dropped (Qt 6.4
// matches a u-flagged expression only at index 0).
function literalWithoutUnicode(literal) {
    const match = /^\/(.*)\/([a-z]*)$/s.exec(literal);
    return '/' + expandPropertyEscapes(match[1]) + '/' + match[2].replace('u', '');
}

// A string literal holding a pattern.
function stringPatternWithoutUnicode(literal) {
    const value = JSON.parse(literal.replace(/\\'/g, "'"));
    return JSON.stringify(expandPropertyEscapes(value));
}

// --- The adaptation ----------------------------------------------------------------------

// Runs before highlight.js. Each piece stands in for something Qt 6.4's engine lacks.
const PRELUDE = String.raw`
var console = (typeof console === "object" && console) || { log: function () {}, warn: function () {}, error: function () {}, info: function () {}, debug: function () {} };
var __tindlewick = {
  // RegExp.prototype.source writes every "/" as "\/", even one already escaped; undo the
  // insertion so that patterns rebuilt from .source mean what they meant.
  source: function (re) { return re.source.replace(/\\\//g, "/"); }
};
(function () {
  // Array.prototype.sort skips element 0 after unshift() and is not stable; highlight.js
  // relies on both when it ranks languages. A stable merge sort with the standard
  // comparison (undefined last, else by string value).
  function compareDefault(a, b) {
    var x = String(a), y = String(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  function sort(compare) {
    if (compare !== undefined && typeof compare !== "function")
      throw new TypeError("The comparison function must be either a function or undefined");
    var length = this.length >>> 0, values = [], undefinedCount = 0, holes = 0, i;
    for (i = 0; i < length; ++i) {
      if (!(i in this)) { ++holes; continue; }
      if (this[i] === undefined) ++undefinedCount; else values.push(this[i]);
    }
    var cmp = compare || compareDefault;
    var buffer = new Array(values.length);
    for (var width = 1; width < values.length; width *= 2) {
      for (var lo = 0; lo < values.length; lo += 2 * width) {
        var mid = Math.min(lo + width, values.length), hi = Math.min(lo + 2 * width, values.length);
        var a = lo, b = mid, k = lo;
        while (a < mid && b < hi) buffer[k++] = (cmp(values[b], values[a]) < 0) ? values[b++] : values[a++];
        while (a < mid) buffer[k++] = values[a++];
        while (b < hi) buffer[k++] = values[b++];
      }
      var swap = values; values = buffer; buffer = swap;
    }
    var n = 0;
    for (i = 0; i < values.length; ++i) this[n++] = values[i];
    for (i = 0; i < undefinedCount; ++i) this[n++] = undefined;
    for (i = 0; i < holes; ++i) delete this[n++];
    return this;
  }
  Object.defineProperty(Array.prototype, "sort", { value: sort, writable: true, configurable: true, enumerable: false });
})();
`;

// [what, replacement, expected count]
function replacements() {
    const unicodeLiterals = [
        String.raw`/[\p{XID_Start}_]\p{XID_Continue}*/u`,
        String.raw`/[\p{L}_]/u`,
        String.raw`/[\p{L}0-9_.-]*:/u`,
        String.raw`/[\p{L}0-9_.-]*/u`,
        String.raw`/[\p{L}0-9._:-]+/u`,
    ];
    const haskellSymbol = String.raw`"([!#$%&*+.\\/<=>?@\\\\^~-]|(?!([(),;\\[\\]` + '`' + String.raw`|{}]|[_:\"']))(\\p{S}|\\p{P}))"`;
    return [
        // A {__proto__: null} literal gets an own, enumerable "__proto__" key, which the
        // language registration loop then tries to register.
        ['Object.freeze({\n__proto__:null,', 'Object.freeze({\n', 1],
        ['Object.freeze({__proto__:null,', 'Object.freeze({', 1],
        // Rebuilt patterns read .source (see the prelude).
        ['e?"string"==typeof e?e:e.source:null', 'e?"string"==typeof e?e:__tindlewick.source(e):null', 1],
        // Languages that ask for Unicode patterns get them without the u flag.
        ['(e.unicodeRegex?"u":"")', '""', 1],
        ...unicodeLiterals.map(literal => [literal, literalWithoutUnicode(literal), 1]),
        [haskellSymbol, stringPatternWithoutUnicode(haskellSymbol), 1],
    ];
}

function countOccurrences(text, what) {
    let count = 0;
    for (let at = text.indexOf(what); at >= 0; at = text.indexOf(what, at + what.length))
        ++count;
    return count;
}

function adapt(stock) {
    let script = stock;
    for (const [what, replacement, expected] of replacements()) {
        const found = countOccurrences(script, what);
        if (found !== expected)
            throw new Error(`adaptation expects ${expected} occurrence(s) of ${JSON.stringify(what)}, found ${found}`);
        script = script.split(what).join(replacement);
    }
    const left = /\\\\?p\{[A-Za-z_]+\}/.exec(script);
    if (left)
        throw new Error('a Unicode property escape is left unadapted: ' + left[0]);
    return PRELUDE + script;
}

// --- Style sheets ---------------------------------------------------------------------------

// A package sheet as the application uses it: comments out, every background declaration
// out (the view paints the theme's background itself), rules left empty dropped.
function sheetWithoutBackground(css) {
    let sheet = css.replace(/\/\*[\s\S]*?\*\//g, '');
    let before;
    do {
        before = sheet;
        sheet = sheet.replace(/([{;])background(-[a-z]+)?:[^;}]*;?/g, '$1');
    } while (sheet !== before);
    sheet = sheet.replace(/;}/g, '}');
    sheet = sheet.replace(/(?<=^|})[^{}@]+\{\}/g, '');
    sheet = sheet.trim();
    if (/background/.test(sheet))
        throw new Error('a background declaration is left in a style sheet');
    return sheet;
}

function styleSheets(cdnDir) {
    const sheets = {};
    for (const name of STYLE_FILES)
        sheets[name] = sheetWithoutBackground(read(path.join(cdnDir, 'styles', name + '.min.css')));
    return sheets;
}

function writeIfChanged(file, content) {
    if (fs.existsSync(file) && read(file) === content)
        return;
    const temporary = file + '.tmp';
    fs.writeFileSync(temporary, content);
    fs.renameSync(temporary, file);
}

module.exports = { EXTRA_LANGUAGES, ALIASES, stockBundle, adapt, styleSheets };

if (require.main === module) {
    const [cdnDir, outputDir] = process.argv.slice(2);
    if (!cdnDir || !outputDir) {
        console.error('usage: highlightjs-resources.js <cdn-assets folder> <output folder>');
        process.exit(2);
    }
    try {
        fs.mkdirSync(outputDir, { recursive: true });
        writeIfChanged(path.join(outputDir, 'highlight.min.js'), adapt(stockBundle(cdnDir)));
        writeIfChanged(path.join(outputDir, 'highlight-styles.json'), JSON.stringify(styleSheets(cdnDir), null, 1) + '\n');
    } catch (error) {
        console.error('highlightjs-resources: ' + error.message);
        process.exit(1);
    }
}
