// SPDX-License-Identifier: MIT
// Measures the plant's page in headless Chromium against a running broker:
//   node bench/web_page.js WEB_DIR PAGE_BASE_URL BROKER_TCP_URL [IDLE_SECONDS]
// prints one tab-separated line per figure: name, value, unit (bench/run holds the targets).
"use strict";
const fs = require("fs");
const path = require("path");
const zlib = require("zlib");
const mqtt = require("mqtt");
const puppeteer = require("puppeteer-core");

const [webDir, pageBase, brokerUrl, idleArg] = process.argv.slice(2);
const idleSeconds = Number(idleArg || 30);
const prefix = "bench/vacuum/plant";
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

function view(caption, counter) {
    const fills = { shpTG1: 0xff00, shp1G1: 0xff00, shp2G1: 0xffff, shp1G3: 0xff };
    const texts = { lblTG1: caption, lblSentMessages: counter + " sent messages" };
    return JSON.stringify({ schema: 2, fills, texts, lists: { lstErrors: [], lstWarnings: [], lstMessages: [] } });
}

// Processor time (s) of a process and all its descendants, from /proc (100 ticks a second).
function treeSeconds(root) {
    const parents = {};
    const ticks = {};
    for (const pid of fs.readdirSync("/proc").filter((d) => /^\d+$/.test(d))) {
        try {
            const stat = fs.readFileSync("/proc/" + pid + "/stat", "utf8");
            const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
            parents[pid] = fields[1];
            ticks[pid] = Number(fields[11]) + Number(fields[12]);
        } catch (e) {
            // gone meanwhile
        }
    }
    const inTree = (pid) => pid === String(root) || (parents[pid] && parents[pid] !== "0" && parents[pid] !== pid && inTree(parents[pid]));
    return Object.keys(ticks).filter(inTree).reduce((sum, pid) => sum + ticks[pid], 0) / 100;
}

function percentile(sorted, p) {
    return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}

// Installed before the page's own scripts: notes when the picture is complete (banner gone,
// lblTG1 captioned as published) and when each caption "seq N" first stood in the DOM.
function observe() {
    window.__seen = {};
    window.__complete = null;
    new MutationObserver(() => {
        const banner = document.getElementById("banner");
        const label = document.getElementById("lblTG1");
        if (!label) return;
        const text = label.textContent;
        if (window.__complete === null && banner && banner.hidden && text === "ready")
            window.__complete = performance.now();
        if (text.startsWith("seq ") && !(text in window.__seen)) window.__seen[text] = Date.now();
    }).observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
}

(async () => {
    const out = [];
    // The plant's page is one file with everything inside; the plant list is another.
    const gzipped = (f) => zlib.gzipSync(fs.readFileSync(path.join(webDir, f)), { level: 9 }).length / 1024;
    const files = fs.readdirSync(webDir);
    out.push(["web: plant page's weight, all it loads, gzipped", gzipped("plant.html").toFixed(1), "KB"]);
    out.push(["web: the whole web/ folder (" + files.join(", ") + "), gzipped", files.reduce((s, f) => s + gzipped(f), 0).toFixed(1), "KB"]);

    const client = mqtt.connect(brokerUrl);
    await new Promise((r) => client.on("connect", r));
    const publish = (leaf, payload) =>
        new Promise((r) => client.publish(prefix + "/" + leaf, payload, { qos: 1, retain: true }, r));
    await publish("online", "true");
    await publish("state", JSON.stringify({ schema: 2, time: null, quality: "good" }));
    await publish("view", view("ready", 0));

    const browser = await puppeteer.launch({
        executablePath: process.env.VP_CHROMIUM || "/usr/bin/chromium",
        headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
    });
    const url = pageBase + "/plant.html?prefix=" + prefix;

    // First complete render: ten fresh tabs, cache off, navigation start to the complete picture.
    const firsts = [];
    for (let i = 0; i < 10; ++i) {
        const page = await browser.newPage();
        await page.setCacheEnabled(false);
        await page.evaluateOnNewDocument(observe);
        await page.goto(url, { waitUntil: "load" });
        await page.waitForFunction(() => window.__complete !== null, { timeout: 10000 });
        firsts.push(await page.evaluate(() => window.__complete));
        await page.close();
    }
    firsts.sort((a, b) => a - b);
    out.push(["web: first complete render after navigation, median of 10", firsts[5].toFixed(0), "ms"]);
    out.push(["web: first complete render after navigation, slowest of 10", firsts[9].toFixed(0), "ms"]);

    // Broker to DOM: 300 views, one every 100 ms (the gateway's fastest pace), each caption's
    // publication to its appearance in the page.
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(observe);
    await page.goto(url, { waitUntil: "load" });
    await page.waitForFunction(() => window.__complete !== null, { timeout: 10000 });
    const sent = {};
    for (let i = 0; i < 300; ++i) {
        sent["seq " + i] = Date.now();
        client.publish(prefix + "/view", view("seq " + i, i), { qos: 1, retain: true });
        await sleep(100);
    }
    await sleep(1000);
    const seen = await page.evaluate(() => window.__seen);
    const delays = Object.keys(sent).filter((k) => k in seen).map((k) => seen[k] - sent[k]).sort((a, b) => a - b);
    out.push(["web: views shown of 300 published", delays.length, ""]);
    out.push(["web: broker publish to page DOM, p50", percentile(delays, 50), "ms"]);
    out.push(["web: broker publish to page DOM, p99", percentile(delays, 99), "ms"]);

    // An idle plant: one view a second (the counters), the page's main thread over the period.
    const session = await page.createCDPSession();
    await session.send("Performance.enable");
    const busy = async () => (await session.send("Performance.getMetrics")).metrics.find((m) => m.name === "TaskDuration").value;
    const before = await busy();
    const chromiumBefore = treeSeconds(browser.process().pid);
    const start = Date.now();
    for (let i = 0; i < idleSeconds; ++i) {
        client.publish(prefix + "/view", view("ready", 1000 + i), { qos: 1, retain: true });
        await sleep(1000);
    }
    const seconds = (Date.now() - start) / 1000;
    const share = ((await busy()) - before) / seconds;
    const all = (treeSeconds(browser.process().pid) - chromiumBefore) / seconds;
    out.push(["web: page CPU, idle plant, renderer main thread", (share * 100).toFixed(2), "%"]);
    out.push(["web: page CPU, idle plant, every Chromium process", (all * 100).toFixed(2), "%"]);

    await browser.close();
    client.end();
    for (const row of out) console.log(row.join("\t"));
})().catch((e) => {
    console.error("web_page: " + e.message);
    process.exit(1);
});
