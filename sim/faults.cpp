// SPDX-License-Identifier: MIT
#include "sim/faults.h"

#include <cmath>
#include <utility>

namespace vp::sim {

namespace {

std::optional<int> IntIn(QStringView value, int low, int high) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < low || number > high) return std::nullopt;
    return number;
}

}  // namespace

Result<> Faults::Inject(QStringView request, double now) {
    request = request.trimmed();
    const qsizetype eq = request.indexOf(u'=');
    const QStringView name = eq < 0 ? request : request.first(eq).trimmed();
    const QStringView value = eq < 0 ? QStringView() : request.sliced(eq + 1).trimmed();
    const bool has_value = eq >= 0;
    const auto range = [&](int low, int high) -> std::optional<int> {
        if (!has_value) return std::nullopt;
        return IntIn(value, low, high);
    };
    const auto bad_value = [&](const char* what) {
        return Fail(
            QStringLiteral("fault \"%1\" needs %2").arg(name.toString(), QLatin1String(what)));
    };
    const auto no_value = [&]() {
        return Fail(QStringLiteral("fault \"%1\" takes no value").arg(name.toString()));
    };

    if (name == u"bad-checksum") {
        if (has_value) return no_value();
        next_.bad_checksum = true;
    } else if (name == u"noise") {
        if (has_value) return no_value();
        next_.noise = true;
    } else if (name == u"split") {
        if (has_value) return no_value();
        next_.split = true;
    } else if (name == u"clear") {
        if (has_value) return no_value();
        next_ = {};
        silent_until_ = 0;
        push_rate_ = 0;
    } else if (name == u"error-report") {
        const auto code = range(151, 255);
        if (!code) return bad_value("a result code 151..255");
        next_.error_code = code;
    } else if (name == u"warning") {
        const auto kind = range(220, 236);
        if (!kind) return bad_value("a warning kind 220..236");
        next_.warning_kind = kind;
    } else if (name == u"wrong-length") {
        const auto length = range(3, 250);
        if (!length) return bad_value("a length 3..250");
        next_.length = length;
    } else if (name == u"flood") {
        const auto count = range(1, 1000);
        if (!count) return bad_value("a count 1..1000");
        next_.flood = *count;
    } else if (name == u"push") {
        const auto rate = range(0, 10'000'000);
        if (!rate) return bad_value("a line speed 0..10000000 bit/s");
        push_rate_ = *rate;
    } else if (name == u"silence") {
        bool ok = false;
        const double seconds = has_value ? value.toDouble(&ok) : 0;
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 86400) {
            return bad_value("a time 0..86400 seconds");
        }
        silent_until_ = now + seconds;
    } else {
        return Fail(QStringLiteral("unknown fault \"%1\"").arg(request.toString()));
    }
    return {};
}

NextReplyFaults Faults::TakeNext() {
    return std::exchange(next_, NextReplyFaults{});
}

QString Faults::Help() {
    return QStringLiteral(
        "Faults (--fault, repeatable; also one per line on standard input with --interactive):\n"
        "  bad-checksum        next reply with a wrong checksum\n"
        "  error-report=CODE   next reply as an error report with CODE (151..255)\n"
        "  warning=KIND        warning KIND (220..236) after the next reply\n"
        "  wrong-length=N      next reply cut or padded to N characters (3..250)\n"
        "  noise               random bytes and CRs before the next reply\n"
        "  split               next reply written in small pieces\n"
        "  flood=N             N status reports after the next reply (1..1000)\n"
        "  silence=SECONDS     no replies for SECONDS (0 ends it)\n"
        "  push=BITS           status reports unasked at BITS bit/s line pace (0 stops)\n"
        "  clear               drop pending faults, end silence and pushing\n");
}

}  // namespace vp::sim
