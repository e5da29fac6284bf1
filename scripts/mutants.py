#!/usr/bin/env python3
"""The mutator and test runner behind scripts/mutants.

  mutants.py list TREE SEED COUNT          the sample: id, file:line, before, after
  mutants.py apply TREE SEED COUNT ID      writes mutant ID into TREE, prints its file
  mutants.py ctest BUILD LOG [ARGS...]     runs ctest ARGS, stopping at the first failure
"""
import os
import re
import signal
import subprocess
import sys
from pathlib import Path

# Log statements only change what a line of the log says; we mutate behaviour.
LOG_CALL = re.compile(r'^\s*(LogToFile|LogToView|WriteLogFile|q(Debug|Info|Warning|Critical))\s*\(')
# Compile-time or no-op macros: dropping them changes nothing that runs.
NOT_A_CALL = re.compile(r'^(Q_[A-Z_]+|static_assert|return|delete|throw|sizeof|if|for|while|switch)$')
COMPARISON = re.compile(r'(?<=\s)(<=|>=|<|>)(?=\s)|(==|!=)')
FLIP = {'<': '<=', '<=': '<', '>': '>=', '>=': '>', '==': '!=', '!=': '=='}
INTEGER = re.compile(r'(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.])')
BARE_CALL = re.compile(r'^(\s*)(emit\s+)?([A-Za-z_][\w:]*(\s*(\.|->)\s*[A-Za-z_]\w*)*)\s*\((.*)\)\s*;\s*$')


def blank(text):
    """The text with comments and the insides of string and character literals
    turned to spaces, so that only code is left where it was."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(c + re.sub(r'[^\n]', ' ', text[i + 1:j]) + c)
            i = j + 1
            continue
        else:
            out.append(c)
            i += 1
            continue
        out.append(re.sub(r'[^\n]', ' ', text[i:j]))
        i = j
    return ''.join(out)


def balanced(code):
    return code.count('(') == code.count(')')


def matching_paren(code, start):
    depth = 0
    for k in range(start, len(code)):
        depth += {'(': 1, ')': -1}.get(code[k], 0)
        if depth == 0:
            return k
    return -1


def sites_of(path, rel):
    """Every mutation site of one file, in line order: (rel, line, col, old, new)."""
    lines = path.read_text(encoding='utf-8').split('\n')
    sites, log_depth, previous = [], 0, ';'
    for no, c in enumerate(blank('\n'.join(lines)).split('\n'), 1):
        stripped = c.strip()
        if log_depth > 0 or LOG_CALL.match(c):
            log_depth += c.count('(') - c.count(')')
        elif stripped and not stripped.startswith('#'):
            sites += line_sites(rel, no, lines[no - 1], c, previous)
        if stripped:
            previous = stripped
    return sites


def line_sites(rel, no, line, c, previous):
    """The sites of one line: its text and its code (literals blanked), and
    the code line before it."""
    sites = []
    for m in COMPARISON.finditer(c):
        op = m.group(0)
        sites.append((rel, no, m.start(), op, FLIP[op]))
    for m in re.finditer(r'\bif\s*\(', c):
        close = matching_paren(c, m.end() - 1)
        if close > 0:
            cond = line[m.end():close]
            sites.append((rel, no, m.end(), cond, '!(' + cond + ')'))
    for m in INTEGER.finditer(c):
        digits, suffix = m.group(1), m.group(2)
        if digits[:2].lower() == '0x':
            case = 'x' if digits[2:].islower() else 'X'
            bumped = digits[:2] + format(int(digits, 16) + 1, f'0{len(digits) - 2}{case}')
        else:
            bumped = str(int(digits) + 1)
        sites.append((rel, no, m.start(), digits + suffix, bumped + suffix))
    call = BARE_CALL.match(c)
    # Only a whole statement: the line before ended one, opened or closed a
    # block, was a label, an else, or the head of an if/for/while without braces.
    whole = previous[-1] in ';{}:' or re.match(r'^(\}\s*)?(else\b|(if|for|while)\s*\()', previous)
    if call and whole and balanced(c) and not NOT_A_CALL.match(call.group(3)):
        indent = len(call.group(1))
        sites.append((rel, no, indent, line[indent:].rstrip(), ';'))
    return sites


def all_sites(tree):
    """Every site under src/ in a fixed order: sorted files, then line order.
    The Windows halves of platform/ are not built here, so they are left out."""
    found = []
    for path in sorted((tree / 'src').rglob('*')):
        if path.suffix in ('.cpp', '.h') and not path.stem.endswith('_win'):
            found += sites_of(path, str(path.relative_to(tree)))
    return found


def sample(tree, seed, count):
    """COUNT sites picked by a seeded partial Fisher-Yates shuffle (splitmix64,
    so a seed picks the same sample on any Python)."""
    sites, state = all_sites(tree), seed & (2**64 - 1)

    def next_random():
        nonlocal state
        state = (state + 0x9E3779B97F4A7C15) & (2**64 - 1)
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & (2**64 - 1)
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & (2**64 - 1)
        return z ^ (z >> 31)

    order = list(range(len(sites)))
    for k in range(min(count, len(sites))):
        j = k + next_random() % (len(sites) - k)
        order[k], order[j] = order[j], order[k]
    return [sites[i] for i in order[:count]], len(sites)


def mutated_line(tree, site):
    rel, no, col, old, new = site
    line = (tree / rel).read_text(encoding='utf-8').split('\n')[no - 1]
    assert line[col:col + len(old)] == old, (rel, no)
    return line, line[:col] + new + line[col + len(old):]


def cmd_list(tree, seed, count):
    picked, total = sample(tree, seed, count)
    print(f'# {len(picked)} of {total} sites, seed {seed}')
    for i, site in enumerate(picked, 1):
        before, after = mutated_line(tree, site)
        print(f'{i}\t{site[0]}:{site[1]}\t{before.strip()}\t{after.strip()}')


def cmd_apply(tree, seed, count, ident):
    site = sample(tree, seed, count)[0][ident - 1]
    path = tree / site[0]
    lines = path.read_text(encoding='utf-8').split('\n')
    lines[site[1] - 1] = mutated_line(tree, site)[1]
    path.write_text('\n'.join(lines), encoding='utf-8')
    print(site[0])


RESULT = re.compile(r'^\s*\d+/\d+ Test +#\d+: (\S+) \.*\s*(.*)$')


def cmd_ctest(build, log, args):
    """Runs ctest in its own process group and ends the whole group at the
    first failed test, as ctest itself would wait for the running ones.
    Prints 'passed', or 'failed NAME' / 'timeout NAME'."""
    with open(log, 'a', encoding='utf-8') as out:
        proc = subprocess.Popen(['ctest', *args], cwd=build, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, start_new_session=True)
        verdict = None
        for line in proc.stdout:
            out.write(line)
            m = RESULT.match(line)
            if m and 'Passed' not in m.group(2):
                verdict = ('timeout ' if 'Timeout' in m.group(2) else 'failed ') + m.group(1)
                os.killpg(proc.pid, signal.SIGTERM)
                break
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        if verdict is None and proc.returncode != 0:
            verdict = 'failed ctest'
    print(verdict or 'passed')


if __name__ == '__main__':
    what = sys.argv[1]
    if what == 'list':
        cmd_list(Path(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]))
    elif what == 'apply':
        cmd_apply(Path(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]))
    elif what == 'ctest':
        cmd_ctest(sys.argv[2], sys.argv[3], sys.argv[4:])
    else:
        sys.exit(__doc__)
