"""The Python module against the command line: the same fields, values and texts."""

import csv
import io
import json
import math
import os
import random
import subprocess
import sys

import numpy
import pytest

import synthfactors

CLI = os.environ["SYNTHFACTORS_CLI"]


def cli(*args, stdin=None):
    done = subprocess.run([CLI, *args], input=stdin, capture_output=True, text=True,
                          env={**os.environ, "LC_ALL": "C"}, check=False)
    return done


def random_inputs(count):
    rng = random.Random(20261208)
    outputs = ["1000", "1000.001", "1234.5678", " 10368.025 MHz", "3e8", "-5", "", "abc",
               "1e999", 2782.972, 10000, 1e16, 0.1]
    for _ in range(count):
        inputs = {
            "rf_out": rng.choice(outputs) if rng.random() < 0.4
            else round(rng.uniform(-100, 30000), rng.randint(0, 7)),
            "mult": rng.choice(["1", "4", 4, "0", "2.5", -3]),
            "ref": rng.choice(["10", 13, "0", "26", 38.4]),
            "min_fc": rng.choice(["5", 10, "0", "-1", "0.5"]),
            "max_fc": rng.choice(["100", 200, "5", "1000"]),
        }
        if rng.random() < 0.3:
            inputs["r_range"] = rng.choice(["1:1999", "50:16383", "1:1000000"])
        if rng.random() < 0.3:
            inputs["n_range"] = rng.choice(["1:65535", "240:2147483647", "-5:5"])
        yield inputs


def test_run_equals_the_command_line_json_field_by_field():
    cases = list(random_inputs(300))
    batch = "".join(json.dumps(case) + "\n" for case in cases)
    answers = [json.loads(line) for line in cli("--batch", stdin=batch).stdout.splitlines()]
    assert len(answers) == len(cases)
    for case, answer in zip(cases, answers):
        args = {k: v for k, v in case.items() if k not in ("rf_out", "r_range", "n_range")}
        got = synthfactors.run(case["rf_out"], **args, r_range=case.get("r_range"),
                               n_range=case.get("n_range"))
        assert list(got) == list(answer), case
        assert got == answer, case


@pytest.mark.parametrize("options", [
    ["--alternatives", "5", "--fom", "-220"],
    ["--alternatives", "1000", "--r-range", "1:1999"],
    ["--fom", "-231.5", "--n-range", "10001:20000"],
    ["--chip", "adf4106", "--alternatives", "3", "--fom", "-221", "--max-fc", "200000"],
    ["--fom", "-223", "--flicker", "-260", "--offset", "100", "--chip", "adf4351-int"],
    ["--chip", "adf4351", "--alternatives", "6", "--ref", "25", "--max-fc", "32000"],
    ["--chip", "lmx2594", "--alternatives", "4", "--ref", "100", "--max-fc", "300000", "--fom", "-236"],
])
def test_planning_options_equal_the_command_line(options):
    for rf_out in ["1000", "1000.001", "1234.5678"]:
        answer = json.loads(cli("--rf-out", rf_out, "--json", *options).stdout)
        keywords = {}
        for name, value in zip(options[::2], options[1::2]):
            key = name[2:].replace("-", "_")
            keywords[key] = int(value) if key == "alternatives" else value
        assert synthfactors.run(rf_out, **keywords) == answer


def test_worked_examples():
    assert synthfactors.run("1000")["report"] == (
        "Reference / 100\r\nRF   / 10000\r\nComparison freq  100.kHz\r\nNo Error\r\n\r\n"
        "Hex divider values \r\nR  0x64  N  0x2710")
    odd = synthfactors.run("1234.5678", ref="13", min_fc="10", max_fc="200", decimal_symbol=",")
    assert odd["rf_source"] == " 1234.5678"
    assert "Comparison freq  11,37358kHz\r\nError  4,024Hz        3* 10^-9" in odd["report"]
    fault = synthfactors.run("1000", mult="0")
    assert fault["fault"] == "division by zero"
    assert fault["message"].startswith("Division by zero: the RF multiplication factor is 0")


def csv_columns(text):
    rows = list(csv.DictReader(io.StringIO(text)))
    return {key: [row[key] for row in rows] for key in rows[0]}


@pytest.mark.parametrize("grid,options", [
    (("-1", "3", "0.5"), {}),
    (("10368", "10370", "0.025"), {"mult": "4"}),
    (("10000000", "10000010", "5"), {"min_fc": "0.001"}),
    (("3000", "3003", "0.5"), {"chip": "adf4106", "fom": "-220"}),
])
def test_sweep_equals_the_command_line_csv(grid, options):
    flags = [f for key, value in options.items() for f in ("--" + key.replace("_", "-"), value)]
    expected = csv_columns(cli("--sweep", ":".join(grid), *flags).stdout)
    got = synthfactors.sweep(*grid, **options)
    assert list(got) == list(expected)
    for key in ("rf_out", "rf_source", "r_hex", "n_hex", "fault"):
        assert list(got[key]) == expected[key], key
    for key in ("r", "n", "prescaler", "b", "a"):
        if key not in got:
            continue
        assert got[key].dtype.name == "int64"
        assert [str(v) if text else "" for v, text in zip(got[key], expected[key])] == expected[key]
    for key in ("comparison_khz", "error_hz", "error_ppb", "phase_noise_dbc_hz"):
        if key not in got:
            continue
        assert got[key].dtype.name == "float64"
        for value, text in zip(got[key], expected[key]):
            assert (math.isnan(value) and text == "") or value == float(text), key
    assert [("true" if e else "false") if t else "" for e, t in zip(got["exact"], expected["exact"])] \
        == expected["exact"]


def test_one_r_for_the_plan():
    got = synthfactors.sweep("10368", "10368.1", "0.025", mult=4, min_fc=1, common_r=True)
    summary = json.loads(cli("--sweep", "10368:10368.1:0.025", "--mult", "4", "--min-fc", "1",
                             "--common-r", "--json").stdout.splitlines()[0])
    assert got["common_r"] == summary
    assert list(got["r"]) == [1600] * 5
    with pytest.raises(ValueError, match="no one reference divider R serves every channel"):
        synthfactors.sweep(0, 1, 1, common_r=True)


def test_bad_arguments_say_what_the_command_line_says():
    with pytest.raises(TypeError):
        synthfactors.run(True)
    with pytest.raises(TypeError):
        synthfactors.run(["1000"])
    with pytest.raises(ValueError) as error:
        synthfactors.run("1000", r_range="5:1")
    assert str(error.value) == ('r_range takes MIN:MAX, two whole numbers from 1 to 1000000 '
                                'with MIN not above MAX: "5:1" is not')
    with pytest.raises(ValueError, match="alternatives takes a whole number from 1 to 1000"):
        synthfactors.run("1000", alternatives=1001)
    with pytest.raises(ValueError, match="fom takes"):
        synthfactors.run("1000", fom="low")
    with pytest.raises(ValueError, match="stop must not be below start"):
        synthfactors.sweep("2", "1", "1")


def interrupted_after(code, seconds):
    """Runs `code` in a fresh Python, sends it SIGINT after `seconds`; returns
    how it ended and how long the interrupt took to be raised."""
    script = ("import signal, threading, time, os, synthfactors\n"
              # as if in the foreground, even when the test runs in the background
              "signal.signal(signal.SIGINT, signal.default_int_handler)\n"
              f"threading.Timer({seconds}, lambda: os.kill(os.getpid(), signal.SIGINT)).start()\n"
              "start = time.monotonic()\n"
              "try:\n"
              f"    {code}\n"
              "    print('finished')\n"
              "except KeyboardInterrupt:\n"
              f"    print('interrupted', time.monotonic() - start - {seconds})\n")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          env=os.environ, timeout=120, check=False)
    return done.stdout.split()


@pytest.mark.parametrize("code", [
    "synthfactors.sweep(1000, 1999.9999, 0.0001)",
    "synthfactors.sweep(1000, 1000.02, 0.00001, min_fc=0.00001, max_fc=1e9, "
    "n_range=(99999950, 100000050), common_r=True)",
])
def test_ctrl_c_stops_a_sweep_promptly(code):
    words = interrupted_after(code, 0.5)
    assert words[0] == "interrupted", words
    assert float(words[1]) < 1.0


def test_floats_and_numpy_numbers_are_taken_exactly():
    assert list(synthfactors.sweep(100000.0, 100001.0, 0.5)["rf_out"]) == \
        ["100000", "100000.5", "100001"]
    assert list(synthfactors.sweep(1000, 1000.0001, 0.00001)["rf_out"])[-1] == "1000.0001"
    assert synthfactors.run("1000", n_range=(1, 1e5))["n_range"] == "1:100000"
    numpy = pytest.importorskip("numpy")
    assert synthfactors.run(numpy.int64(1000)) == synthfactors.run(1000)
    assert synthfactors.run(1000, fom=numpy.float32(-220))["phase_noise_dbc_hz"] == -90.0
    assert synthfactors.run(1000, alternatives=numpy.int16(2))["alternatives"][1]["r"] == 101
    # A narrow float is the decimal it was written as, not the double it holds.
    assert synthfactors.run(numpy.float32("1000.1")) == synthfactors.run("1000.1")
    assert synthfactors.run(numpy.float16(1000.5))["rf_out"] == "1000.5"
    plan = synthfactors.sweep(10368, 10370, numpy.float32(0.025), mult=4)
    assert len(plan["rf_out"]) == 81 and plan["rf_out"][-1] == "10370"
    assert list(synthfactors.sweep(1000, numpy.float32(1000.0001), numpy.float32(1e-05))["rf_out"])[-1] \
        == "1000.0001"


def test_dividers_beyond_int64_stay_exact():
    got = synthfactors.sweep("99999999999999999999", "100000000000000000000", "0.5")
    expected = csv_columns(cli("--sweep", "99999999999999999999:100000000000000000000:0.5").stdout)
    assert got["n"].dtype.name == "float64"
    assert ["%.0f" % n for n in got["n"]] == expected["n"]


@pytest.mark.parametrize("call,error", [
    (lambda: synthfactors.run(10**400), ValueError),
    (lambda: synthfactors.run(1000, mult=10**400), ValueError),
    (lambda: synthfactors.run(1000, fom=10**400), ValueError),
    (lambda: synthfactors.run("\ud800"), ValueError),
    (lambda: synthfactors.run(1000, alternatives=True), TypeError),
    (lambda: synthfactors.run(1000, alternatives=2.0), TypeError),
    (lambda: synthfactors.sweep(1, 2, 1, common_r=None), TypeError),
    (lambda: synthfactors.run(1000, decimal_symbol=""), ValueError),
    (lambda: synthfactors.run(1000, decimal_symbol="\x00"), ValueError),
    (lambda: synthfactors.run(1000, decimal_symbol="," * 10_000_000), ValueError),
    (lambda: synthfactors.run(1000, decimal_symbol=b","), TypeError),
    (lambda: synthfactors.run(1000, feedback="\ud800", chip="adf4351"), ValueError),
    (lambda: synthfactors.run(numpy.float32("inf")), ValueError),
    (lambda: synthfactors.decode("adf4351", 25, ["\ud800"]), ValueError),
    (lambda: synthfactors.decode("adf4351", 25, [2**64]), ValueError),
    (lambda: synthfactors.decode("adf4351", 25, "0x00580005"), TypeError),
    (lambda: synthfactors.decode("adf4351", 25, b"\x05\x00\x58"), TypeError),
])
def test_bad_arguments_are_refused_in_the_modules_words(call, error):
    with pytest.raises(error) as raised:
        call()
    assert "Unable to cast" not in str(raised.value)
    assert "--" not in str(raised.value)


def test_decode_takes_numpy_words_as_the_command_line_does():
    words = [0x00580005, 0x008C803C, 0x006004B3, 0x18005FC2, 0x00008011, 0x00300000]
    expected = json.loads(cli("--decode", "adf4351", "--ref", "25", *[hex(w) for w in words],
                              "--json").stdout)
    assert synthfactors.decode("adf4351", 25, numpy.array(words, dtype=numpy.uint32)) == expected
    assert synthfactors.decode("adf4351", 25, [numpy.int64(w) for w in words]) == expected
    assert synthfactors.decode("adf4351", 25, tuple(hex(w) for w in words)) == expected


def test_every_function_has_a_signature():
    import inspect
    for name in ("run", "sweep", "noise_curve", "decode", "chips", "inputs"):
        signature = inspect.signature(getattr(synthfactors, name))
        assert str(signature).startswith("(") and "object" not in str(signature), name
    assert list(inspect.signature(synthfactors.decode).parameters) == ["chip", "ref", "words"]
    run = inspect.signature(synthfactors.run).parameters
    assert run["mult"].default == "1" and run["registers"].default is False
    assert run["r_range"].kind is inspect.Parameter.KEYWORD_ONLY


def test_chips_lists_the_shipped_profiles():
    names = [chip["name"] for chip in synthfactors.chips()]
    assert names == ["adf4106", "adf4351-int", "adf4351", "adf5356", "lmx2594", "max2870-int", "max2870"]
    assert all(chip["source"] for chip in synthfactors.chips())
    with pytest.raises(ValueError, match="not a shipped profile"):
        synthfactors.run(1000, chip="nothing")
    with pytest.raises(ValueError, match="prescaler"):
        synthfactors.run(3000, chip="adf4106", prescaler=8)


LOOP = dict(chip="adf4351", ref=25, min_fc=10000, max_fc=25000, fom=-220, kvco=40,
            vco_noise=[(1e3, -75), (1e5, -122), (1e7, -155)], lock_jump=1)
LOOP_FLAGS = ["--chip", "adf4351", "--ref", "25", "--min-fc", "10000", "--max-fc", "25000",
              "--fom", "-220", "--kvco", "40", "--vco-noise", "1000:-75,100000:-122,10000000:-155",
              "--lock-jump", "1"]


def test_the_loop_is_the_command_lines():
    ran = synthfactors.run(2400.5, loop_bandwidth=50, **LOOP)
    assert ran["loop"] == json.loads(cli("--rf-out", "2400.5", "--loop-bandwidth", "50", *LOOP_FLAGS,
                                         "--json").stdout)["loop"]
    # A band: its columns are the CSV's, every row with the band's parts.
    plan = synthfactors.sweep(2400, 2402, 0.5, loop_bandwidth=50, **LOOP)
    rows = list(csv.DictReader(io.StringIO(
        cli("--sweep", "2400:2402:0.5", "--loop-bandwidth", "50", *LOOP_FLAGS).stdout)))
    for column in ("c1_f", "r3_ohm", "loop_bandwidth_hz", "phase_margin_deg", "jitter_fs",
                   "lock_time_us"):
        assert [float(row[column]) for row in rows] == list(plan[column]), column
    assert len(set(plan["c1_f"])) == 1
    # Built parts as a sequence are the parts as text.
    parts = (plan["c1_f"][0], plan["c2_f"][0], plan["r2_ohm"][0], plan["c3_f"][0], plan["r3_ohm"][0])
    given = synthfactors.run(2401, filter=parts, **LOOP)
    assert given["loop"]["jitter_fs_rms"] == plan["jitter_fs"][2]


def test_the_noise_curve_is_the_runs_noise_at_its_offsets():
    offsets = numpy.array([100.0, 2500.0, 47000.0, 1e6])
    curve = synthfactors.noise_curve(2400.5, offsets=offsets, loop_bandwidth=50, **LOOP)
    ran = synthfactors.run(2400.5, loop_bandwidth=50, noise_offsets=offsets, **LOOP)
    assert list(curve["offset_hz"]) == list(offsets)
    for name in ("total_dbc_hz", "pll_dbc_hz", "vco_dbc_hz", "resistors_dbc_hz"):
        assert list(curve[name]) == [row[name] for row in ran["loop"]["noise"]], name
    assert numpy.all(numpy.isnan(curve["reference_dbc_hz"]))
    assert curve["jitter_band_hz"] == (1000.0, 10000000.0)
    default = synthfactors.noise_curve(2400.5, loop_bandwidth=50, **LOOP)
    assert len(default["offset_hz"]) == 141 and default["offset_hz"][0] == 10.0
    assert default["offset_hz"][-1] == 1e8


@pytest.mark.parametrize("call, error", [
    (lambda: synthfactors.noise_curve(2400, chip="adf4351"), ValueError),
    (lambda: synthfactors.run(1392, ref=38.4, min_fc=60, max_fc=60, loop_bandwidth=20,
                              cp_current=4, kvco=30), ValueError),
    (lambda: synthfactors.run(1392, loop_bandwidth=2, cp_current=4, kvco=30, filter=b"1n,2n,3k"),
     TypeError),
    (lambda: synthfactors.run(1392, filter=(1e-9, 2e-9), cp_current=4, kvco=30), ValueError),
    (lambda: synthfactors.run(1392, loop_bandwidth=2, cp_current=4, kvco=30,
                              vco_noise=[(1e3, -80, 1)]), ValueError),
    (lambda: synthfactors.run(1392, loop_bandwidth=2, cp_current=4, kvco=30,
                              vco_noise=["1000:-80"]), TypeError),
    (lambda: synthfactors.run(1392, vco_noise="1000:-80"), ValueError),
    (lambda: synthfactors.noise_curve(1392, loop_bandwidth=2, cp_current=4, kvco=30,
                                      noise_offsets=[1e3]), TypeError),
])
def test_loop_arguments_are_refused_in_the_modules_words(call, error):
    with pytest.raises(error):
        call()


def test_runs_and_sweeps_on_many_threads_equal_the_sequential_ones():
    # The module releases the GIL for the calculation: sixteen threads at
    # once, each run and each sweep (with its own workers) as alone.
    import concurrent.futures
    cases = [dict(rf_out=f"{10368 + i * 0.025:.3f}", mult=4, fom=-220) for i in range(48)]
    cases += [dict(rf_out=f"{2400 + i}", chip="adf4351", ref=25, min_fc=1000, max_fc=25000,
                   loop_bandwidth=50, kvco=40) for i in range(16)]
    alone = [synthfactors.run(**case) for case in cases]
    band = dict(start=2400, stop=2401, step=0.125, chip="adf4351", ref=25, min_fc=1000,
                max_fc=25000, loop_bandwidth=50, kvco=40, registers=True)
    swept = synthfactors.sweep(**band)
    with concurrent.futures.ThreadPoolExecutor(16) as pool:
        runs = list(pool.map(lambda case: synthfactors.run(**case), cases * 4))
        sweeps = list(pool.map(lambda _: synthfactors.sweep(**band), range(8)))
    assert runs == alone * 4
    for other in sweeps:
        assert all(numpy.array_equal(other[k], swept[k], equal_nan=other[k].dtype.kind == "f")
                   for k in swept)
