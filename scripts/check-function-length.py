#!/usr/bin/env python3
"""Checks that no function in tools/ is longer than 60 lines.

Usage: scripts/check-function-length.py [--max N] [FILE...]
       (default: every tools/**/*.cpp and tools/**/*.h; exit status 0 when none is too long, 1 when
       one is, with each such function listed as FILE:LINE: NAME is N lines)

The rule: a function's length is the number of lines from the line of its body's opening brace to
the line of the matching closing brace, both counted ({ and } on one line: 1 line). The signature
above the brace and the comments before it are not counted; everything inside the braces is: blank
lines, comments, local classes, and lambdas, which count toward the function that holds them. A
lambda or a function outside any function (one in a namespace-scope variable's initializer, say) is
measured on its own. LINE in the report is the line of the opening brace.

The scanner matches braces over the source with comments, string literals (raw ones too),
character literals and preprocessor lines left out; a digit separator (20'000) is no character
literal. A block opened outside a function is a function body when the brace follows the closing
parenthesis of a parameter list, a qualifier after it (const, noexcept, override, final, mutable,
&, &&), a trailing return type, or a constructor's member initializers; a namespace, class, struct,
union, enum or extern "C" block is looked into; any other block (an initializer) is skipped.
Python 3 only, no other packages.
"""

import argparse
import os
import re
import sys

MAX_LINES = 60

TRAILERS = {"const", "noexcept", "override", "final", "mutable", "volatile", "&", "&&", "try"}
SCOPE_KEYWORDS = {"class", "struct", "union", "enum"}
PUNCTUATION = sorted(
    ["::", "->", "==", "!=", "<=", ">=", "&&", "||", "<<", ">>", "+=", "-=", "*=", "/=", "%=", "&=", "|=",
     "^=", "++", "--", "..."],
    key=len, reverse=True)
STRING_PREFIX = re.compile(r"(u8|u|U|L)?R?$")


def tokens(text):
    """Yields (kind, value, line) for the source `text`: kind is 'id', 'num', 'str' or 'punct'."""
    i, line, n = 0, 1, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "#" and at_line_start:  # a preprocessor line, with its continuations
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    line += 1
                    i += 1
                elif text.startswith("/*", i):
                    end = text.find("*/", i + 2)
                    end = n if end < 0 else end + 2
                    line += text.count("\n", i, end)
                    i = end
                    continue
                i += 1
            continue
        at_line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        if c.isalpha() or c == "_":
            j = i
            while j < n and (text[j].isalnum() or text[j] == "_"):
                j += 1
            word = text[i:j]
            if j < n and text[j] in "\"'" and STRING_PREFIX.match(word):
                i = j
                if text[j] == '"' and word.endswith("R"):
                    i, line = raw_string(text, j, line)
                    yield "str", "", line
                    continue
                # an ordinary string or character literal with a prefix: read below
                c = text[i]
            else:
                yield "id", word, line
                i = j
                continue
        if c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            j = i + 1
            while j < n:
                d = text[j]
                if d.isalnum() or d in "._":
                    j += 1
                elif d == "'" and j + 1 < n and text[j + 1].isalnum():  # a digit separator
                    j += 1
                elif d in "+-" and text[j - 1] in "eEpP" and not text[i:i + 2].lower() == "0x":
                    j += 1  # an exponent's sign
                elif d in "+-" and text[j - 1] in "pP":
                    j += 1  # a hexadecimal exponent's sign
                else:
                    break
            yield "num", text[i:j], line
            i = j
            continue
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                if text[j] == "\\":
                    j += 1
                elif text[j] == "\n":  # an unterminated literal: stop at the line's end
                    break
                j += 1
            yield "str", "", line
            i = j + 1
            continue
        for p in PUNCTUATION:
            if text.startswith(p, i):
                yield "punct", p, line
                i += len(p)
                break
        else:
            yield "punct", c, line
            i += 1


def raw_string(text, quote, line):
    """Skips the raw string literal whose '"' is at `quote`; returns the index after it and the line."""
    open_paren = text.find("(", quote)
    delimiter = text[quote + 1:open_paren]
    end = text.find(")" + delimiter + '"', open_paren)
    end = len(text) if end < 0 else end + len(delimiter) + 2
    return end, line + text.count("\n", quote, end)


def paren_depth(head):
    depth = 0
    for kind, value, _ in head:
        if kind == "punct" and value in "([":
            depth += 1
        elif kind == "punct" and value in ")]":
            depth -= 1
    return depth


def top_level(head):
    """The tokens of `head` outside parentheses and brackets."""
    depth, result = 0, []
    for token in head:
        kind, value, _ = token
        if kind == "punct" and value in ")]":
            depth -= 1
        if depth == 0:
            result.append(token)
        if kind == "punct" and value in "([":
            depth += 1
    return result


def function_name(head):
    """The (qualified) name before the parameter list in `head`, for the report."""
    depth = 0
    for index, (kind, value, _) in enumerate(head):
        if kind == "punct" and value == "(":
            if depth == 0 and index > 0:
                if head[index - 1][1] == "]":
                    return "a lambda"
                k = index - 1
                if head[k][0] == "id":
                    name = [head[k][1]]
                    while k >= 2 and head[k - 1][1] == "::" and head[k - 2][0] == "id":
                        name[:0] = [head[k - 2][1], "::"]
                        k -= 2
                    if k >= 1 and head[k - 1][1] == "~":
                        name.insert(0, "~")
                    return "".join(name)
            depth += 1
        elif kind == "punct" and value == ")":
            depth -= 1
    return "a function"


def block_kind(head, inits_open):
    """What the block opened after `head` (the tokens since the last declaration ended) is:
    'function', 'scope' (a namespace, class or linkage block, looked into), or 'other'."""
    if not head:
        return "other"
    last = head[-1][1]
    if paren_depth(head) > 0:  # in parentheses: a lambda ([...] {, ) {), or a braced value (= {}, T{})
        return "function" if last in (")", "]") or last in TRAILERS or "->" in [v for _, v, _ in head] else "other"
    level = top_level(head)
    words = [value for kind, value, _ in level if kind == "id"]
    if last == ")" or (last in TRAILERS and "(" in [v for _, v, _ in head]):
        return "function"
    if inits_open:
        return "function" if last in (")", "}") else "other"
    if "namespace" in words or (words[:1] == ["extern"] and len(level) == 2 and level[1][0] == "str"):
        return "scope"
    if SCOPE_KEYWORDS & set(words) and "=" not in [v for _, v, _ in level]:
        return "scope"
    if "->" in [v for _, v, _ in level] and "(" in [v for _, v, _ in head]:
        return "function"
    return "other"


def constructor_inits(head):
    """True when `head` ends in a constructor's member initializers: ') :' at the top level."""
    level = top_level(head)
    for k in range(1, len(level)):
        if level[k][1] == ":" and level[k - 1][1] == ")":
            return True
    return False


def long_functions(path, limit):
    """(line, name, length) of every function in the file at `path` longer than `limit` lines."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    found = []
    stack = []  # per open brace: 'scope', 'other', or ('function', open line, name)
    head = []
    depth_in_function = None  # the stack depth of the outermost open function body
    for kind, value, line in tokens(text):
        if depth_in_function is not None:
            if value == "{" and kind == "punct":
                stack.append("inner")
            elif value == "}" and kind == "punct":
                top = stack.pop()
                if len(stack) == depth_in_function:
                    _, opened, name = top
                    if line - opened + 1 > limit:
                        found.append((opened, name, line - opened + 1))
                    depth_in_function = None
                    head = []
            continue
        if kind == "punct" and value == "{":
            what = block_kind(head, constructor_inits(head))
            if what == "function":
                stack.append(("function", line, function_name(head)))
                depth_in_function = len(stack) - 1
            elif what == "scope":
                stack.append("scope")
                head = []
            else:
                stack.append("other")
                head.append((kind, value, line))
            continue
        if kind == "punct" and value == "}":
            if not stack:
                raise ValueError(f"line {line}: a '}}' without its '{{'")
            top = stack.pop()
            if top == "other":
                head.append((kind, value, line))
            else:
                head = []
            continue
        if kind == "punct" and value == ";" and not (stack and stack[-1] == "other"):
            head = []
            continue
        if stack and stack[-1] == "other":
            head.append((kind, value, line))
            continue
        if kind == "punct" and value == ":" and head and head[-1][1] in ("public", "private", "protected"):
            head = []
            continue
        head.append((kind, value, line))
    if stack:
        raise ValueError("a '{' without its '}' at the end of the file")
    return found


def tool_sources(root):
    for folder, _, files in sorted(os.walk(os.path.join(root, "tools"))):
        for name in sorted(files):
            if name.endswith((".cpp", ".h")):
                yield os.path.join(folder, name)


def main():
    parser = argparse.ArgumentParser(description="Lists every function in tools/ longer than the cap.")
    parser.add_argument("--max", type=int, default=MAX_LINES, help="the cap in lines (default 60)")
    parser.add_argument("files", nargs="*", help="the files to check (default: tools/**/*.cpp, *.h)")
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = args.files or list(tool_sources(root))
    too_long, unread = [], []
    for path in files:
        shown = os.path.relpath(path, root) if not args.files else path
        try:
            for line, name, length in long_functions(path, args.max):
                too_long.append(f"{shown}:{line}: {name} is {length} lines")
        except ValueError as e:  # the scanner lost its way: say so rather than pass the file
            unread.append(f"{shown}: the braces do not match ({e}), so its functions are not measured")
    for entry in too_long:
        print(f"check-function-length: {entry} (at most {args.max})", file=sys.stderr)
    for entry in unread:
        print(f"check-function-length: {entry}", file=sys.stderr)
    if too_long or unread:
        print(f"check-function-length: {len(too_long)} function(s) over {args.max} lines"
              + (f", {len(unread)} file(s) not measured" if unread else ""), file=sys.stderr)
        return 1
    print(f"check-function-length: every function in tools/ has at most {args.max} lines ({len(files)} files)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
