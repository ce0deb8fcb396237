// Validates glTF assets with the Khronos validator: one line per file with its error,
// warning and info counts, the messages of errors in full. Exit code 1 when any file has an
// error. Usage: node gltf_validate.js VALIDATOR_MODULE FILE...
const fs = require('fs');
const path = require('path');
const validator = require(process.argv[2]);

async function check(file) {
  const data = new Uint8Array(fs.readFileSync(file));
  const report = await validator.validateBytes(data, {
    uri: file,
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)), (err, bytes) =>
          err ? reject(err.toString()) : resolve(new Uint8Array(bytes)));
      }),
  });
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos`);
  for (const m of issues.messages)
    if (m.severity === 0 || process.env.GLTF_VERBOSE) console.log(`  ${m.severity} ${m.code} ${m.pointer || ''}: ${m.message}`);
  return issues.numErrors === 0;
}

(async () => {
  let ok = true;
  for (const file of process.argv.slice(3)) {
    try {
      if (!(await check(file))) ok = false;
    } catch (e) {
      console.log(`${file}: validator failed: ${e}`);
      ok = false;
    }
  }
  process.exit(ok ? 0 : 1);
})();
