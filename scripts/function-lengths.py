#!/usr/bin/env python3
"""Lists the longest function bodies in C++ sources, longest first.

usage: function-lengths.py [--over N] [--top K] FOLDER...

A function is a brace block opened at namespace or class level whose opening line (or the
lines just before it) holds a parameter list; its length counts the lines from the
signature's first line to the closing brace. Comments and strings are blanked first, so
braces inside them do not count. Exits 1 when --over is given and a function is longer.
"""
import argparse
import os
import re
import sys

KEYWORDS = re.compile(r'^\s*(namespace|class|struct|enum|union|extern)\b')
CONTROL = re.compile(r'\b(if|for|while|switch|catch|do|else)\s*(\(|$)')


def blank(text):
    """Comments and string/char literals become spaces; newlines stay."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            if m:
                end = text.find(')' + m.group(1) + '"', i)
                end = n if end < 0 else end + len(m.group(1)) + 2
                out.append(re.sub(r'[^\n]', ' ', text[i:end]))
                i = end
            else:
                out.append(c)
                i += 1
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(c + ' ' * (j - i - 1) + (c if j < n else ''))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def functions(path):
    text = blank(open(path, encoding='utf-8', errors='replace').read())
    lines = text.split('\n')
    # Scopes on the stack: 'ns' (namespace, class, struct, extern), 'fn', or 'block'.
    stack = []
    found = []
    for number, line in enumerate(lines, 1):
        for pos, ch in enumerate(line):
            if ch == '{':
                inside_fn = any(kind == 'fn' for kind, _, _ in stack)
                head = ' '.join(lines[max(0, number - 4):number - 1] + [line[:pos]])
                head = head.split(';')[-1].split('}')[-1]
                if inside_fn:
                    stack.append(('block', number, ''))
                elif KEYWORDS.search(head.split('\n')[-1]) or re.search(
                        r'\b(namespace|class|struct|enum|union)\b[^()]*$', head):
                    stack.append(('ns', number, ''))
                elif ')' in head and not CONTROL.search(head) and '=' not in head.split(')')[-1]:
                    start = number
                    for back in range(number - 1, max(0, number - 4), -1):
                        prev = lines[back - 1].strip()
                        if not prev or prev.endswith((';', '}', '{', ':')) or prev.startswith('#'):
                            break
                        start = back
                    name = re.findall(r'([~\w:]+)\s*\(', head)
                    stack.append(('fn', start, name[0] if name else '?'))
                else:
                    stack.append(('block', number, ''))
            elif ch == '}' and stack:
                kind, start, name = stack.pop()
                if kind == 'fn':
                    found.append((number - start + 1, path, start, name))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('folders', nargs='+')
    parser.add_argument('--over', type=int)
    parser.add_argument('--top', type=int, default=10)
    args = parser.parse_args()
    found = []
    for folder in args.folders:
        for root, _, files in os.walk(folder):
            for f in files:
                if f.endswith(('.cpp', '.h')):
                    found += functions(os.path.join(root, f))
    found.sort(reverse=True)
    if args.over is not None:
        found = [f for f in found if f[0] > args.over]
    else:
        found = found[:args.top]
    for length, path, start, name in found:
        print(f'{length:5d}  {path}:{start}  {name}')
    return 1 if args.over is not None and found else 0

if __name__ == '__main__':
    sys.exit(main())
