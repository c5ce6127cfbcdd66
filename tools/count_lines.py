#!/usr/bin/env python3
# The tests' weight against the product's: non-blank, non-comment lines of the
# C/C++ under tests/ against the rest of the C/C++ and the installer script.
#   tools/count_lines.py [checkout] [-v]
import sys,re,os,subprocess
def count(path):
    s=open(path,errors='replace').read()
    if path.endswith(('.nsi','.nsh')):
        n=0; inblock=False
        for l in s.splitlines():
            t=l.strip()
            if inblock:
                if '*/' in t: inblock=False
                continue
            if t.startswith('/*'):
                if '*/' not in t: inblock=True
                continue
            if not t or t.startswith(';') or t.startswith('#'): continue
            n+=1
        return n
    s=re.sub(r'/\*.*?\*/', lambda m: '\n'*m.group(0).count('\n'), s, flags=re.S)
    n=0
    for l in s.splitlines():
        t=l.strip()
        if not t or t.startswith('//'): continue
        n+=1
    return n
args=[a for a in sys.argv[1:] if a!='-v']
root=args[0] if args else '.'
files=subprocess.run(['git','-C',root,'ls-files','--cached','--others','--exclude-standard'],capture_output=True,text=True).stdout.split()
tests=prod=nsi=0; per={}
for f in files:
    p=os.path.join(root,f)
    if not os.path.exists(p): continue
    if f.endswith(('.cpp','.h','.c','.hpp')):
        c=count(p); per[f]=c
        if f.startswith('tests/'): tests+=c
        else: prod+=c
    elif f.endswith(('.nsi','.nsh')):
        c=count(p); per[f]=c; nsi+=c
if '-v' in sys.argv:
    for f,c in sorted(per.items()): print(c,f)
print(f"tests {tests}  product C/C++ {prod}  installer {nsi}  share {tests/(prod+nsi):.1%} (C/C++ only {tests/prod:.1%})")
