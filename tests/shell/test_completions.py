"""The shell completions driven by the shells themselves: bash through its
completion function with COMP_WORDS, zsh through a pseudo-terminal (zpty)
with compadd watched, fish through complete -C. In a folder with a
profile file and a folder whose name has a blank."""
import os
import pathlib
import re
import shlex
import subprocess

import pytest

COMPLETIONS = pathlib.Path(__file__).resolve().parents[2] / "completions"

# Types a line and a Tab into an interactive zsh in a pseudo-terminal, and
# prints every match the completion adds (compadd is wrapped; its marker
# texts are split in the commands so that their echo never matches).
ZSH_CAPTURE = r"""
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "PROMPT=''"
zpty -w z "fpath=($1 \$fpath); autoload -U compinit; compinit -u -D"
zpty -w z 'compadd () { if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return $?; fi; typeset -a __hits; builtin compadd -A __hits "$@"; local h; for h in $__hits; do print -r -- "<H""IT>$h"; done; builtin compadd "$@" }'
zpty -w z 'finish () { print -r -- "<E""OC>"; }'
zpty -w z 'comppostfuncs=(finish)'
zpty -n -w z "$2"$'\t'
local output
zpty -r z output '*<EOC>*'
zpty -d z
local line
for line in ${(f)output}; do
  [[ $line == *"<HIT>"* ]] && print -r -- "${${line#*<HIT>}%%$'\r'*}"
done
true
"""


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    here = tmp_path_factory.mktemp("completion")
    (here / "my pll").mkdir()
    (here / "my-pll.json").write_text("{}")
    (here / "design.json").write_text("{}")
    return here


def bash(folder, line):
    words = shlex.split(line) + ([""] if line.endswith(" ") else [])
    # The word being completed as typed: a blank escaped with a backslash.
    typed = " ".join(shlex.quote(word.replace(" ", "\\ ")) for word in words)
    script = (f"source {shlex.quote(str(COMPLETIONS / 'synthfactors-cli.bash'))}; "
              f"COMP_WORDS=({typed}); COMP_CWORD={len(words) - 1}; _synthfactors_cli; "
              'printf "%s\\n" "${COMPREPLY[@]}"')
    done = subprocess.run(["bash", "--norc", "-c", script], cwd=folder, capture_output=True,
                          text=True, timeout=30, check=True)
    return set(done.stdout.splitlines()) - {""}


def zsh(folder, line):
    done = subprocess.run(["zsh", "-f", "-c", ZSH_CAPTURE, "zsh", str(COMPLETIONS), line],
                          cwd=folder, capture_output=True, text=True, timeout=60, check=True,
                          env={**os.environ, "TERM": "dumb"})
    return {word.replace("\\ ", " ").rstrip("/") for word in done.stdout.splitlines()}


def fish(folder, line):
    script = (f"source {shlex.quote(str(COMPLETIONS / 'synthfactors-cli.fish'))}; "
              f"complete -C {shlex.quote(line)}")
    done = subprocess.run(["fish", "--no-config", "-c", script], cwd=folder, capture_output=True,
                          text=True, timeout=30, check=True)
    return {entry.split("\t")[0].rstrip("/") for entry in done.stdout.splitlines()}


SHELLS = [bash, zsh, fish]


@pytest.mark.parametrize("shell", SHELLS)
def test_a_file_name_with_a_blank_is_one_word(shell, folder):
    offered = shell(folder, "synthfactors-cli --chip my")
    assert "my pll" in offered and "my-pll.json" in offered
    assert "my" not in offered and "pll" not in offered


@pytest.mark.parametrize("shell", SHELLS)
def test_chips_and_files_where_the_command_line_takes_them(shell, folder):
    assert {"adf4106", "adf4351", "adf4351-int"} <= shell(folder, "synthfactors-cli --chip ad")
    assert {"adf4351", "adf4351-int"} <= shell(folder, "synthfactors-cli --decode adf4")
    assert "design.json" in shell(folder, "synthfactors-cli --plan de")
    assert shell(folder, "synthfactors-cli --feedback ") >= {"fundamental", "divided"}
    assert shell(folder, "synthfactors-cli --filter-order ") >= {"2", "3"}


@pytest.mark.parametrize("shell", SHELLS)
def test_options_after_a_chip_and_after_decode(shell, folder):
    after_chip = shell(folder, "synthfactors-cli --chip adf4106 --lo")
    assert {"--loop-bandwidth", "--lock-jump", "--lock-tolerance"} <= after_chip
    after_decode = shell(folder, "synthfactors-cli --decode adf4351 --")
    assert {"--ref", "--json"} <= after_decode


@pytest.mark.parametrize("shell", [bash, zsh])
def test_every_option_is_offered(shell, folder):
    offered = shell(folder, "synthfactors-cli --")
    help_text = subprocess.run([os.environ["SYNTHFACTORS_CLI"], "--help"], capture_output=True,
                               text=True, check=True).stdout
    flags = set(re.findall(r"(?<![\w-])--[a-z][a-z0-9-]*", help_text))
    assert flags <= offered, flags - offered
