#!/usr/bin/env python3
"""Prints the include graph of host/ and the cycles in it.

    scripts/include_graph.py [--dot]

A node is one unit of host/: a .cpp and the .hpp of the same name are one
unit (host/scenes/storyboard). A unit depends on another when one of its
files includes a header of the other ("host/..."), or includes a C header of
include/vxhost and calls a function of it that the other defines: a call
through the C API ties the two units as much as an include does (a C header
included for its types alone ties nothing). Prints one line per unit,
"unit -> dep, dep, ...", then every cycle found (a strongly connected group
of two or more units, or a unit that depends on itself through a C header
it does not define alone). Exits 1 when there is a cycle.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HOST = os.path.join(ROOT, "host")
API = os.path.join(ROOT, "include", "vxhost")

INCLUDE = re.compile(r'^\s*#\s*include\s+"((?:host|vxhost)/[^"]+)"')
# A prototype in a C header: "type name(" at the start of a line.
PROTOTYPE = re.compile(r"^[A-Za-z_][\w \*]*?\b([a-z][A-Za-z0-9_]*)\s*\(")
# A definition in a host file: a line at column 0 naming the function, not a
# declaration (no ';' at its end) and not a comment or directive.
# A name followed by "(": a call (or a definition, which names no other unit).
CALL = re.compile(r"\b([a-z][A-Za-z0-9_]*)\s*\(")
DEFINITION = re.compile(r'^(?:extern "C" )?[A-Za-z_][\w \*:]*?\b([a-z][A-Za-z0-9_]*)\s*\([^;]*$')


def unit_of(path):
    rel = os.path.relpath(path, ROOT)
    return os.path.splitext(rel)[0]


def host_files():
    for folder, _, names in os.walk(HOST):
        for name in sorted(names):
            if name.endswith((".cpp", ".hpp")):
                yield os.path.join(folder, name)


def c_header_functions():
    functions = {}
    for name in sorted(os.listdir(API)):
        if not name.endswith(".h"):
            continue
        with open(os.path.join(API, name), encoding="utf-8") as f:
            for line in f:
                m = PROTOTYPE.match(line)
                if m and not line.startswith(("typedef", "#")):
                    functions.setdefault("vxhost/" + name, set()).add(m.group(1))
    return functions


def main():
    dot = "--dot" in sys.argv[1:]
    files = sorted(host_files())
    headers = c_header_functions()
    # Which unit defines each function of each C header.
    defined_in = {h: {} for h in headers}
    for path in files:
        if not path.endswith(".cpp"):
            continue
        with open(path, encoding="utf-8") as f:
            for line in f:
                if line.startswith(("//", "#", " ", "\t", "}")):
                    continue
                m = DEFINITION.match(line)
                if not m:
                    continue
                for header, names in headers.items():
                    if m.group(1) in names:
                        defined_in[header][m.group(1)] = unit_of(path)

    graph = {}
    for path in files:
        unit = unit_of(path)
        deps = graph.setdefault(unit, set())
        with open(path, encoding="utf-8") as f:
            text = f.read()
        called = set(CALL.findall(text))
        for line in text.splitlines():
            m = INCLUDE.match(line)
            if not m:
                continue
            target = m.group(1)
            if target.startswith("host/"):
                dep = os.path.splitext(target)[0]
                if os.path.exists(os.path.join(ROOT, target)):
                    deps.add(dep)
            else:
                definers = defined_in.get(target, {})
                deps.update(definers[name] for name in called if name in definers)
        deps.discard(unit)

    if dot:
        print("digraph host {")
        for unit in sorted(graph):
            for dep in sorted(graph[unit]):
                print(f'  "{unit}" -> "{dep}";')
        print("}")
    else:
        for unit in sorted(graph):
            print(f"{unit} -> {', '.join(sorted(graph[unit])) or '(nothing)'}")

    # Tarjan's strongly connected components.
    index, low, stack, on_stack, cycles = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in graph:
                continue
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                cycles.append(sorted(group))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)

    out = sys.stderr if dot else sys.stdout
    if cycles:
        for group in cycles:
            print("cycle: " + " <-> ".join(group), file=out)
        return 1
    print("no cycles", file=out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
