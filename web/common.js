// SPDX-License-Identifier: MIT
// What the plant page and the plant list share: the prefix from the address, the broker's
// address, and a connection that retries with a growing, capped delay. Read-only: nothing here
// publishes.
var VP = (function () {
    "use strict";

    var FIRST_RETRY_MS = 1000;
    var LAST_RETRY_MS = 30000;

    // A prefix names plants, never a wildcard or a way up: "site1/vacuum/plantA".
    function checkPrefix(prefix, mayBeEmpty) {
        if (prefix === "") return mayBeEmpty ? null : "no prefix given (plant.html?prefix=site/plant)";
        if (prefix.length > 256) return "the prefix is too long";
        if (/[+#\u0000]/.test(prefix)) return "a prefix holds no wildcard (+ or #)";
        var parts = prefix.split("/");
        for (var i = 0; i < parts.length; ++i) {
            if (parts[i] === "") return "a prefix has no empty level (// or a / at either end)";
            if (parts[i] === "." || parts[i] === "..") return "a prefix has no . or .. level";
        }
        if (prefix.charAt(0) === "$") return "a prefix does not start with $";
        return null;
    }

    function prefixFromAddress() {
        return new URLSearchParams(window.location.search).get("prefix") || "";
    }

    // The broker that served the page, on the same listener.
    function brokerUrl() {
        var scheme = window.location.protocol === "https:" ? "wss://" : "ws://";
        return scheme + window.location.host + "/mqtt";
    }

    function twoDigits(n) {
        return (n < 10 ? "0" : "") + n;
    }
    function clockTime(ms) {
        var d = new Date(ms);
        return twoDigits(d.getHours()) + ":" + twoDigits(d.getMinutes()) + ":" +
            twoDigits(d.getSeconds());
    }

    // Subscribes to the filters and hands every message to onMessage(topic, text); onLink(up, why)
    // says when the broker is reached or lost. The retry delay doubles from 1 s up to 30 s and
    // starts again at 1 s after a connection.
    function connect(filters, onMessage, onLink) {
        var retry = FIRST_RETRY_MS;
        var client = mqtt.connect(brokerUrl(), {
            clientId: "vp-web-" + Math.random().toString(16).slice(2, 10),
            clean: true,
            keepalive: 5,
            connectTimeout: 5000,
            reconnectPeriod: retry,
            resubscribe: false,
        });
        client.on("connect", function () {
            retry = FIRST_RETRY_MS;
            client.options.reconnectPeriod = retry;
            client.subscribe(filters, { qos: 1 }, function (err) {
                if (err) console.warn("vacuum-panel: subscription refused: " + err.message);
            });
            onLink(true, "");
        });
        client.on("close", function () {
            onLink(false, "the broker is not reached");
            retry = Math.min(retry * 2, LAST_RETRY_MS);
            client.options.reconnectPeriod = retry;
        });
        client.on("error", function (err) {
            console.warn("vacuum-panel: broker: " + err.message);
        });
        client.on("message", function (topic, payload) {
            onMessage(topic, new TextDecoder("utf-8").decode(payload));
        });
        return client;
    }

    function isObject(v) {
        return v !== null && typeof v === "object" && !Array.isArray(v);
    }

    var QUALITIES = ["good", "stale", "disconnected", "starting", "offline"];

    // The plant's quality from a state payload, or null when the payload fails its schema.
    function qualityOf(text) {
        var s;
        try {
            s = JSON.parse(text);
        } catch (e) {
            return null;
        }
        if (!isObject(s) || s.schema !== 2 || QUALITIES.indexOf(s.quality) < 0) return null;
        return s.quality;
    }

    // true or false from an online payload, undefined for an empty one (the topic was cleared),
    // null for anything else.
    function onlineOf(text) {
        if (text === "true") return true;
        if (text === "false") return false;
        if (text === "") return undefined;
        return null;
    }

    return {
        checkPrefix: checkPrefix,
        prefixFromAddress: prefixFromAddress,
        clockTime: clockTime,
        connect: connect,
        isObject: isObject,
        qualityOf: qualityOf,
        onlineOf: onlineOf,
    };
})();
