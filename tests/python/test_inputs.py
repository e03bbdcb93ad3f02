"""The table of inputs against every face: the command line's options and
help, a batch line's members, the module's keywords and stub, the
completions and the manual page; and the faults every face reads alike."""

import ast
import inspect
import json
import os
import pathlib
import re
import subprocess

import numpy
import pytest

import synthfactors

CLI = os.environ["SYNTHFACTORS_CLI"]
ROOT = pathlib.Path(__file__).resolve().parents[2]
INPUTS = synthfactors.inputs()
CHIPS = [chip["name"] for chip in synthfactors.chips()]


def cli(*args, stdin=None):
    return subprocess.run([CLI, *args], input=stdin, capture_output=True, text=True,
                          env={**os.environ, "LC_ALL": "C"}, check=False)


def with_mode(mode):
    return [field for field in INPUTS if mode in field["modes"]]


def test_the_help_lists_every_option_with_its_sentence_and_start_text():
    text = " ".join(cli("--help").stdout.split())
    for field in INPUTS:
        assert f"{field['flag']} {field['value_name']}" in text
        assert field["help"] in text
        if field["start"] is not None:
            assert f"{field['flag']} {field['value_name']}={field['start']}" in text


@pytest.mark.parametrize("path", ["completions/synthfactors-cli.bash",
                                  "completions/_synthfactors-cli",
                                  "completions/synthfactors-cli.fish"])
def test_the_completions_know_every_option_and_shipped_chip(path):
    text = (ROOT / path).read_text()
    for field in INPUTS:
        flag = field["flag"]
        if path.endswith(".fish"):
            assert f"-l {flag[2:]} " in text, flag
        else:
            assert flag in text, flag
    chip_line = next(line for line in text.splitlines() if "adf4106" in line)
    named = set(re.findall(r"[a-z0-9]+(?:-[a-z0-9]+)*", chip_line))
    assert set(CHIPS) <= named
    assert not {word for word in named if re.fullmatch(r"(adf|max|lmx|hmc)\d+\S*", word)} - set(CHIPS)


def test_the_manual_page_describes_every_option_and_batch_member():
    text = (ROOT / "man/synthfactors-cli.1").read_text().replace("\\-", "-")
    for field in INPUTS:
        assert (f".BI {field['flag']} \"" in text or f".B {field['flag']}\n" in text), field["flag"]
    for field in with_mode("batch"):
        assert field["key"] in text


def test_a_batch_line_takes_the_members_a_single_run_takes():
    answer = json.loads(cli("--batch", stdin='{"bogus": 1}\n').stdout)
    listed = answer["error"].split("the members are ")[1].replace(" and ", ", ").split(", ")
    assert listed == [field["key"] for field in with_mode("batch")]
    assert listed == [field["key"] for field in with_mode("single")]


def test_run_and_sweep_keywords_and_defaults_come_from_the_table():
    def signature(function):
        parameters = inspect.signature(function).parameters.values()
        return {p.name: None if p.default is inspect.Parameter.empty else repr(p.default)
                for p in parameters}

    for function, mode in [(synthfactors.run, "single"), (synthfactors.sweep, "sweep")]:
        keywords = signature(function)
        for field in with_mode(mode):
            assert field["key"] in keywords, field["key"]
            if field["key"] in ("rf_out", "alternatives", "registers"):
                continue  # rf_out is required; alternatives counts from 0; a flag is False
            want = "None" if field["start"] is None else repr(field["start"])
            assert keywords[field["key"]] == want, field["key"]

    stub = ast.parse((ROOT / "python/synthfactors.pyi").read_text())
    for node in stub.body:
        if not isinstance(node, ast.FunctionDef) or node.name not in ("run", "sweep"):
            continue
        arguments = node.args.args + node.args.kwonlyargs
        defaults = dict(zip([a.arg for a in node.args.args][-len(node.args.defaults):],
                            node.args.defaults))
        defaults.update({a.arg: d for a, d in zip(node.args.kwonlyargs, node.args.kw_defaults)})
        names = [a.arg for a in arguments]
        mode = "single" if node.name == "run" else "sweep"
        for field in with_mode(mode):
            assert field["key"] in names, (node.name, field["key"])
            if field["key"] in ("rf_out", "alternatives", "registers"):
                continue
            assert ast.literal_eval(defaults[field["key"]]) == field["start"], field["key"]


def test_every_member_of_a_batch_line_equals_its_option():
    line = {"rf_out": "10368.025", "mult": 4, "max_fc": "200000", "alternatives": 2,
            "fom": -221, "flicker": "-260", "offset": 1000, "chip": "adf4106",
            "prescaler": 16, "r_range": "1:5000", "n_range": "1:1000000"}
    batch = json.loads(cli("--batch", stdin=json.dumps(line) + "\n").stdout)
    options = []
    for key, value in line.items():
        options += ["--" + key.replace("_", "-"), str(value)]
    single = json.loads(cli(*options, "--json").stdout)
    assert batch == single
    assert batch["alternatives"] and batch["phase_noise_flicker_dbc_hz"] is not None
    assert synthfactors.run(**line) == single


def test_every_fault_is_reported_at_once_in_one_wording():
    done = cli("--rf-out", "1000", "--r-range", "5:1", "--fom", "x", "--alternatives", "0")
    assert done.returncode == 2
    lines = done.stderr.splitlines()
    assert lines[:3] == [
        '--r-range takes MIN:MAX, two whole numbers from 1 to 1000000 with MIN not above MAX: '
        '"5:1" is not',
        '--alternatives takes a whole number from 1 to 1000, not "0"',
        '--fom takes the PLL\'s figure of merit in dBc/Hz as a decimal number such as -220, '
        'not "x"']
    batch = json.loads(cli("--batch", stdin='{"r_range": "5:1", "fom": "x"}\n').stdout)
    with pytest.raises(ValueError) as raised:
        synthfactors.run(1000, r_range="5:1", fom="x")
    assert batch["error"] == str(raised.value)
    assert str(raised.value) == lines[0].replace("--r-range", "r_range") + "; " + \
        lines[2].replace("--fom", "fom")


def test_a_profile_is_read_alike_by_every_face(tmp_path):
    profile = tmp_path / "odd.json"
    profile.write_text('{"name": "odd", "bogus": 1}')
    single = cli("--rf-out", "1000", "--chip", str(profile)).stderr.splitlines()[0]
    batch = json.loads(cli("--batch", stdin=json.dumps({"chip": str(profile)}) + "\n").stdout)
    with pytest.raises(ValueError) as raised:
        synthfactors.run(1000, chip=str(profile))
    assert single == batch["error"] == str(raised.value)
    profile.write_text('{"name": "\\ud800"}')
    single = cli("--rf-out", "1000", "--chip", str(profile)).stderr.splitlines()[0]
    with pytest.raises(ValueError) as raised:
        synthfactors.run(1000, chip=str(profile))
    assert single == str(raised.value)


@pytest.mark.parametrize("key", ["rf_out", "mult", "ref", "min_fc", "max_fc", "chip", "fom"])
def test_a_text_holding_nul_is_refused(key):
    value = "adf4106\x00x" if key == "chip" else "2\x00junk"
    arguments = {"rf_out": "1000", key: value}
    with pytest.raises(ValueError, match=f"{key} holds a NUL character"):
        synthfactors.run(**arguments)
    answer = json.loads(cli("--batch", stdin=json.dumps(arguments) + "\n").stdout)
    assert f"{key} holds a NUL character" in answer["error"]


@pytest.mark.parametrize("key", ["rf_out", "mult", "ref", "min_fc", "max_fc"])
def test_a_numpy_scalar_array_is_its_value_and_other_arrays_are_refused(key):
    arguments = {"rf_out": 3300}
    plain = synthfactors.run(**{**arguments, key: 2.0})
    assert synthfactors.run(**{**arguments, key: numpy.array(2.0)}) == plain
    assert synthfactors.run(**{**arguments, key: numpy.ma.array(2.0)}) == plain
    assert synthfactors.run(**{**arguments, key: numpy.array("2")}) == \
        synthfactors.run(**{**arguments, key: "2"})
    for bad in (numpy.array([2.0]), numpy.ma.masked_array(2.0, mask=True)):
        with pytest.raises(TypeError, match=key):
            synthfactors.run(**{**arguments, key: bad})


def test_numpy_arrays_in_options_and_sweeps():
    assert synthfactors.run(3300, fom=numpy.array(-221.0)) == synthfactors.run(3300, fom=-221.0)
    assert synthfactors.run(3300, chip="adf4106", prescaler=numpy.array(16)) == \
        synthfactors.run(3300, chip="adf4106", prescaler=16)
    swept = synthfactors.sweep(3300, 3301, 1, mult=numpy.array(2.0))
    assert list(swept["rf_source"]) == [" 1650", " 1650.5"]
    with pytest.raises(TypeError, match="prescaler"):
        synthfactors.run(3300, chip="adf4106", prescaler=numpy.array([16]))


@pytest.mark.parametrize("options, complaint", [
    ({"flicker": -260}, "flicker needs a figure of merit"),
    ({"offset": 1000}, "offset needs a flicker figure"),
    ({"fom": -221, "offset": 1000}, "offset needs a flicker figure"),
])
def test_a_noise_option_that_would_change_nothing_is_refused(options, complaint):
    with pytest.raises(ValueError, match=complaint):
        synthfactors.run(3300, **options)
    args = []
    for key, value in options.items():
        args += ["--" + key, str(value)]
    done = cli("--rf-out", "3300", *args)
    assert done.returncode == 2 and "--" + complaint in done.stderr


def test_registers_and_decode_equal_the_command_line():
    arguments = {"rf_out": "10368.025", "mult": 4, "max_fc": 200000, "chip": "max2870-int",
                 "registers": True, "feedback": "divided"}
    single = json.loads(cli("--rf-out", "10368.025", "--mult", "4", "--max-fc", "200000",
                            "--chip", "max2870-int", "--registers", "--feedback", "divided",
                            "--json").stdout)
    assert synthfactors.run(**arguments) == single
    batch = json.loads(cli("--batch", stdin=json.dumps(arguments) + "\n").stdout)
    assert batch == single
    words = [entry["word"] for entry in single["registers"]]
    decoded = json.loads(cli("--decode", "max2870-int", "--ref", "10", "--json", *words).stdout)
    assert synthfactors.decode("max2870-int", 10, words[::-1]) == decoded
    assert (decoded["r"], decoded["int"]) == (single["r"], single["n"])
    assert decoded["output_divider"] == single["output_divider"] == 2
    assert decoded["feedback"] == "divided" and decoded["notes"] == []
    swept = synthfactors.sweep(2400, 2401, 1, ref=25, min_fc=1000, max_fc=32000,
                               chip="adf4351-int", registers=True)
    assert list(swept["R5"]) == ["0x00580005", "0x00580005"]
    with pytest.raises(ValueError, match="words are hexadecimal"):
        synthfactors.decode("adf4106", 10, ["nope"])


def test_the_microwave_parts_equal_the_command_line():
    arguments = {"rf_out": "10000.0001", "ref": 100, "max_fc": 400000, "chip": "lmx2594",
                 "registers": True, "ref_path": "x2/5/x6/R",
                 "mash_order": 2}
    single = json.loads(cli("--rf-out", "10000.0001", "--ref", "100", "--max-fc", "400000",
                            "--chip", "lmx2594", "--registers", "--ref-path", "x2/5/x6/R",
                            "--mash-order", "2", "--json").stdout)
    assert single["reference_path"] == "x2/5/x6/1" and single["mash_order"] == 2
    assert synthfactors.run(**arguments) == single
    batch = json.loads(cli("--batch", stdin=json.dumps(arguments) + "\n").stdout)
    assert batch == single
    words = [entry["word"] for entry in single["registers"]]
    decoded = synthfactors.decode("lmx2594", 100, words)
    assert decoded == json.loads(cli("--decode", "lmx2594", "--ref", "100", "--json",
                                     *words).stdout)
    assert (decoded["reference_path"], decoded["mash_order"]) == ("x2/5/x6/1", 2)
    assert (decoded["int"], decoded["frac"], decoded["mod"]) == (single["int"], single["frac"],
                                                                 single["mod"])
    swept = synthfactors.sweep(5000, 5000.0002, 0.0001, ref=122.88, max_fc=125000,
                               chip="adf5356", registers=True)
    assert list(swept["reference_path"]) == ["x1/384/1", "x1/1/1", "x1/1/1"]
    assert list(swept["mod2"][1:]) == [25, 75] and "R13" in swept
    assert "R13" in cli("--sweep", "5000:5000.0002:0.0001", "--ref", "122.88", "--max-fc",
                        "125000", "--chip", "adf5356", "--registers").stdout.splitlines()[0]
    one_r = synthfactors.sweep(2400, 2400.001, 0.0001, ref=100, min_fc=1000, max_fc=400000,
                               chip="lmx2594", common_r=True)
    first = json.loads(cli("--sweep", "2400:2400.001:0.0001", "--ref", "100", "--min-fc", "1000",
                           "--max-fc", "400000", "--chip", "lmx2594", "--common-r",
                           "--json").stdout.splitlines()[0])
    assert one_r["common_r"] == first and first["reference_path"] == "x1/2/x5/1"
    assert set(one_r["reference_path"]) == {"x1/2/x5/1"}
    with pytest.raises(ValueError, match="--ref-path|ref_path"):
        synthfactors.run(10000, chip="lmx2594", ref_path="x3/1/x1/R")
    with pytest.raises(ValueError, match="mash_order"):
        synthfactors.run(10000, chip="lmx2594", mash_order=5)
    with pytest.raises(TypeError, match="ref_path must be a str"):
        synthfactors.run(10000, chip="lmx2594", ref_path=2)


def test_decode_takes_words_as_run_gives_them():
    words = ["0x142F35", "0x5F8093", "0x4FC"]
    expected = synthfactors.decode("adf4106", 10, words)
    numbers = [int(word, 16) for word in words]
    assert synthfactors.decode("adf4106", 10, numbers) == expected
    assert synthfactors.decode("adf4106", 10, numpy.array(numbers, dtype=numpy.uint32)) == expected
    assert synthfactors.decode("adf4106", 10, [numpy.uint64(n) for n in numbers]) == expected
    # A bare text or bytes is one word, not its letters: refused.
    with pytest.raises(TypeError, match="not a single str or bytes"):
        synthfactors.decode("adf4106", 10, "0x142F35")
    with pytest.raises(TypeError, match="not a single str or bytes"):
        synthfactors.decode("adf4106", 10, b"\x01\x02")
    with pytest.raises(ValueError, match="at least one word"):
        synthfactors.decode("adf4106", 10, [])
    with pytest.raises(ValueError, match="at most 32 bits"):
        synthfactors.decode("adf4106", 10, [2**64])
    with pytest.raises(ValueError, match="beyond what the program can state"):
        synthfactors.decode("adf4106", "1e308", words)


def test_prefer_is_a_keyword_with_its_words():
    spur = synthfactors.run(4800.1, ref=10, min_fc=50, max_fc=10000, chip="adf4351", fom=-220)
    noise = synthfactors.run(4800.1, ref=10, min_fc=50, max_fc=10000, chip="adf4351", fom=-220,
                             prefer="noise")
    assert (spur["r"], spur["mode"]) == (100, "integer")
    assert (noise["r"], noise["mode"]) == (1, "fractional")
    with pytest.raises(TypeError, match='prefer must be a str, "spur" or "noise"'):
        synthfactors.run(4800.1, chip="adf4351", fom=-220, prefer=1)
    with pytest.raises(ValueError, match="prefer takes spur or noise"):
        synthfactors.run(4800.1, chip="adf4351", fom=-220, prefer="quiet")
