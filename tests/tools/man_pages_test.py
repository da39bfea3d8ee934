#!/usr/bin/env python3
"""The man pages document what the programs do: every option that a program's --help
lists appears in its page (rendered by groff as man shows it), every key of the two
configuration files appears in its section 5 page, and groff finds nothing to warn about.

    man_pages_test.py BUILD_BIN_DIR MAN_SOURCE_DIR
"""
import re
import shutil
import subprocess
import sys

PAGES = {  # program -> (its page, the page of its config file or None)
    'qelcs-host': ('qelcs-host.8', 'qelcs-host.conf.5'),
    'qelcs-remote': ('qelcs-remote.8', 'qelcs-remote.conf.5'),
    'qel-sign': ('qel-sign.1', None),
}
# Options that only the command line has: a config file cannot set them.
COMMAND_LINE_ONLY = {'config', 'check-config', 'help', 'version'}


def render(path):
    """The page as text, hyphenation off and lines long, so no option is split."""
    result = subprocess.run(['groff', '-man', '-Tutf8', '-ww', '-rHY=0', '-rLL=250n', '-P-cbou', path],
                            capture_output=True, text=True, check=True)
    assert not result.stderr, f'{path}: groff warns: {result.stderr}'
    return result.stdout.replace('\u2010', '-').replace('\u2212', '-')


def help_options(program_path):
    text = subprocess.run([program_path, '--help'], capture_output=True, text=True, check=True).stdout
    return set(re.findall(r'(?<![\w-])--([a-z][a-z0-9-]+)', text)), set(re.findall(r'(?<![\w-])-([a-zA-Z])\b', text))


def main():
    bin_dir, man_dir = sys.argv[1], sys.argv[2]
    if shutil.which('groff') is None:
        print('SKIP: groff is missing')
        return 77
    problems = []
    for program, (page, conf_page) in PAGES.items():
        longs, shorts = help_options(f'{bin_dir}/{program}')
        assert longs, f'{program} --help lists no option'
        text = render(f'{man_dir}/{page}')
        problems += [f'{page}: --{name} (listed by {program} --help) is not documented'
                     for name in sorted(longs) if not re.search(rf'--{re.escape(name)}\b', text)]
        problems += [f'{page}: -{name} (listed by {program} --help) is not documented'
                     for name in sorted(shorts) if not re.search(rf'(?<![\w-])-{name}\b', text)]
        if conf_page:
            conf = render(f'{man_dir}/{conf_page}')
            problems += [f'{conf_page}: key {name} is not documented'
                         for name in sorted(longs - COMMAND_LINE_ONLY) if not re.search(rf'(?<![\w-]){re.escape(name)}\b', conf)]
        print(f'{program}: {len(longs)} long and {len(shorts)} short options checked in {page}')
    for problem in problems:
        print('FAIL:', problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
