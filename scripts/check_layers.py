#!/usr/bin/env python3
# Reads every #include under src/ and fails when the layers written in CONTRIBUTING.md are
# broken:
# - a module includes a module of its own layer or one above it (the order is the list under
#   "Layer order", lowest first; modules on one line share a layer);
# - a file that is not a platform back-end includes a back-end header (a path with a posix/,
#   linux/ or win32/ folder, or a name ending in _posix, _linux or _win32);
# - a file includes another module's internal header (a name ending in _impl);
# - a core header that is not a back-end reaches, through the headers it includes, a header
#   that is neither the standard library's nor the project's (<windows.h>, <unistd.h>, ...).
#
#   check_layers.py [ROOT]   (default: the folder above this script)

import re, sys
from pathlib import Path

ROOT = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent
SRC = ROOT / "src"
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
STANDARD = set("""algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv chrono cinttypes
climits clocale cmath compare complex concepts condition_variable csignal cstdarg cstddef cstdint cstdio cstdlib
cstring ctime cwchar cwctype deque exception execution filesystem format forward_list fstream functional future
initializer_list iomanip ios iosfwd iostream istream iterator limits list locale map memory memory_resource mutex
new numbers numeric optional ostream queue random ranges ratio regex scoped_allocator set shared_mutex source_location
span sstream stack stdexcept stop_token streambuf string string_view system_error thread tuple type_traits typeindex
typeinfo unordered_map unordered_set utility valarray variant vector version""".split())


def layers():
    text = (ROOT / "CONTRIBUTING.md").read_text(encoding="utf-8")
    block = re.search(r"<!-- layer order -->\s*```text\n(.*?)```", text, re.DOTALL)
    if not block:
        sys.exit("check_layers: CONTRIBUTING.md has no layer order block")
    rank = {}
    for level, line in enumerate(l for l in block.group(1).splitlines() if l.strip()):
        for module in line.split(","):
            rank[module.strip()] = level
    return rank


def module_of(relative):
    parts = relative.split("/")
    return "/".join(parts[:2]) if parts[0] in ("core", "ui") and len(parts) > 2 else parts[0]


def back_end(relative):
    path = Path(relative)
    return bool({"posix", "linux", "win32"} & set(path.parts[:-1])) or path.stem.endswith(
        ("_posix", "_linux", "_win32"))


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace"))


def main():
    rank = layers()
    problems = []
    files = sorted(p for p in SRC.rglob("*") if p.suffix in (".cpp", ".hpp", ".h", ".c"))
    for path in files:
        relative = path.relative_to(SRC).as_posix()
        module = module_of(relative)
        if module not in rank:
            problems.append(f"{relative}: module {module} is not in CONTRIBUTING.md's layer order")
            continue
        for kind, target in includes(path):
            if kind != '"' or not (SRC / target).exists():
                continue
            other = module_of(target)
            if other != module:
                if other not in rank:
                    problems.append(f"{relative}: includes {target}, of {other}, which has no layer")
                elif rank[other] >= rank[module]:
                    problems.append(f"{relative}: includes {target}, but {other} is not below {module}")
                if Path(target).stem.endswith("_impl"):
                    problems.append(f"{relative}: includes {target}, internal to {other}")
            if back_end(target) and not back_end(relative):
                problems.append(f"{relative}: includes the back-end header {target}")

    def reach(relative, seen):
        # The system headers a header brings along, through the project's headers it includes.
        found = set()
        for kind, target in includes(SRC / relative):
            if kind == '"' and (SRC / target).exists():
                if target not in seen:
                    seen.add(target)
                    found |= reach(target, seen)
            elif target.split("/")[0] not in STANDARD and target not in STANDARD:
                found.add(target)
        return found

    for path in files:
        relative = path.relative_to(SRC).as_posix()
        if relative.startswith("core/") and path.suffix == ".hpp" and not back_end(relative) \
                and not path.stem.endswith("_impl"):
            for header in sorted(reach(relative, {relative})):
                problems.append(f"{relative}: brings the system header <{header}> to whoever includes it")

    for problem in problems:
        print(problem)
    print(f"check_layers: {len(files)} files, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
