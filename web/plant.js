// SPDX-License-Identifier: MIT
// One plant's synoptic, drawn from the layout generated from the window's tables and fed by the
// plant's retained topics view, state and online. Read-only: the page subscribes and never
// publishes; its buttons, boxes and lists are pictures.
(function () {
    "use strict";

    var L = VP_LAYOUT;
    var SVG = "http://www.w3.org/2000/svg";
    var XHTML = "http://www.w3.org/1999/xhtml";
    var WATCHDOG_MS = 3000;  // the panel's watchdog period
    var FONT = "'Liberation Sans', Arial, Helvetica, sans-serif";
    var FONT_PX = 10;
    var LARGE_FONT_PX = 16;
    var LINE_PX = 11.5;

    var byName = {};
    var measure = document.createElement("canvas").getContext("2d");

    function make(tag, attributes, parent) {
        var e = document.createElementNS(SVG, tag);
        for (var k in attributes) e.setAttribute(k, attributes[k]);
        if (parent) parent.appendChild(e);
        return e;
    }

    function fontOf(c) {
        return (c.bold ? "bold " : "") + (c.large ? LARGE_FONT_PX : FONT_PX) + "px " + FONT;
    }

    // The caption's lines as the window breaks them: at its line ends, and for a wrapping label at
    // blanks within its width. Each piece keeps its own characters (blanks and line ends
    // included), so the element's text is the caption as written.
    function pieces(caption, c) {
        var out = [];
        var re = /\r\n|\n|\r/g, start = 0, m;
        var lines = [];
        while ((m = re.exec(caption)) !== null) {
            lines.push([caption.slice(start, m.index), m[0]]);
            start = m.index + m[0].length;
        }
        lines.push([caption.slice(start), ""]);
        measure.font = fontOf(c);
        lines.forEach(function (line) {
            if (!c.wraps) {
                out.push(line[0] + line[1]);
                return;
            }
            var words = line[0].split(/(?<= )/);
            var current = "";
            words.forEach(function (w) {
                if (current !== "" && measure.measureText((current + w).trimEnd()).width > c.w) {
                    out.push(current);
                    current = w;
                } else {
                    current += w;
                }
            });
            out.push(current + line[1]);
        });
        return out;
    }

    function setCaption(text, caption) {
        if (text.vpCaption === caption) return;
        text.vpCaption = caption;
        var c = text.vpControl;
        while (text.firstChild) text.removeChild(text.firstChild);
        var x = c.centred ? c.x + c.w / 2 : c.x + (c.type === "textbox" ? 3 : 0);
        var px = c.large ? LARGE_FONT_PX : FONT_PX;
        var parts = pieces(caption, c);
        var y = c.type === "label" ? c.y + px * 0.9 : c.y + c.h / 2 - (parts.length - 1) * LINE_PX / 2 + px * 0.35;
        parts.forEach(function (p, i) {
            var t = make("tspan", { x: x, y: y + i * LINE_PX }, text);
            t.textContent = p;
        });
    }

    function textFor(c, parent, name) {
        var attributes = { "font-size": c.large ? LARGE_FONT_PX : FONT_PX, "font-family": FONT };
        if (name) attributes.id = name;
        if (c.bold) attributes["font-weight"] = "bold";
        if (c.centred) attributes["text-anchor"] = "middle";
        var text = make("text", attributes, parent);
        text.vpControl = c;
        setCaption(text, c.caption || "");
        return text;
    }

    function draw(c, svg) {
        var box = { x: c.x + 0.5, y: c.y + 0.5, width: Math.max(c.w - 1, 0), height: Math.max(c.h - 1, 0) };
        var e;
        switch (c.type) {
            case "line":
                e = make("line", { id: c.name, x1: c.x, y1: c.y, x2: c.x + c.w, y2: c.y + c.h, stroke: "#000000" }, svg);
                break;
            case "shape":
                var common = { id: c.name, fill: c.colour, stroke: "#000000" };
                if (c.shape === "rectangle") {
                    e = make("rect", Object.assign(common, box), svg);
                } else if (c.shape === "oval") {
                    e = make("ellipse", Object.assign(common, { cx: box.x + box.width / 2, cy: box.y + box.height / 2, rx: box.width / 2, ry: box.height / 2 }), svg);
                } else {
                    e = make("circle", Object.assign(common, { cx: box.x + box.width / 2, cy: box.y + box.height / 2, r: Math.min(box.width, box.height) / 2 }), svg);
                }
                break;
            case "label":
                if (!c.transparent && c.colour) make("rect", { x: c.x, y: c.y, width: c.w, height: c.h, fill: c.colour }, svg);
                e = textFor(c, svg, c.name);
                break;
            case "textbox":
                make("rect", Object.assign({ fill: "#ffffff", stroke: "#808080" }, box), svg);
                e = textFor(c, svg, c.name);
                break;
            case "button":
                e = make("g", { id: c.name, "class": "button" }, svg);
                make("rect", Object.assign({ fill: c.colour || "#e1e1e1", stroke: c.large ? "#000000" : "#adadad" }, box), e);
                textFor(Object.assign({}, c, { centred: true }), e, null);
                break;
            case "combo":
                e = make("g", { id: c.name }, svg);
                make("rect", Object.assign({ fill: "#ffffff", stroke: "#808080" }, box), e);
                make("path", { d: "M" + (c.x + c.w - 12) + " " + (c.y + c.h / 2 - 2) + "l4 4l4 -4", fill: "none", stroke: "#000000" }, e);
                break;
            case "list":
                var fo = make("foreignObject", { x: c.x, y: c.y, width: c.w, height: c.h }, svg);
                e = document.createElementNS(XHTML, "ul");
                e.id = c.name;
                e.className = "list";
                fo.appendChild(e);
                break;
            case "frame":
                e = make("g", { id: c.name }, svg);
                make("rect", { x: c.x + 0.5, y: c.y + 6.5, width: c.w - 1, height: c.h - 7, fill: "none", stroke: "#a0a0a0" }, e);
                var title = make("text", { x: c.x + 8, y: c.y + 10, "font-size": FONT_PX, "font-family": FONT }, e);
                title.textContent = c.caption;
                break;
            default:
                return;
        }
        byName[c.name] = e;
    }

    // 0x00BBGGRR, or one of the two system colours, as the window shows it.
    function screenColour(value) {
        if (value >= 0x80000000) return L.systemColours[String(value)] || "#c0c0c0";
        var hex = function (n) {
            return (n < 16 ? "0" : "") + n.toString(16);
        };
        return "#" + hex(value & 0xff) + hex((value >>> 8) & 0xff) + hex((value >>> 16) & 0xff);
    }

    // The reason a view payload fails its schema, or null.
    function viewFault(v) {
        if (!VP.isObject(v)) return "not a JSON object";
        if (v.schema !== 2) return "schema is not 2";
        if (!VP.isObject(v.fills) || !VP.isObject(v.texts) || !VP.isObject(v.lists))
            return "fills, texts or lists missing";
        var k;
        for (k in v.fills) {
            var f = v.fills[k];
            if (!Number.isInteger(f) || f < 0 || f > 0xffffffff) return "fill of " + k + " is not a colour value";
        }
        for (k in v.texts) if (typeof v.texts[k] !== "string") return "text of " + k + " is not a string";
        for (k in v.lists) {
            var list = v.lists[k];
            if (!Array.isArray(list) || !list.every(function (s) { return typeof s === "string"; }))
                return "list " + k + " is not a list of strings";
        }
        return null;
    }

    // What the page knows of the plant.
    var plant = {
        view: null,
        quality: null,
        online: null,
        linked: null,  // null until the first connection is made or fails
        lastHeard: 0,  // Date.now() of the newest message of the plant
        refused: null,
    };

    // Why the indicators are grey, or null when the picture is live.
    function greyReason(now) {
        if (plant.refused) return plant.refused;
        if (plant.linked === null) return "Connecting to the broker";
        if (!plant.linked) return "Disconnected: the broker is not reached" + (plant.lastHeard ? "; no data since " + VP.clockTime(plant.lastHeard) : "");
        if (plant.online === false) return "Offline: the plant's gateway is not running";
        if (plant.view === null || plant.quality === null) return "Waiting for the plant's data";
        if (plant.quality !== "good") return "Quality " + plant.quality + ": the gateway does not vouch for this picture";
        if (now - plant.lastHeard >= WATCHDOG_MS) return "Stale: no data since " + VP.clockTime(plant.lastHeard);
        return null;
    }

    var banner, shownReason, pending = false, drawnView = null;

    function render() {
        pending = false;
        var reason = greyReason(Date.now());
        if (plant.view !== drawnView) {
            drawnView = plant.view;
            var v = plant.view, k;
            for (k in v.fills) if (byName[k] && L.fills.indexOf(k) >= 0) byName[k].setAttribute("fill", screenColour(v.fills[k]));
            for (k in v.texts) if (byName[k] && byName[k].vpControl) setCaption(byName[k], v.texts[k]);
            for (k in v.lists) {
                var ul = byName[k];
                if (!ul || ul.tagName.toLowerCase() !== "ul") continue;
                var entries = v.lists[k];
                while (ul.children.length > entries.length) ul.removeChild(ul.lastChild);
                for (var i = 0; i < entries.length; ++i) {
                    var li = ul.children[i] || ul.appendChild(document.createElementNS(XHTML, "li"));
                    if (li.textContent !== entries[i]) li.textContent = entries[i];
                }
            }
        }
        if (reason !== null) {
            // As the window's watchdog greys them; the next live view brings the colours back.
            L.indicators.forEach(function (n) {
                if (byName[n]) byName[n].setAttribute("fill", L.grey);
            });
            if (plant.view) drawnView = null;
        }
        if (reason !== shownReason) {
            shownReason = reason;
            banner.textContent = reason || "";
            banner.hidden = reason === null;
            document.body.classList.toggle("grey", reason !== null);
        }
    }

    function schedule() {
        if (pending) return;
        pending = true;
        requestAnimationFrame(render);
    }

    function take(prefix, topic, text) {
        var leaf = topic.slice(prefix.length + 1);
        if (leaf === "view") {
            var v;
            try {
                v = JSON.parse(text);
            } catch (e) {
                v = undefined;
            }
            var fault = viewFault(v);
            if (fault) return console.warn("vacuum-panel: view ignored: " + fault);
            plant.view = v;
        } else if (leaf === "state") {
            var q = VP.qualityOf(text);
            if (q === null) return console.warn("vacuum-panel: state ignored: not a schema 2 state with a quality");
            plant.quality = q;
        } else if (leaf === "online") {
            var o = VP.onlineOf(text);
            if (o === null) return console.warn("vacuum-panel: online ignored: neither true nor false");
            plant.online = o === undefined ? null : o;
        } else {
            return;
        }
        plant.lastHeard = Date.now();
        schedule();
    }

    function start() {
        banner = document.getElementById("banner");
        var prefix = VP.prefixFromAddress();
        var refused = VP.checkPrefix(prefix, false);
        document.title = (refused ? "" : prefix + " - ") + "vacuum plant";
        document.getElementById("caption").textContent = refused ? "vacuum plant" : "view of " + prefix;
        if (refused) {
            plant.refused = "Refused prefix: " + refused;
            console.warn("vacuum-panel: " + plant.refused);
        } else {
            // The broker's answers take several of its turns: ask first, draw meanwhile.
            VP.connect([prefix + "/view", prefix + "/state", prefix + "/online"], function (topic, text) {
                take(prefix, topic, text);
            }, function (up) {
                plant.linked = up;
                schedule();
            });
            // The watchdog: a quarter of a second is fine enough for a 3 s bound, and idle otherwise.
            setInterval(function () {
                if (greyReason(Date.now()) !== shownReason) schedule();
            }, 250);
        }
        var svg = document.getElementById("plant");
        svg.setAttribute("viewBox", "0 0 " + L.width + " " + L.height);
        L.controls.forEach(function (c) {
            draw(c, svg);
        });
        render();
    }

    document.addEventListener("DOMContentLoaded", start);
})();
