// The workbench in Firefox: the folder list, search, go to offset, the keys and two files
// compared, as in chromium (workbench_cases.mjs, compare_cases.mjs).
import { describe } from "node:test";
import { compareCases } from "./compare_cases.mjs";
import { pageSession } from "./session.mjs";
import { failureCases, folderCases, keyboardCases, searchCases } from "./workbench_cases.mjs";

const browser = pageSession({ firefox: true });

describe("in Firefox, a folder as a list of files", () => folderCases(() => browser.page));
describe("in Firefox, the keyboard", () => keyboardCases(() => browser.page));
describe("in Firefox, search and go to offset", () => {
  searchCases(() => browser.page);
  failureCases(() => browser.page);
});
describe("in Firefox, two files compared", () => compareCases(() => browser.page));
