#!/usr/bin/python3
"""Measures how many small faults the unit tests catch (a sampled mutation score).

Draws a fixed sample of one-line changes to the program's .cpp files (a comparison
flipped, a +1/-1 added or dropped, a condition negated, a statement deleted, a constant
changed), a share per folder in proportion to its code lines. The sample depends only on
the seed and the program's sources, never on tests/, so two versions of the suite meet
the same mutants. Each mutant is built into the test programs of its folder (those its
tests/ CMakeLists.txt declares), which then run; the file is put back byte for byte. A
failing, crashing or hanging run kills the mutant; one that does not build is not viable
and left out of the rate. Results go to --out after every mutant. --only-killed FILE
runs only the mutants killed in an earlier result and keeps its verdicts for the rest
(fewer tests catch no more); --resume keeps the verdicts already in --out. --folder F
(repeatable) tries only the mutants of those folders, for a change to their tests alone; with
--only-killed the other folders' verdicts are carried over, so the summary stays whole.
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ["toolkit/text", "toolkit/files", "toolkit/picture", "toolkit/metafile",
           "toolkit/controls", "main_window", "picture_viewer", "text_window"]
MIN_PER_FOLDER = 5
FLIP = {"==": "!=", "!=": "==", "<": ">=", "<=": ">", ">": "<=", ">=": "<"}
CMP = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")
OPERAND = r"[A-Za-z_]\w*(?:(?:\.|->|::)\w+)*(?:\(\))?|\d+"
CMP_OPERAND = re.compile(r"(?<=\s)(?:==|!=|<=|>=|<|>)\s(" + OPERAND + r")(?=\s*(?:\)|;|&&|\|\||\?|,|$))")
DROP_ONE = re.compile(r"(?<=[\w)\]]) [+-] 1(?![\w.'])")
CONDITION = re.compile(r"\b(?:if|while) \(")
NUMBER = re.compile(r"(?<![\w.'])(\d+(?:\.\d+)?)(?:[uUlLfF]*)(?![\w.'])")
STATEMENT = re.compile(r"^(?:\+\+|--)?[A-Za-z_][\w:.\->\[\]()*]*(?:\s*[-+*/|&^]?=\s.*|\(.*\)|\+\+|--)?;$")
DECLARATION = re.compile(r"^(?:const\s+)?[\w:]+(?:<.*>)?[*&]*\s+[*&]?\w+\s*(?:[({=;\[]|$)")
KEYWORDS = re.compile(r"^(?:return|break|continue|goto|case|default|using|typedef|delete|throw|"
                      r"co_\w+|static_assert|Q_UNUSED|Q_ASSERT|assert|Q_OBJECT|namespace)\b")
TOKENS = re.compile(r"(\d(?:'?\w)*)|//[^\n]*|/\*.*?\*/|\"(?:\\.|[^\"\\\n])*\"|'(?:\\.|[^'\\\n])*'",
                    re.S)
SKIP_LINE = re.compile(r"\bstatic_assert\b|\bcase\b|^\s*#|^\s*(?:template|enum)\b")


def mask(text):
    """Blanks comments (to spaces) and literal contents (to \\x01), keeping every offset."""
    def blank(m):
        token = m.group(0)
        if m.group(1) is not None:
            return token
        if token[0] == "/":
            return re.sub(r"[^\n]", " ", token)
        return token[0] + "\x01" * (len(token) - 2) + token[-1]
    return TOKENS.sub(blank, text)


def closing_paren(line, start):
    depth = 0
    for i in range(start, len(line)):
        depth += {"(": 1, ")": -1}.get(line[i], 0)
        if depth == 0:
            return i
    return -1


def line_mutants(code, orig, prev_code):
    """Yields (kind, mutated line) for one line; code is the masked line."""
    body = code.strip()
    if not body or SKIP_LINE.search(code):
        return
    for m in CMP.finditer(code):
        yield "flip-comparison", orig[:m.start()] + FLIP[m.group(1)] + orig[m.end():]
    for m in DROP_ONE.finditer(code):
        yield "off-by-one", orig[:m.start()] + orig[m.end():]
    for m in CMP_OPERAND.finditer(code):
        if m.group(1) not in ("nullptr", "true", "false") and "::" not in m.group(1):
            yield "off-by-one", orig[:m.end()] + " + 1" + orig[m.end():]
    for m in CONDITION.finditer(code):
        open_at = m.end() - 1
        close = closing_paren(code, open_at)
        cond = code[open_at + 1:close]
        if close > 0 and ";" not in cond and not re.search(r"(?<![=!<>])=(?!=)", cond) \
                and not cond.startswith("constexpr"):
            yield "negate-condition", (orig[:open_at + 1] + "!(" + orig[open_at + 1:close] + ")"
                                       + orig[close:])
    if (STATEMENT.match(body) and not DECLARATION.match(body) and not KEYWORDS.match(body)
            and body.count("(") == body.count(")") and prev_code.endswith((";", "{", "}"))):
        yield "delete-statement", orig[:len(orig) - len(orig.lstrip())]
    for m in NUMBER.finditer(code):
        text = m.group(1)
        if "." in text:
            new = repr(float(text) + 1.0)
        else:
            new = {"0": "1", "1": "0"}.get(text, str(int(text) + 1))
        yield "change-constant", orig[:m.start(1)] + new + orig[m.end(1):]


def candidates(folder):
    """All mutation sites of a folder's .cpp files and its count of code lines."""
    sites, code_lines = [], 0
    for path in sorted((ROOT / folder).glob("*.cpp")):
        text, prev = path.read_text(encoding="utf-8"), ""
        for number, (code, orig) in enumerate(zip(mask(text).split("\n"), text.split("\n")), 1):
            if not code.strip():
                continue
            code_lines += 1
            sites += [{"file": str(path.relative_to(ROOT)), "line": number, "kind": kind,
                       "original": orig, "mutated": mutated}
                      for kind, mutated in line_mutants(code, orig, prev) if mutated != orig]
            prev = code.strip()
    return sites, code_lines


def draw_sample(seed, count):
    found = {folder: candidates(folder) for folder in FOLDERS}
    total = sum(lines for _, lines in found.values())
    spare = count - MIN_PER_FOLDER * len(FOLDERS)
    shares = {f: spare * found[f][1] / total for f in FOLDERS}
    quota = {f: MIN_PER_FOLDER + int(shares[f]) for f in FOLDERS}
    by_remainder = sorted(FOLDERS, key=lambda f: int(shares[f]) - shares[f])
    for f in by_remainder[:count - sum(quota.values())]:
        quota[f] += 1
    rng = random.Random(seed)
    sample = []
    for folder in FOLDERS:
        sites = found[folder][0]
        for _ in range(quota[folder]):
            kinds = sorted({s["kind"] for s in sites})
            if not kinds:
                break
            kind = rng.choice(kinds)
            site = rng.choice([s for s in sites if s["kind"] == kind])
            sites = [s for s in sites if (s["file"], s["line"]) != (site["file"], site["line"])]
            sample.append(dict(site, folder=folder))
    rng.shuffle(sample)
    for number, mutant in enumerate(sample, 1):
        mutant["id"] = number
    return sample


def test_programs(folder):
    cmake = (ROOT / "tests" / folder / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.findall(r"^\s*ostrel_add_(?:picture_)?gtest\(\s*(\w+)", cmake, re.M)


def find_binary(build, name):
    return min(p for p in (build / "tests").rglob(name) if p.is_file() and os.access(p, os.X_OK))


def build(build_dir, targets):
    run = subprocess.run(["cmake", "--build", str(build_dir), "--target", *targets, "-j1"],
                         capture_output=True, text=True)
    return run.returncode == 0, run.stdout[-3000:]


def run_tests(build_dir, targets, timeouts, env):
    """Runs the test programs; returns the failures (empty when all passed) and the times."""
    failures, times = [], {}
    for name in targets:
        binary = find_binary(build_dir, name)
        start = time.monotonic()
        proc = subprocess.Popen([str(binary), "--gtest_brief=1"], cwd=binary.parent, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                errors="replace", start_new_session=True)
        try:
            output, _ = proc.communicate(timeout=timeouts.get(name, 600))
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            failures.append(f"{name}: timeout")
            continue
        finally:
            times[name] = round(time.monotonic() - start, 1)
        failed = sorted(set(re.findall(r"^\[  FAILED  \] (\S+?)(?:,| \(|$)", output, re.M)))
        failures += [f"{name}: {test}" for test in failed]
        if proc.returncode and not failed:
            failures.append(f"{name}: exit {proc.returncode}")
    return failures, times


class RestoreError(RuntimeError):
    pass


def restore(path, original):
    path.write_bytes(original)
    if subprocess.run(["git", "-C", str(ROOT), "diff", "--quiet", "--", str(path)]).returncode:
        raise RestoreError(f"{path} differs from the commit after its restore")


def try_mutant(mutant, build_dir, timeouts, env, known):
    path = ROOT / mutant["file"]
    original = path.read_bytes()
    lines = original.decode("utf-8").split("\n")
    if lines[mutant["line"] - 1] != mutant["original"]:
        return {"status": "error", "failures": ["source line differs from the sample"]}
    lines[mutant["line"] - 1] = mutant["mutated"]
    targets = test_programs(mutant["folder"])
    start = time.monotonic()
    try:
        path.write_bytes("\n".join(lines).encode("utf-8"))
        built, log = build(build_dir, targets)
        build_time = round(time.monotonic() - start, 1)
        if not built:
            return {"status": "not-viable", "build_s": build_time, "build_log": log[-1500:]}
        failures, times = run_tests(build_dir, targets, timeouts, env)
        failures = [f for f in failures if f not in known]
        return {"status": "killed" if failures else "survived", "failures": failures,
                "build_s": build_time, "test_s": times}
    finally:
        restore(path, original)


def summary(mutants):
    done = [m for m in mutants if m.get("status") in ("killed", "survived", "not-viable")]
    killed = sum(m["status"] == "killed" for m in done)
    viable = sum(m["status"] != "not-viable" for m in done)
    rate = 100.0 * killed / viable if viable else 0.0
    return (f"killed {killed} of {viable} viable mutants ({rate:.1f}%), "
            f"{len(done) - viable} not viable")


def save(out, meta, mutants):
    tmp = out.with_suffix(".tmp")
    tmp.write_text(json.dumps(dict(meta, summary=summary(mutants), mutants=mutants), indent=1))
    os.replace(tmp, out)


def key(m):
    return (m["file"], m["line"], m["kind"], m["mutated"])


def stop(*_):
    raise KeyboardInterrupt()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", default=str(ROOT / "build"))
    parser.add_argument("--seed", type=int, default=20261209)
    parser.add_argument("--count", type=int, default=150)
    parser.add_argument("--only", type=int, help="try only the first N mutants")
    parser.add_argument("--out", default="mutation.json")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--resume", action="store_true")
    parser.add_argument("--only-killed", metavar="FILE")
    parser.add_argument("--folder", action="append", choices=FOLDERS,
                        help="try only this folder's mutants (repeatable)")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, stop)

    sample = draw_sample(args.seed, args.count)
    if args.list:
        for m in sample:
            print(f"{m['id']:4} {m['file']}:{m['line']} {m['kind']}: {m['original'].strip()}"
                  f"  ->  {m['mutated'].strip()}")
        return 0
    if args.only:
        sample = sample[:args.only]
    out = Path(args.out)
    earlier_run = json.loads(out.read_text()) if args.resume and out.exists() else {}
    earlier = {key(m): m for m in earlier_run.get("mutants", [])}
    killed_run = json.loads(Path(args.only_killed).read_text()) if args.only_killed else {}
    previous = {key(m): m for m in killed_run.get("mutants", [])}

    build_dir = Path(args.build_dir).resolve()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    cache = (build_dir / "CMakeCache.txt").read_text()
    corpus = re.search(r"^OSTREL_CORPUS_DIR:\w+=(.*)$", cache, re.M)
    if corpus:
        env["OSTREL_CORPUS"] = corpus.group(1)
    folders = args.folder or FOLDERS
    all_targets = sorted({t for f in folders for t in test_programs(f)})
    built, log = build(build_dir, all_targets)
    if not built:
        sys.exit("the unchanged sources do not build:\n" + log)
    if "baseline_test_s" in earlier_run:
        base_failures, base_times = earlier_run["baseline_failures"], earlier_run["baseline_test_s"]
    else:
        base_failures, base_times = run_tests(build_dir, all_targets, {}, env)
    if base_failures:
        print("failing before any change (not counted):", *base_failures, sep="\n  ")
    timeouts = {t: max(60.0, 4 * s) for t, s in base_times.items()}
    commit = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "HEAD"], capture_output=True,
                            text=True).stdout.strip()
    meta = {"seed": args.seed, "count": args.count, "commit": commit,
            "baseline_test_s": base_times, "baseline_failures": base_failures,
            "only_killed": args.only_killed}
    results = [dict(m, status="pending") for m in sample]
    for result in results:
        if key(result) in earlier and earlier[key(result)]["status"] not in ("pending", "skipped"):
            result.update(earlier[key(result)])
            continue
        before = previous.get(key(result), {"status": "pending"})
        if result["folder"] not in folders:
            result.update(before if args.only_killed else {"status": "skipped"}, carried=True)
            continue
        if args.only_killed and before["status"] != "killed":
            result.update(status=before["status"], carried=True)
            continue
        start = time.monotonic()
        try:
            result.update(try_mutant(result, build_dir, timeouts, env, set(base_failures)))
        except (KeyboardInterrupt, RestoreError):
            save(out, meta, results)
            raise
        except Exception as error:  # one broken mutant must not end the run
            result.update(status="error", failures=[repr(error)])
        result["total_s"] = round(time.monotonic() - start, 1)
        print(f"{result['id']:4} {result['status']:10} {result['total_s']:6}s "
              f"{result['file']}:{result['line']} {result['kind']}", flush=True)
        save(out, meta, results)
    save(out, meta, results)
    print(summary(results))
    return 0


if __name__ == "__main__":
    sys.exit(main())
