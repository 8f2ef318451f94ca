#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Budgets of the benchmarks: each budgeted benchmark beside the floor it is compared with.

Reads Google Benchmark JSON outputs (--benchmark_out=F --benchmark_out_format=json, or
--benchmark_format=json), takes the median aggregate of each benchmark (without aggregates, the
median of its runs) and prints one row per entry of BUDGETS:

    work | measured | floor | ratio | budget | ok/OVER

A benchmark that is in none of the files shows as "absent" and fails nothing. The exit status is 1
when a row is OVER, so that bench.sh ends in failure then.

    scripts/bench_ratios.py build-bench/bench-results/*.json
"""

import argparse
import json
import statistics
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Optional


@dataclass(frozen=True)
class Budget:
    work: str  # the budgeted benchmark
    floor: Optional[str] = None  # the least the same work can cost, measured in the same program
    max_ms: Optional[float] = None  # an absolute budget in milliseconds
    max_ratio: Optional[float] = None  # a budget in times the floor
    time: str = "real_time"  # or "cpu_time": which of the two the budget is on


# A name may be "program:benchmark" (program: the JSON file's name without .json) when two programs
# hold benchmarks of the same name.
BUDGETS = [
    Budget("RecordCycleTenYears", floor="Floor_RewriteFsyncRename", max_ms=2.0),
    Budget("TotalsLoadTenYears", floor="Floor_HandParseNicInf", max_ms=5.0),
    Budget("YearLoad1000Days", floor="Floor_ReadFromChars1000Days", max_ratio=1.3),
    # A data plan's figures for a 31-day cycle against reading what it reads whole: its 31 day files and, for
    # the use from the day totals (/0), the ten-year nic.inf; with an off-peak window (/1) the day files alone.
    Budget("PlanFigures31Days/0", floor="Floor_ReadFromChars31Days/0", max_ratio=1.3),
    Budget("PlanFigures31Days/1", floor="Floor_ReadFromChars31Days/1", max_ratio=1.3),
    # The shown meter's frame (a tick and the repaint it causes) against a bare window doing the same visible
    # work (its graph moved by one column, one fitted and centred line of text), process CPU.
    Budget("MeterFrame/403/189/process_time", floor="Floor_BareWindowFrame/403/189/process_time", max_ratio=1.0,
           time="cpu_time"),
    Budget("MeterFrame/1024/300/process_time", floor="Floor_BareWindowFrame/1024/300/process_time", max_ratio=1.0,
           time="cpu_time"),
]

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


@dataclass
class Result:
    real_ms: Optional[float]
    cpu_ms: Optional[float]
    error: Optional[str] = None

    def ms(self, time: str) -> Optional[float]:
        return self.real_ms if time == "real_time" else self.cpu_ms


def load(paths):
    """Median of every benchmark, by name and by "program:name": its median aggregate, or else the
    median of its runs."""
    medians, runs = {}, {}
    for path in paths:
        program = Path(path).name.removesuffix(".json")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        # --benchmark_format=json on standard output may come after other output.
        data = json.loads(text[text.index("{"):]) if "{" in text else {}
        for b in data.get("benchmarks", []):
            name = b.get("run_name") or b.get("name", "")
            unit = TO_MS.get(b.get("time_unit", "ns"), 1e-6)
            result = Result(
                b["real_time"] * unit if "real_time" in b else None,
                b["cpu_time"] * unit if "cpu_time" in b else None,
                b.get("error_message") if b.get("error_occurred") else None,
            )
            aggregate = b.get("run_type") == "aggregate"
            if aggregate and b.get("aggregate_name") != "median":
                continue
            for key in (name, f"{program}:{name}"):
                if aggregate:
                    medians[key] = result
                else:
                    runs.setdefault(key, []).append(result)
    results = dict(medians)
    for key, found in runs.items():
        if key in results:
            continue
        failed = [r for r in found if r.error]
        results[key] = failed[0] if failed else Result(median(r.real_ms for r in found),
                                                       median(r.cpu_ms for r in found))
    return results


def median(values) -> Optional[float]:
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def ms_text(value: Optional[float]) -> str:
    if value is None:
        return "absent"
    return f"{value:.3g} ms" if value >= 0.1 else f"{value * 1e3:.3g} us"


def row(budget: Budget, results):
    work = results.get(budget.work)
    floor = results.get(budget.floor) if budget.floor else None
    measured = work.ms(budget.time) if work and not work.error else None
    floored = floor.ms(budget.time) if floor and not floor.error else None
    ratio = measured / floored if measured is not None and floored else None
    if budget.max_ms is not None:
        limit = f"<= {budget.max_ms:g} ms"
        judged = measured is not None
        ok = judged and measured <= budget.max_ms
    else:
        limit = f"<= {budget.max_ratio:g} x floor"
        judged = ratio is not None
        ok = judged and ratio <= budget.max_ratio
    if work and work.error:
        status = "error: " + work.error
    elif budget.max_ratio is not None and floor and floor.error:
        status = "floor error: " + floor.error
    else:
        status = ("ok" if ok else "OVER") if judged else "absent"
    time = "" if budget.time == "real_time" else " (cpu)"
    return [
        budget.work + time,
        ("error" if work.error else ms_text(measured)) if work else "absent",
        f"{budget.floor} {'error' if floor and floor.error else ms_text(floored)}" if budget.floor else "-",
        f"{ratio:.2f}" if ratio is not None else "-",
        limit,
        status,
    ], status == "OVER"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", nargs="*", help="Google Benchmark JSON outputs")
    args = parser.parse_args()
    results = load(args.json)
    header = ["work", "measured", "floor", "ratio", "budget", "ok/OVER"]
    rows, over = [], False
    for budget in BUDGETS:
        cells, is_over = row(budget, results)
        rows.append(cells)
        over |= is_over
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]
    for r in [header, ["-" * w for w in widths]] + rows:
        print(" | ".join(cell.ljust(w) for cell, w in zip(r, widths)).rstrip())
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
