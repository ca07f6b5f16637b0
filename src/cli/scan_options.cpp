#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/cli.hpp"
#include "cli/scan_internal.hpp"

namespace {

const char USAGE[] =
    "tonesift-scan -- many moments of one recording, each as tonesift answers it\n"
    "\n"
    "usage:\n"
    "  tonesift-scan --input <in.wav> (--every SECONDS [--from SECONDS] [--to SECONDS] | --at T1,T2,...)\n"
    "                [--window-samples N] [--top N] [--min-separation-hz HZ] [--noise-floor-db DB]\n"
    "                [--channel N] [--whole-windows] [--json | --csv] [--html FILE]\n"
    "\n"
    "  --every SECONDS        A point every SECONDS from --from (default 0) up to --to\n"
    "                         (default: the end), while it lies inside the recording.\n"
    "  --at T1,T2,...         The points as a list of times that never decreases.\n"
    "  --whole-windows        Only the points whose window lies wholly inside the\n"
    "                         recording; the others read silence past an end.\n"
    "  --json                 One JSON object per point and line (JSON Lines).\n"
    "  --csv                  Rows of time_s,sample,channel,rank,frequency_hz,level_db.\n"
    "                         Without either: a line per point and channel, a '*'\n"
    "                         after the time where the window reaches past an end.\n"
    "  --html FILE            Also write a page with each channel's levels and peaks\n"
    "                         over time, once every point is answered.\n"
    "  The other options and every number are tonesift's. Each value is a whole\n"
    "  number (decimal; --window-samples, --top, --channel: digits) given once.\n"
    "  A stream (-, a pipe, a FIFO) is answered as it passes; a failure found\n"
    "  later comes after the rows already written.\n";

void usage_error(const char *message, const char *a, const char *b = "") {
    std::fprintf(stderr, message, a, b);
    std::fputs(USAGE, stderr);
}

// Where the number at `t` ends: an optional sign, digits and, for a real, a
// fraction and an exponent. Null when there is none: no space, hex, "inf"
// or "nan" is read as one.
const char *number_end(const char *t, bool real) {
    const auto digits = [&t] {
        const char *start = t;
        while (*t >= '0' && *t <= '9') ++t;
        return t - start;
    };
    if (*t == '+' || *t == '-') ++t;
    auto n = digits();
    if (real && *t == '.') ++t, n += digits();
    if (n == 0) return nullptr;
    if (real && (*t == 'e' || *t == 'E')) {
        ++t;
        if (*t == '+' || *t == '-') ++t;
        if (digits() == 0) return nullptr;
    }
    return t;
}

// A real that fills the text up to `stop`, or the text's end, and is finite.
bool real_until(const char *t, char stop) {
    const char *end = number_end(t, true);
    return end && (*end == '\0' || *end == stop) && std::isfinite(parse_number_option(t));
}

bool list_of_reals(const char *t) {
    for (; real_until(t, ','); ++t)
        if (!(t = std::strchr(t, ','))) return true;
    return false;
}

enum class Kind { path, time, list, count, real };

// The first value refused during the scan, told after it.
struct Fault {
    const char *option = nullptr;
    const char *value = nullptr;
    Kind kind = Kind::path;
    bool twice = false;
};

void report_fault(const Fault &f) {
    if (f.twice) return usage_error("error: %s is given more than once\n\n%s", f.option);
    if (f.kind == Kind::list)
        return usage_error("error: %s takes decimal numbers separated by commas, not '%s'\n\n", f.option,
                           f.value);
    usage_error(f.kind == Kind::count ? "error: %s takes a whole number, not '%s'\n\n"
                                      : "error: %s takes a decimal number, not '%s'\n\n",
                f.option, f.value);
}

bool value_well_formed(Kind kind, const char *value) {
    if (kind == Kind::path) return true;
    if (kind == Kind::list) return list_of_reals(value);
    if (kind != Kind::count) return real_until(value, '\0');
    const char *end = number_end(value, false);
    return end && *end == '\0';
}

// Stores the value of a value-taking option; false when `name` is not one.
// A value refused, or a second one, is noted in `fault` if it is the first.
bool take_option(ScanOptions *o, const char *name, const char *value, unsigned *seen, Fault *fault) {
    const struct {
        const char *name;
        Kind kind;
        void *into;
    } slots[] = {{"--input", Kind::path, &o->input},
                 {"--every", Kind::time, &o->every},
                 {"--from", Kind::time, &o->from},
                 {"--to", Kind::time, &o->to},
                 {"--at", Kind::list, &o->at},
                 {"--window-samples", Kind::count, &o->window_samples},
                 {"--top", Kind::count, &o->top},
                 {"--channel", Kind::count, &o->channel},
                 {"--min-separation-hz", Kind::real, &o->min_separation_hz},
                 {"--noise-floor-db", Kind::real, &o->noise_floor_db},
                 {"--html", Kind::path, &o->html}};
    for (unsigned i = 0; i < sizeof slots / sizeof slots[0]; ++i) {
        const auto &s = slots[i];
        if (std::strcmp(name, s.name) != 0) continue;
        const bool well_formed = value_well_formed(s.kind, value);
        const bool twice = (*seen >> i & 1u) != 0;
        *seen |= 1u << i;
        if (!fault->option && (twice || !well_formed)) *fault = {name, value, s.kind, twice};
        if (s.kind == Kind::count) *static_cast<int32_t *>(s.into) = parse_int_option(value);
        else if (s.kind == Kind::real) *static_cast<double *>(s.into) = parse_number_option(value);
        else *static_cast<const char **>(s.into) = value;
        return true;
    }
    return false;
}

bool is(const char *arg, const char *name) { return std::strcmp(arg, name) == 0; }

} // namespace

Asked scan_options(int argc, char **argv, ScanOptions *o) {
    if (argc > 1 && is(argv[1], "--version")) {
        std::printf("tonesift-scan v%s\n", TONESIFT_VERSION);
        return Asked::answered;
    }
    unsigned seen = 0;
    Fault fault;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && take_option(o, argv[i], argv[i + 1], &seen, &fault)) ++i;
        else if (is(argv[i], "--csv")) o->csv = true;
        else if (is(argv[i], "--json")) o->json = true;
        else if (is(argv[i], "--whole-windows")) o->whole_windows = true;
        else if (is(argv[i], "--help") || is(argv[i], "-h")) {
            std::fputs(USAGE, stdout);
            return Asked::answered;
        } else {
            usage_error("error: unrecognized argument '%s'\n\n%s", argv[i]);
            return Asked::refused;
        }
    }
    if (fault.option) report_fault(fault);
    else if (!o->input) usage_error("error: --input is required\n\n%s", "");
    else if ((o->every != nullptr) == (o->at != nullptr))
        usage_error("error: exactly one of --every or --at is required\n\n%s", "");
    else if ((o->from || o->to) && !o->every) usage_error("error: --from and --to go with --every\n\n%s", "");
    else if (!valid_window_and_top(o->window_samples, o->top)) return Asked::refused;
    else if (o->json && o->csv) {
        std::fputs("error: --json and --csv are mutually exclusive\n", stderr);
        return Asked::refused;
    } else if (o->every && !(parse_number_option(o->every) > 0.0)) {
        std::fprintf(stderr, "error: --every must be above 0 (got '%s')\n", o->every);
        return Asked::refused;
    } else if (o->to && parse_number_option(o->to) < (o->from ? parse_number_option(o->from) : 0.0)) {
        std::fprintf(stderr, "error: --to %s comes before --from %s\n", o->to, o->from ? o->from : "0");
        return Asked::refused;
    } else return Asked::scan;
    return Asked::refused;
}

Points points_of(const ScanOptions &o, uint32_t rate, uint64_t frames) {
    return Points{&o, rate, frames, o.at, 0, 0.0, 0, false, 0};
}

bool next_point(Points *p) {
    const double rate = static_cast<double>(p->rate);
    const auto n = static_cast<uint64_t>(p->o->window_samples);
    const double step = p->o->every ? parse_number_option(p->o->every) : 0.0;
    const double from = p->o->from ? parse_number_option(p->o->from) : 0.0;
    for (;;) {
        if (p->o->at) {
            if (!p->next) return false;
            p->seconds = parse_number_option(p->next);
            const char *comma = std::strchr(p->next, ',');
            p->next = comma ? comma + 1 : nullptr;
        } else {
            const double to = p->o->to ? parse_number_option(p->o->to) : INFINITY;
            p->seconds = from + static_cast<double>(p->k++) * step;
            p->over = p->over || !(p->seconds <= to);
        }
        p->sample = round_to_index(rate * p->seconds);
        const bool inside = !outside(p->sample, p->frames);
        const bool padded = inside && window_padded(p->sample, n, p->frames);
        if (p->o->at) {
            if (p->o->whole_windows && padded &&
                (p->sample < static_cast<int64_t>(n / 2) || p->frames != UINT64_MAX))
                continue;
        } else if (p->o->whole_windows && !p->over && p->sample < static_cast<int64_t>(n / 2)) {
            // Close to the first whole window in one step, then point by point.
            const double ahead = std::floor((static_cast<double>(n / 2) / rate - from) / step) - 2.0;
            if (ahead > static_cast<double>(p->k) && ahead < 9.0e15) p->k = static_cast<uint64_t>(ahead);
            continue;
        } else {
            p->over = p->over || !inside || (p->o->whole_windows && padded);
        }
        if (p->over) return false;
        ++p->given;
        return true;
    }
}
