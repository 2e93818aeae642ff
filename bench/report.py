#!/usr/bin/env python3
"""Prints the benchmark figures against their targets as one table.

Reads the JSON output of pagora_bench and pagora_bench_memory. Figures of
in-memory work are CPU times (the machine may be busy with other work);
transfers are wall-clock times, each measured beside its baseline.
"""
import json
import sys

REPLY = 65536          # bytes of a full reply
MB = 1e6               # parser rates are in MB/s, 10^6 bytes
TIME_SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load_runs(documents):
    """Runs by run name: the median aggregate where there is one, else the run."""
    runs = {}
    for doc in documents:
        for b in doc.get("benchmarks", []):
            if b.get("error_occurred"):
                runs[b.get("run_name", b["name"])] = {"error": b.get("error_message", "error")}
                continue
            if b.get("big_o") is not None or b.get("rms") is not None:
                runs[b["name"]] = b
                continue
            name = b.get("run_name", b["name"])
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    runs[name] = b
            elif name not in runs:
                runs[name] = b
    return runs


def seconds(run, field):
    return run[field] * TIME_SCALE[run.get("time_unit", "ns")]


class Missing(Exception):
    pass


def get(runs, name):
    run = runs.get(name)
    if run is None:
        raise Missing(name + ": not run")
    if "error" in run:
        raise Missing(name + ": " + run["error"])
    return run


def row(figure, target, judge, compute):
    """compute() gives (value text, number); judge(number) gives True/False or None for info."""
    try:
        text, number = compute()
    except (Missing, KeyError, ZeroDivisionError) as e:
        return [figure, "missing (%s)" % e, target, "no"]
    verdict = judge(number)
    return [figure, text, target, "-" if verdict is None else ("yes" if verdict else "no")]


def info(_):
    return None


def parser_rows(runs, label, refresh, query):
    small, large = refresh + "/1", refresh + "/16"

    def with_query(name):
        def compute():
            rate = get(runs, name)["bytes_per_second"] / MB
            return "%.0f MB/s" % rate, rate
        return compute

    def alone():
        parse = seconds(get(runs, small), "cpu_time") - seconds(get(runs, query), "cpu_time")
        rate = REPLY / parse / MB
        return "%.0f MB/s" % rate, rate

    def linear():
        # Time per byte at 1 MiB against 64 KiB: 1.0 is exactly linear.
        r = get(runs, small)["bytes_per_second"] / get(runs, large)["bytes_per_second"]
        return "%.2f x" % r, r

    return [
        row("%s, 64 KiB reply (query included)" % label, ">= 200 MB/s",
            lambda v: v >= 200, with_query(small)),
        row("%s, parse alone (query subtracted)" % label, ">= 200 MB/s",
            lambda v: v >= 200, alone),
        row("%s, 1 MiB reply (query included)" % label, ">= 200 MB/s",
            lambda v: v >= 200, with_query(large)),
        row("%s, time per byte 1 MiB / 64 KiB" % label, "<= 1.5 x",
            lambda v: v <= 1.5, linear),
    ]


def per_element(runs, base, small, large):
    a = get(runs, "%s/%d" % (base, small))
    b = get(runs, "%s/%d" % (base, large))
    return (seconds(b, "cpu_time") / large) / (seconds(a, "cpu_time") / small)


def transfer_row(runs, label, name, size_label):
    def compute():
        run = get(runs, name)
        plugin_us = seconds(run, "real_time") * 1e6
        ratio = run["ratio"]
        return "%.2f x (%.0f us, baseline %.0f us)" % (ratio, plugin_us, run["baseline_us"]), ratio

    return row("%s %s, plugin / baseline" % (label, size_label), "<= 1.1 x",
               lambda v: v <= 1.1, compute)


def peak_rows(runs, label, name, small, large, judge, target):
    def show(size, size_label):
        def compute():
            run = get(runs, "%s/%d/iterations:1/repeats:1" % (name, size))
            return ("peak %d KiB, growth %d KiB" % (run["peak_kib"], run["growth_kib"]),
                    run["growth_kib"])
        return row("%s peak RSS %s" % (label, size_label), "-", info, compute)

    def difference():
        a = get(runs, "%s/%d/iterations:1/repeats:1" % (name, small))
        b = get(runs, "%s/%d/iterations:1/repeats:1" % (name, large))
        d = b["growth_kib"] - a["growth_kib"]
        return "%+d KiB" % d, d

    return [
        show(small, "1 MiB"),
        show(large, "64 MiB"),
        row("%s peak RSS 64 MiB minus 1 MiB" % label, target, judge, difference),
    ]


def rows(runs):
    out = []

    def listing():
        ms = seconds(get(runs, "BM_WholeListing"), "cpu_time") * 1e3
        return "%.3f ms" % ms, ms

    out.append(row("whole listing, 600 titles / 1,000 files", "<= 1.3 ms",
                   lambda v: v <= 1.3, listing))

    def query():
        rate = get(runs, "BM_Query/titles")["bytes_per_second"] / MB
        return "%.0f MB/s" % rate, rate

    out.append(row("64 KiB query alone (copy baseline)", "-", info, query))
    out += parser_rows(runs, "RefreshTitles", "BM_RefreshTitles", "BM_Query/titles")
    out += parser_rows(runs, "RefreshStorageTree", "BM_RefreshStorageTree", "BM_Query/dir")
    out += parser_rows(runs, "RefreshStatus", "BM_RefreshStatus", "BM_Query/status")

    def link_growth():
        r = per_element(runs, "BM_LinkTitles", 100, 10000)
        return "%.2f x" % r, r

    def link_fit():
        run = get(runs, "BM_LinkTitles_BigO")
        return "O(%s)" % run["big_o"], run["big_o"]

    def follow_growth():
        r = per_element(runs, "BM_FollowLinks", 100, 10000)
        return "%.2f x" % r, r

    def link_over_memory():
        r = (per_element(runs, "BM_LinkTitles", 100, 10000) /
             per_element(runs, "BM_FollowLinks", 100, 10000))
        return "%.2f x" % r, r

    out.append(row("LinkTitles time per element, 10,000 vs 100", "<= 2 x",
                   lambda v: v <= 2.0, link_growth))
    out.append(row("LinkTitles fitted complexity (100..10,000)", "-", info, link_fit))
    out.append(row("memory baseline (FollowLinks) per element, 10,000 vs 100", "-", info,
                   follow_growth))
    out.append(row("LinkTitles growth over the memory baseline's", "-", info, link_over_memory))

    for label, base in (("download", "BM_Download"),
                        ("download, baseline also replacing", "BM_DownloadReplacing"),
                        ("upload", "BM_Upload")):
        out.append(transfer_row(runs, label, "%s/%d/manual_time" % (base, 1 << 20), "1 MiB"))
        out.append(transfer_row(runs, label, "%s/%d/manual_time" % (base, 16 << 20), "16 MiB"))

    out += peak_rows(runs, "download", "BM_DownloadPeak", 1 << 20, 64 << 20,
                     lambda d: d <= 64, "<= +64 KiB")
    file_growth = (64 - 1) * 1024
    out += peak_rows(runs, "upload", "BM_UploadPeak", 1 << 20, 64 << 20,
                     lambda d: abs(d - file_growth) <= 64,
                     "%+d KiB +- 64 (the file once)" % file_growth)
    return out


def format_table(table):
    header = ["figure", "value", "target", "met"]
    widths = [max(len(str(r[i])) for r in [header] + table) for i in range(4)]
    line = lambda r: "  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()
    return "\n".join([line(header), line(["-" * w for w in widths])] + [line(r) for r in table])


def main(paths):
    documents = []
    for path in paths:
        with open(path) as f:
            documents.append(json.load(f))
    table = rows(load_runs(documents))
    print(format_table(table))
    return 1 if any(r[1].startswith("missing") for r in table) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
