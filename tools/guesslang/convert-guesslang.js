#!/usr/bin/env node
// Writes the language network file "guesslang.bin" from the public guesslang weights that
// the npm package @vscode/vscode-languagedetection ships as a TensorFlow.js graph model
// (model.json + one weight shard, uint8-quantised: value = min + scale * q).
//
//   node convert-guesslang.js <package dir> <output file>
//
// Output format (little-endian): "GLNG", a reserved u32 (the format version, 1), the
// language count L, L names (u32 byte length + UTF-8 bytes), then nine matrices (u32 rows,
// u32 cols, rows*cols float32, row-major): embedding 5000x70, hidden-0 kernel 70x512 and
// bias 1x512, hidden-1 kernel 512x32 and bias 1x32, logits kernel 32xN and bias 1xN,
// linear weights 5000xN and bias 1xN.
//
// The network's outputs are named after file extensions; the file names them with the
// language labels the rest of the application uses. An unknown name fails the conversion,
// so a changed package cannot slip in outputs that nothing downstream understands.
'use strict';
const fs = require('fs');
const path = require('path');

const LABELS = {
  asm: 'asm', bat: 'batch', c: 'c', cs: 'cs', cpp: 'cpp', clj: 'clojure', cmake: 'cmake',
  cbl: 'cobol', coffee: 'coffeescript', css: 'css', csv: 'csv', dart: 'dart', dm: 'dm',
  dockerfile: 'dockerfile', ex: 'elixir', erl: 'erlang', f90: 'fortran', go: 'go',
  groovy: 'groovy', hs: 'haskell', html: 'html', ini: 'ini', java: 'java', js: 'javascript',
  json: 'json', jl: 'julia', kt: 'kotlin', lisp: 'lisp', lua: 'lua', makefile: 'makefile',
  md: 'markdown', matlab: 'matlab', mm: 'objectivec', ml: 'ocaml', pas: 'pascal', pm: 'perl',
  php: 'php', ps1: 'powershell', prolog: 'prolog', py: 'python', r: 'r', rb: 'ruby',
  rs: 'rust', scala: 'scala', sh: 'shell', sql: 'sql', swift: 'swift', tex: 'latex',
  toml: 'toml', ts: 'typescript', v: 'verilog', vba: 'vba', xml: 'xml', yaml: 'yaml',
};

// Graph weights -> the file's nine matrices, in file order, with the shape each must have
// (N = number of languages).
const MATRICES = [
  ['dnn/input_from_feature_columns/input_layer/content_embedding/embedding_weights', [5000, 70]],
  ['dnn/hiddenlayer_0/kernel', [70, 512]],
  ['dnn/hiddenlayer_0/bias', [512]],
  ['dnn/hiddenlayer_1/kernel', [512, 32]],
  ['dnn/hiddenlayer_1/bias', [32]],
  ['dnn/logits/kernel', [32, 'N']],
  ['dnn/logits/bias', ['N']],
  ['linear/linear_model/content/weights', [5000, 'N']],
  ['linear/linear_model/bias_weights', ['N']],
];
const NAMES_TENSOR = 'head/ExpandDims/input';

function fail(message) {
  console.error('convert-guesslang: ' + message);
  process.exit(1);
}

function elementCount(shape) {
  return shape.reduce((a, b) => a * b, 1);
}

// Splits the concatenated shard bytes into named tensors, following the manifest order.
function readWeights(packageDir) {
  const modelDir = path.join(packageDir, 'model');
  const model = JSON.parse(fs.readFileSync(path.join(modelDir, 'model.json'), 'utf8'));
  const tensors = new Map();
  for (const group of model.weightsManifest) {
    const buffer = Buffer.concat(group.paths.map((p) => fs.readFileSync(path.join(modelDir, p))));
    let offset = 0;
    for (const weight of group.weights) {
      const count = elementCount(weight.shape);
      if (weight.dtype === 'string') {
        const strings = [];
        for (let i = 0; i < count; ++i) {
          const length = buffer.readUInt32LE(offset);
          offset += 4;
          strings.push(buffer.subarray(offset, offset + length).toString('utf8'));
          offset += length;
        }
        tensors.set(weight.name, { shape: weight.shape, strings });
        continue;
      }
      const q = weight.quantization;
      if (q) {
        if (q.dtype !== 'uint8')
          fail(`unsupported quantisation ${q.dtype} of ${weight.name}`);
        const values = new Float32Array(count);
        for (let i = 0; i < count; ++i)
          values[i] = buffer[offset + i] * q.scale + q.min;
        offset += count;
        tensors.set(weight.name, { shape: weight.shape, values });
        continue;
      }
      const width = { float32: 4, int32: 4, bool: 1 }[weight.dtype];
      if (!width)
        fail(`unsupported type ${weight.dtype} of ${weight.name}`);
      if (weight.dtype === 'float32') {
        const values = new Float32Array(count);
        for (let i = 0; i < count; ++i)
          values[i] = buffer.readFloatLE(offset + 4 * i);
        tensors.set(weight.name, { shape: weight.shape, values });
      }
      offset += count * width;
    }
    if (offset !== buffer.length)
      fail(`weight shard holds ${buffer.length} bytes, the manifest describes ${offset}`);
  }
  return tensors;
}

function u32(value) {
  const b = Buffer.alloc(4);
  b.writeUInt32LE(value);
  return b;
}

function main() {
  const [packageDir, output] = process.argv.slice(2);
  if (!packageDir || !output)
    fail('usage: convert-guesslang.js <package dir> <output file>');
  const tensors = readWeights(packageDir);

  const names = tensors.get(NAMES_TENSOR);
  if (!names)
    fail(`no ${NAMES_TENSOR} tensor with the output names`);
  const languages = names.strings.map((extension) => {
    if (!(extension in LABELS))
      fail(`unknown output name "${extension}"`);
    return LABELS[extension];
  });
  const n = languages.length;

  const parts = [Buffer.from('GLNG', 'latin1'), u32(1), u32(n)];
  for (const language of languages) {
    const bytes = Buffer.from(language, 'utf8');
    parts.push(u32(bytes.length), bytes);
  }
  for (const [name, expected] of MATRICES) {
    const tensor = tensors.get(name);
    if (!tensor || !tensor.values)
      fail(`missing weight tensor ${name}`);
    const shape = expected.map((d) => (d === 'N' ? n : d));
    if (JSON.stringify(shape) !== JSON.stringify(tensor.shape))
      fail(`${name} has shape ${JSON.stringify(tensor.shape)}, expected ${JSON.stringify(shape)}`);
    const [rows, cols] = shape.length === 2 ? shape : [1, shape[0]];
    const data = Buffer.alloc(4 * rows * cols);
    tensor.values.forEach((v, i) => data.writeFloatLE(v, 4 * i));
    parts.push(u32(rows), u32(cols), data);
  }

  fs.mkdirSync(path.dirname(output), { recursive: true });
  const temporary = output + '.tmp';
  fs.writeFileSync(temporary, Buffer.concat(parts));
  fs.renameSync(temporary, output);
}

if (require.main === module)
  main();
module.exports = { LABELS };
