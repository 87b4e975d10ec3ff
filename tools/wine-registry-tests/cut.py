# Cuts Wine's registry tests (registry.c) down to the given test functions and
# the functions they call, and ends them with shim_run_tests(), which runs
# each test after shim_begin_test().
#   cut.py REGISTRY.C TEST,TEST,...
import re, sys
src = open(sys.argv[1], encoding='latin-1').read()
wanted_tests = sys.argv[2].split(',')
# split top-level function definitions: "static ... name(...)\n{ ... }" at column 0
items = []  # (kind, name, text)
i = 0
pat = re.compile(r'^(static\s+[^\n;{]*?\b(\w+)\s*\([^;{]*\)\s*\n\{)', re.M)
pos = 0
for m in pat.finditer(src):
    start = m.start()
    if start < pos: continue
    items.append(('other', None, src[pos:start]))
    # find matching brace
    j = m.end() - 1
    depth = 0
    k = j
    while True:
        c = src[k]
        if c == '{': depth += 1
        elif c == '}':
            depth -= 1
            if depth == 0: break
        k += 1
    items.append(('func', m.group(2), src[start:k+1]))
    pos = k + 1
items.append(('other', None, src[pos:]))
funcs = {n: t for k, n, t in items if k == 'func'}
need = set(wanted_tests)
todo = list(wanted_tests)
while todo:
    f = todo.pop()
    body = funcs.get(f, '')
    for name in funcs:
        alias = name.lstrip('_')
        if name not in need and (re.search(r'\b' + re.escape(name) + r'\b', body) or re.search(r'\b' + re.escape(alias) + r'\b', body)):
            need.add(name); todo.append(name)
out = []
for k, n, t in items:
    if k == 'func' and n not in need: continue
    if k == 'other' and 'START_TEST' in t:
        t = t[:t.index('START_TEST')]
    out.append(t)
print(''.join(out))
print('void shim_run_tests(void)\n{')
print('    setup_main_key();\n    check_user_privs();')
for t in wanted_tests:
    if t.startswith('test_') or t == 'create_test_entries':
        print('    shim_begin_test(); %s();' % t)
print('    delete_key( hkey_main );\n}')
