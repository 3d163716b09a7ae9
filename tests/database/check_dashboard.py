#!/usr/bin/env python3
"""The shipped Grafana dashboard is valid JSON and asks for what the program
writes: the measurement, both tags and the fields, with the names the line
protocol code uses (read from its source, so a rename there fails here)."""
import json
import re
import sys

dashboard_path, source_path = sys.argv[1], sys.argv[2]
with open(dashboard_path, encoding="utf-8") as f:
    dashboard = json.load(f)
names = dict(re.findall(r'const char (kDb\w+)\[\] = "([^"]*)";', open(source_path, encoding="utf-8").read()))
for key in ("kDbMeasurement", "kDbTagInstrument", "kDbTagChannel", "kDbFieldValue", "kDbFieldStatus", "kDbFieldAlarm"):
    assert key in names, f"{key} not found in {source_path}"

def queries(node):
    if isinstance(node, dict):
        for k, v in node.items():
            if k == "query" and isinstance(v, str):
                yield v
            else:
                yield from queries(v)
    elif isinstance(node, list):
        for v in node:
            yield from queries(v)

all_queries = list(queries(dashboard))
assert all_queries, "no queries"
failures = []
for q in all_queries:
    if f'"{names["kDbMeasurement"]}"' not in q:
        failures.append(f"does not read the measurement: {q}")
    for ident in re.findall(r'"(\w+)"', q):
        if ident not in names.values() and not q.upper().startswith("SHOW") and ident not in ("Time",):
            # an alias (AS "status") is one of ours too
            failures.append(f"names {ident!r}, which the program does not write: {q}")
text = " ".join(all_queries)
for key in names:
    if f'"{names[key]}"' not in text:
        failures.append(f"no query names {names[key]!r}")

panels = dashboard["panels"]
series = [p for p in panels if p["type"] == "timeseries"]
assert series and all(p.get("repeat") == "instrument" for p in series), "a chart per instrument"
assert any('GROUP BY time($__interval), "channel"' in t["query"] for p in series for t in p["targets"]), \
    "the chart draws every channel (T and T1 to T8) as its own line"
assert any(p["type"] == "table" and 'GROUP BY "instrument"' in p["targets"][0]["query"] for p in panels), \
    "a table of instruments last seen"
assert any('"alarm" <> 0' in a["query"] for a in dashboard["annotations"]["list"]), "alarm marks"
assert dashboard["__inputs"][0]["pluginId"] == "influxdb"
if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"{dashboard_path}: {len(all_queries)} queries, all on what the program writes")
