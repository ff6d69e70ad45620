// The workbench in Firefox: the folder list, search, go to offset and the keys, as in chromium
// (workbench_cases.mjs).
import assert from "node:assert/strict";
import { after, before, describe } from "node:test";
import { openFirefoxPage } from "./browser.mjs";
import { viewerHtml } from "./support.mjs";
import { failureCases, folderCases, keyboardCases, searchCases } from "./workbench_cases.mjs";

let browser;
before(async () => {
  browser = await openFirefoxPage(viewerHtml);
});
after(async () => {
  assert.deepEqual(browser.requests, [], "no request leaves the page");
  assert.deepEqual(browser.errors, []);
  await browser.close();
});

describe("in Firefox, a folder as a list of files", () => folderCases(() => browser.page));
describe("in Firefox, the keyboard", () => keyboardCases(() => browser.page));
describe("in Firefox, search and go to offset", () => {
  searchCases(() => browser.page);
  failureCases(() => browser.page);
});
