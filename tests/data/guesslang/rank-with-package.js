// Ranks snippets with the npm package's own runtime, for the differential test of the
// language network. Reads a JSON list of texts on stdin; writes, per text, the list of
// [label, probability] pairs, the package's extension names translated with the converter's
// table.  node rank-with-package.js <package dir> <converter script>
'use strict';
const path = require('path');
const [packageDir, converter] = process.argv.slice(2);
const { ModelOperations } = require(path.resolve(packageDir, 'dist/lib/index'));
const { LABELS } = require(path.resolve(converter));

let input = '';
process.stdin.on('data', (chunk) => (input += chunk));
process.stdin.on('end', async () => {
  const operations = new ModelOperations();
  const rankings = [];
  for (const text of JSON.parse(input)) {
    const results = await operations.runModel(text);
    rankings.push(results.map((r) => [LABELS[r.languageId] ?? r.languageId, r.confidence]));
  }
  process.stdout.write(JSON.stringify(rankings));
});
