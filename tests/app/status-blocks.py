#!/usr/bin/env python3
"""The stream a printer that talks back receives: the app's own PJL blocks
(UEL, "@PJL" lines ending in CR LF, UEL) before and after the filter's
stream, which sits between them byte for byte.
Usage: status-blocks.py RECEIVED FILTER_STREAM  (exit 1, saying why, when not)"""
import re
import sys

BLOCK = re.compile(rb"\x1b%-12345X(?:@PJL[\x20-\x7e\x80-\xff]*\r\n)+\x1b%-12345X")


def main(received_path, filter_path):
    received = open(received_path, "rb").read()
    stream = open(filter_path, "rb").read()
    opening = BLOCK.match(received)
    if not opening:
        return "no PJL block of the app's before the job"
    rest = received[opening.end():]
    if not rest.startswith(stream):
        return "the bytes after the opening block are not the filter's stream"
    rest = rest[len(stream):]
    closing = 0
    while rest:
        block = BLOCK.match(rest)
        if not block:
            return "%d bytes after the filter's stream are not a PJL block" % len(rest)
        rest = rest[block.end():]
        closing += 1
    if closing < 2:
        return "%d PJL blocks after the job; the closing block and the one that ends status are due" % closing
    return None


if __name__ == "__main__":
    problem = main(*sys.argv[1:3])
    if problem:
        print("  " + problem)
        sys.exit(1)
