// The prelude every browser suite shares: the page opened in chromium (or Firefox) before the
// suite's tests, and after them held to having asked for nothing outside itself and to having
// reported no error, then closed. The session's `page` is there once the suite runs.
import assert from "node:assert/strict";
import { after, before } from "node:test";
import { openFirefoxPage, openPage } from "./browser.mjs";
import { viewerHtml } from "./support.mjs";

// `errors: false` leaves the page's errors to the suite; `setUp(page)` runs once it is open.
export function pageSession({ firefox = false, width, height, errors = true, setUp } = {}) {
  const session = {};
  before(async () => {
    Object.assign(session, await (firefox ? openFirefoxPage : openPage)(viewerHtml, { width, height }));
    if (setUp) await setUp(session.page);
  });
  after(async () => {
    assert.deepEqual(session.requests, [], "no request leaves the page");
    if (errors) assert.deepEqual(session.errors, []);
    await session.close();
  });
  return session;
}
