"""Checks of report.py: which run it reads and how it judges each figure."""
import unittest

import report


def run(name, **fields):
    b = {"name": name, "run_name": name, "run_type": "iteration", "time_unit": "ns"}
    b.update(fields)
    return b


def median(name, **fields):
    b = run(name + "_median", **fields)
    b.update(run_name=name, run_type="aggregate", aggregate_name="median")
    return b


def peak(name, size, growth):
    return run("%s/%d/iterations:1/repeats:1" % (name, size), peak_kib=2000 + growth,
               start_kib=2000, growth_kib=growth)


def good_runs():
    """Every figure, each within its target."""
    main = [
        median("BM_WholeListing", cpu_time=500.0, real_time=900.0, time_unit="us"),
        median("BM_Query/titles", cpu_time=1000.0, bytes_per_second=65.536e9),
        median("BM_Query/dir", cpu_time=1000.0, bytes_per_second=65.536e9),
        median("BM_Query/status", cpu_time=1000.0, bytes_per_second=65.536e9),
        median("BM_RefreshTitles/1", cpu_time=201000.0, bytes_per_second=326e6),
        median("BM_RefreshStorageTree/1", cpu_time=101000.0, bytes_per_second=649e6),
        median("BM_RefreshStatus/1", cpu_time=301000.0, bytes_per_second=217e6),
        median("BM_RefreshTitles/16", cpu_time=3300000.0, bytes_per_second=316e6),
        median("BM_RefreshStorageTree/16", cpu_time=1700000.0, bytes_per_second=620e6),
        median("BM_RefreshStatus/16", cpu_time=4900000.0, bytes_per_second=211e6),
        median("BM_LinkTitles/100", cpu_time=10.0, time_unit="us"),
        median("BM_LinkTitles/10000", cpu_time=1500.0, time_unit="us"),
        {"name": "BM_LinkTitles_BigO", "big_o": "N", "cpu_coefficient": 1.0},
        median("BM_FollowLinks/100", cpu_time=5.0, time_unit="us"),
        median("BM_FollowLinks/10000", cpu_time=600.0, time_unit="us"),
    ]
    for base in ("BM_Download", "BM_DownloadReplacing", "BM_Upload"):
        for size in (1 << 20, 16 << 20):
            main.append(median("%s/%d/manual_time" % (base, size), real_time=1050.0,
                               time_unit="us", baseline_us=1000.0, ratio=1.05))
    memory = [
        peak("BM_DownloadPeak", 1 << 20, 200), peak("BM_DownloadPeak", 64 << 20, 204),
        peak("BM_UploadPeak", 1 << 20, 1100), peak("BM_UploadPeak", 64 << 20, 1100 + 63 * 1024),
    ]
    return [{"benchmarks": main}, {"benchmarks": memory}]


def table(documents):
    return {r[0]: r[1:] for r in report.rows(report.load_runs(documents))}


def replace(documents, name, **fields):
    for doc in documents:
        for b in doc["benchmarks"]:
            if b["name"] == name:
                b.update(fields)
    return documents


class ReportTest(unittest.TestCase):
    def test_every_target_met_when_every_figure_is_within_it(self):
        t = table(good_runs())
        judged = {k: v for k, v in t.items() if v[2] != "-"}
        self.assertEqual(len(judged), 22)
        for figure, (value, target, met) in judged.items():
            self.assertEqual(met, "yes", "%s: %s against %s" % (figure, value, target))
        self.assertEqual(t["whole listing, 600 titles / 1,000 files"][0], "0.500 ms")
        self.assertEqual(t["RefreshTitles, parse alone (query subtracted)"][0], "328 MB/s")
        self.assertEqual(t["LinkTitles time per element, 10,000 vs 100"][0], "1.50 x")
        self.assertEqual(t["LinkTitles growth over the memory baseline's"][0], "1.25 x")
        self.assertEqual(t["download peak RSS 64 MiB minus 1 MiB"][0], "+4 KiB")

    def test_each_figure_past_its_target_is_not_met(self):
        cases = [
            ("listing too slow", "BM_WholeListing_median", {"cpu_time": 1400.0},
             "whole listing, 600 titles / 1,000 files"),
            ("parser slow with its query", "BM_RefreshStatus/1_median",
             {"bytes_per_second": 199e6}, "RefreshStatus, 64 KiB reply (query included)"),
            ("parse alone slow", "BM_RefreshTitles/1_median", {"cpu_time": 400000.0},
             "RefreshTitles, parse alone (query subtracted)"),
            ("parser slow on 1 MiB", "BM_RefreshTitles/16_median",
             {"bytes_per_second": 199e6}, "RefreshTitles, 1 MiB reply (query included)"),
            ("parser worse than linear", "BM_RefreshStorageTree/16_median",
             {"bytes_per_second": 400e6}, "RefreshStorageTree, time per byte 1 MiB / 64 KiB"),
            ("quadratic linking", "BM_LinkTitles/10000_median", {"cpu_time": 100000.0},
             "LinkTitles time per element, 10,000 vs 100"),
            ("slow download", "BM_Download/16777216/manual_time_median", {"ratio": 1.11},
             "download 16 MiB, plugin / baseline"),
            ("download holds the file", "BM_DownloadPeak/67108864/iterations:1/repeats:1",
             {"growth_kib": 200 + 65}, "download peak RSS 64 MiB minus 1 MiB"),
            ("upload holds the file twice", "BM_UploadPeak/67108864/iterations:1/repeats:1",
             {"growth_kib": 1100 + 126 * 1024}, "upload peak RSS 64 MiB minus 1 MiB"),
            ("upload does not hold the file", "BM_UploadPeak/67108864/iterations:1/repeats:1",
             {"growth_kib": 1100}, "upload peak RSS 64 MiB minus 1 MiB"),
        ]
        for label, name, fields, figure in cases:
            t = table(replace(good_runs(), name, **fields))
            self.assertEqual(t[figure][2], "no", label)

    def test_median_is_read_and_missing_or_failed_runs_show(self):
        docs = good_runs()
        # A repetition's own run beside the median must not replace it.
        docs[0]["benchmarks"].append(run("BM_WholeListing", cpu_time=9000.0, time_unit="us"))
        docs[0]["benchmarks"] = [b for b in docs[0]["benchmarks"]
                                 if b["name"] != "BM_RefreshTitles/1_median"]
        docs[0]["benchmarks"].append(run("BM_RefreshTitles/1", error_occurred=True,
                                         error_message="RefreshTitles failed"))
        docs[1]["benchmarks"] = docs[1]["benchmarks"][:3]
        t = table(docs)
        self.assertEqual(t["whole listing, 600 titles / 1,000 files"][2], "yes")
        value, _, met = t["RefreshTitles, 64 KiB reply (query included)"]
        self.assertIn("RefreshTitles failed", value)
        self.assertEqual(met, "no")
        self.assertTrue(t["upload peak RSS 64 MiB minus 1 MiB"][0].startswith("missing"))

    def test_table_lines_up(self):
        text = report.format_table([["a", "1", "t", "yes"], ["longer name", "22", "-", "-"]])
        lines = text.splitlines()
        self.assertEqual(len(lines), 4)
        self.assertEqual(lines[0].index("value"), lines[2].index("1"))
        self.assertEqual(lines[3].index("22"), lines[2].index("1"))


if __name__ == "__main__":
    unittest.main()
