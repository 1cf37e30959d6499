#!/usr/bin/env python3
"""Prints "PASSED FAILED SKIPPED" for the JUnit file of one ctest run.

    ctest --preset linux --output-junit results.xml
    tools/ctest-totals.py results.xml

CTest counts a test that could not run at all (its program missing, a fixture
it needs failed, its required files absent) as skipped in the file, while its
own summary calls it failed. Here it is failed too: only tests skipped on
purpose (SKIP_RETURN_CODE, SKIP_REGULAR_EXPRESSION) and disabled tests count as
skipped. Exits 1, printing why, when the file cannot be read or its test cases
do not add up to the suite's totals.
"""

import sys
import xml.etree.ElementTree as ElementTree

SKIPPED_ON_PURPOSE = ("SKIP_RETURN_CODE=", "SKIP_REGULAR_EXPRESSION_MATCHED")


def totals(path):
    suite = ElementTree.parse(path).getroot()
    if suite.tag != "testsuite":
        raise ValueError(f"the root element is <{suite.tag}>, not <testsuite>")
    passed = failed = skipped = 0
    by_status = {"run": 0, "fail": 0, "notrun": 0, "disabled": 0}
    for case in suite.iter("testcase"):
        status = case.get("status")
        if status not in by_status:
            raise ValueError(f"test {case.get('name')} has status {status!r}")
        by_status[status] += 1
        if status == "run":
            passed += 1
        elif status == "disabled":
            skipped += 1
        elif status == "notrun":
            reason = case.find("skipped")
            message = reason.get("message", "") if reason is not None else ""
            if message.startswith(SKIPPED_ON_PURPOSE):
                skipped += 1
            else:
                failed += 1
        else:
            failed += 1

    def attribute(name):
        return int(suite.get(name, "0"))

    expected = {
        "tests": (attribute("tests"), sum(by_status.values())),
        "failures and errors": (attribute("failures") + attribute("errors"), by_status["fail"]),
        "skipped": (attribute("skipped"), by_status["notrun"]),
        "disabled": (attribute("disabled"), by_status["disabled"]),
    }
    for name, (declared, counted) in expected.items():
        if declared != counted:
            raise ValueError(f"the suite declares {declared} {name}, its test cases {counted}")
    return passed, failed, skipped


def main():
    if len(sys.argv) != 2:
        print("usage: ctest-totals.py JUNIT_FILE", file=sys.stderr)
        return 2
    try:
        passed, failed, skipped = totals(sys.argv[1])
    except (OSError, ElementTree.ParseError, ValueError) as error:
        print(f"ctest-totals: {sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    print(passed, failed, skipped)
    return 0


if __name__ == "__main__":
    sys.exit(main())
