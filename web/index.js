// SPDX-License-Identifier: MIT
// Every plant whose online topic the broker holds under the prefix in the address (all plants
// without one), with its online state and quality, each linking to its page. Read-only.
(function () {
    "use strict";

    var plants = {};  // plant's prefix -> { online, quality }
    var linked = null, pending = false;  // linked: null until the first connection is made or fails

    function render() {
        pending = false;
        var banner = document.getElementById("banner");
        banner.hidden = linked === true;
        banner.textContent = linked === null ? "Connecting to the broker"
            : linked ? "" : "Disconnected: the broker is not reached";
        var body = document.querySelector("#plants tbody");
        var names = Object.keys(plants).filter(function (n) {
            return plants[n].online !== null;
        }).sort();
        while (body.firstChild) body.removeChild(body.firstChild);
        names.forEach(function (name) {
            var p = plants[name];
            var row = body.insertRow();
            row.dataset.prefix = name;
            var link = document.createElement("a");
            link.href = "plant.html?prefix=" + encodeURIComponent(name);
            link.textContent = name;
            row.insertCell().appendChild(link);
            var online = row.insertCell();
            online.className = "online " + (p.online ? "yes" : "no");
            online.textContent = p.online ? "online" : "offline";
            var quality = row.insertCell();
            quality.className = "quality " + (p.quality === "good" ? "yes" : "bad");
            quality.textContent = p.quality || "unknown";
        });
    }

    function schedule() {
        if (pending) return;
        pending = true;
        requestAnimationFrame(render);
    }

    function plantOf(name) {
        return plants[name] || (plants[name] = { online: null, quality: null });
    }

    function take(topic, text) {
        var slash = topic.lastIndexOf("/");
        if (slash <= 0) return;
        var name = topic.slice(0, slash), leaf = topic.slice(slash + 1);
        if (leaf === "online") {
            var o = VP.onlineOf(text);
            if (o === null) return console.warn("vacuum-panel: online of " + name + " ignored: neither true nor false");
            if (o === undefined) delete plants[name];  // the topic was cleared: the plant is gone
            else plantOf(name).online = o;
        } else if (leaf === "state") {
            var q = VP.qualityOf(text);
            if (q === null) return console.warn("vacuum-panel: state of " + name + " ignored: not a schema 2 state with a quality");
            plantOf(name).quality = q;
        } else {
            return;
        }
        schedule();
    }

    document.addEventListener("DOMContentLoaded", function () {
        var prefix = VP.prefixFromAddress();
        var refused = VP.checkPrefix(prefix, true);
        if (refused) {
            var banner = document.getElementById("banner");
            banner.textContent = "Refused prefix: " + refused;
            banner.hidden = false;
            console.warn("vacuum-panel: refused prefix: " + refused);
            return;
        }
        if (prefix) document.getElementById("caption").textContent = "vacuum plants under " + prefix;
        render();
        // Plants at any depth under the prefix: their online and state topics are picked out.
        VP.connect([prefix ? prefix + "/#" : "#"], take, function (up) {
            linked = up;
            schedule();
        });
    });
})();
