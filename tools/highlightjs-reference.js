#!/usr/bin/env node
// Runs the unadapted highlighting script (the same package files and aliases the build
// adapts) in node, as the reference the application's engine is compared with.
//
//   node tools/highlightjs-reference.js <cdn-assets folder> < requests.json > results.json
//
// A request is {"text": ..., "language": ..., "ignoreIllegals": true} ("language" absent for
// automatic detection); a result is {"value", "language", "relevance", "illegal"}, or
// {"undefined": true} when the script throws, as it does for an unknown language.
'use strict';

const fs = require('fs');
const vm = require('vm');
const { stockBundle } = require('./highlightjs-resources.js');

const cdnDir = process.argv[2];
if (!cdnDir) {
    console.error('usage: highlightjs-reference.js <cdn-assets folder> < requests.json');
    process.exit(2);
}

const context = { console: { log() {}, warn() {}, error() {}, info() {}, debug() {} } };
vm.runInNewContext(stockBundle(cdnDir), context);
const hljs = context.hljs;

const requests = JSON.parse(fs.readFileSync(0, 'utf8'));
const results = requests.map(request => {
    try {
        let result;
        if (request.language === undefined) {
            result = hljs.highlightAuto(request.text);
        } else {
            const options = { language: request.language };
            if (request.ignoreIllegals)
                options.ignoreIllegals = true;
            result = hljs.highlight(request.text, options);
        }
        // Read as the application's bridge reads them: strings, a Boolean and a number.
        return { value: String(result.value), language: String(result.language),
                 relevance: Number(result.relevance) || 0, illegal: Boolean(result.illegal) };
    } catch (error) {
        return { undefined: true };
    }
});
process.stdout.write(JSON.stringify(results));
