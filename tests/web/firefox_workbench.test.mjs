// The workbench in Firefox: the folder list, search, go to offset and the keys, as in chromium
// (workbench_cases.mjs).
import { describe } from "node:test";
import { pageSession } from "./session.mjs";
import { failureCases, folderCases, keyboardCases, searchCases } from "./workbench_cases.mjs";

const browser = pageSession({ firefox: true });

describe("in Firefox, a folder as a list of files", () => folderCases(() => browser.page));
describe("in Firefox, the keyboard", () => keyboardCases(() => browser.page));
describe("in Firefox, search and go to offset", () => {
  searchCases(() => browser.page);
  failureCases(() => browser.page);
});
