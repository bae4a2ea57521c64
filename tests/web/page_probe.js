// SPDX-License-Identifier: MIT
// Drives headless Chromium for the page's tests: reads one command a line on standard input and
// answers each with one JSON line on standard output.
//   open NAME URL    opens URL in a tab called NAME
//   snap NAME        every element with an id: its fill, text and list entries; and the banner
//   rows NAME        the plant list's rows
//   console NAME     the console lines of the tab since the last ask
//   shot NAME FILE   a picture of the whole page, as PNG
//   eval NAME JS     the value of the expression JS in the tab (awaited when a promise)
//   close NAME
"use strict";
const puppeteer = require("puppeteer-core");
const readline = require("readline");

const tabs = {};
const logs = {};

function snap() {
    const out = { elements: {}, banner: null };
    for (const e of document.querySelectorAll("[id]")) {
        const item = { tag: e.tagName.toLowerCase(), text: e.textContent };
        if (e.hasAttribute("fill")) item.fill = e.getAttribute("fill");
        if (item.tag === "ul") item.entries = [...e.querySelectorAll("li")].map((li) => li.textContent);
        out.elements[e.id] = item;
    }
    const banner = document.getElementById("banner");
    out.banner = banner && !banner.hidden ? banner.textContent : "";
    return out;
}

function rows() {
    return [...document.querySelectorAll("#plants tbody tr")].map((r) => ({
        prefix: r.dataset.prefix,
        online: r.querySelector(".online").textContent,
        quality: r.querySelector(".quality").textContent,
        href: r.querySelector("a").getAttribute("href"),
    }));
}

async function run(browser, line) {
    const [op, name, ...rest] = line.trim().split(" ");
    switch (op) {
        case "open": {
            const page = await browser.newPage();
            await page.setViewport({ width: 1024, height: 768 });
            logs[name] = [];
            page.on("console", (m) => logs[name].push(m.text()));
            page.on("pageerror", (e) => logs[name].push("page error: " + e.message));
            tabs[name] = page;
            await page.goto(rest.join(" "), { waitUntil: "load" });
            return true;
        }
        case "snap":
            return tabs[name].evaluate(snap);
        case "rows":
            return tabs[name].evaluate(rows);
        case "console": {
            const lines = logs[name];
            logs[name] = [];
            return lines;
        }
        case "shot":
            await tabs[name].screenshot({ path: rest.join(" "), fullPage: true });
            return true;
        case "eval":
            return tabs[name].evaluate(rest.join(" "));
        case "close":
            await tabs[name].close();
            delete tabs[name];
            return true;
        default:
            throw new Error("unknown command " + op);
    }
}

(async () => {
    // VP_BROWSER=firefox runs the same tests in Firefox (Debian's firefox-esr), through WebDriver BiDi.
    const firefox = process.env.VP_BROWSER === "firefox";
    const browser = await puppeteer.launch(
        firefox
            ? { browser: "firefox", executablePath: "/usr/bin/firefox-esr", headless: true }
            : {
                  executablePath: process.env.VP_CHROMIUM || "/usr/bin/chromium",
                  headless: true,
                  args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
              }
    );
    const input = readline.createInterface({ input: process.stdin });
    // One command at a time, in order.
    let chain = Promise.resolve();
    input.on("line", (line) => {
        chain = chain.then(async () => {
            let answer;
            try {
                answer = { ok: true, result: await run(browser, line) };
            } catch (e) {
                answer = { ok: false, error: String(e && e.message) };
            }
            process.stdout.write(JSON.stringify(answer) + "\n");
        });
    });
    input.on("close", () => chain.then(() => browser.close()));
    process.stdout.write(JSON.stringify({ ok: true, result: "ready" }) + "\n");
})().catch((e) => {
    process.stderr.write("page_probe: " + e.message + "\n");
    process.exit(1);
});
