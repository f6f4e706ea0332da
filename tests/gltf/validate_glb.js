// Validates .glb files with the Khronos glTF validator:
//
//   node validate_glb.js <file.glb> ...
//
// Prints each file's report; exits 1 when any file has an error or a warning
// (infos and hints are allowed), 2 when the validator cannot be loaded.
// The validator is found through NODE_PATH or the usual module search.
'use strict';

const fs = require('fs');
const path = require('path');

let validator;
try {
  validator = require('gltf-validator');
} catch (error) {
  console.error(`validate_glb: cannot load gltf-validator: ${error.message}`);
  process.exit(2);
}

async function validate(file) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 0,  // report every issue
    externalResourceFunction: (uri) => Promise.reject(new Error(`no external resources: ${uri}`)),
  });
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
              `${issues.numInfos} infos, ${issues.numHints} hints`);
  for (const message of issues.messages) {
    const severity = ['error', 'warning', 'info', 'hint'][message.severity] || message.severity;
    console.log(`  ${severity} ${message.code} ${message.pointer || ''}: ${message.message}`);
  }
  return issues.numErrors === 0 && issues.numWarnings === 0;
}

async function main() {
  const files = process.argv.slice(2);
  if (files.length === 0) {
    console.error('usage: node validate_glb.js <file.glb> ...');
    process.exit(2);
  }
  let good = true;
  for (const file of files) {
    try {
      good = (await validate(file)) && good;
    } catch (error) {
      console.log(`${file}: the validator failed: ${error && error.message ? error.message : error}`);
      good = false;
    }
  }
  process.exit(good ? 0 : 1);
}

main();
