"""The web page against the command line: the scripting interface on a few
hundred inputs, the calculator typed into, a band planned and exported,
Cancel, and the page opened as a file."""
import json
import pathlib
import random
import time
from xml.etree import ElementTree

import pytest
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from conftest import PAGE, cli, make_browser, wait_ready, wait_until

CHIPS = ["adf4106", "adf4351-int", "adf4351", "max2870-int", "max2870", "lmx2594", "adf5356"]


def run_cases():
    """220 inputs of every kind: plain, odd box texts, ranges, noise,
    chips with prescalers, registers, dividers and fractional options, and
    a share the reading refuses."""
    pick = random.Random(29)
    cases = [{"rf_out": "1000"}, {"rf_out": "1234.5678", "ref": "13", "min_fc": "10", "max_fc": "200"},
             {"rf_out": "10368.025", "mult": 4, "ref": 10, "min_fc": 1, "max_fc": 1000},
             {"rf_out": "0"}, {"rf_out": "1e300", "ref": "1e-300"}, {"rf_out": "10MHz"},
             {"rf_out": "1000", "mult": "0"}, {"rf_out": ""}, {"rf_out": "-2400", "mult": "-2"},
             {"rf_out": "1000", "fom": "x"}, {"rf_out": "1000", "bogus": 1},
             {"rf_out": "1000", "r_range": "5:1"}]
    while len(cases) < 220:
        case = {"rf_out": pick.choice(["%.3f" % pick.uniform(100, 24000),
                                       "%.6f" % pick.uniform(1000, 6000),
                                       str(pick.randrange(50, 20000)),
                                       pick.uniform(500, 12000)])}
        if pick.random() < 0.5:
            case["mult"] = pick.choice([1, 2, 3, 4, 8, "4", "2.5"])
        if pick.random() < 0.5:
            case["ref"] = pick.choice(["10", "19.2", "25", "100", "13", 26, "122.88"])
        if pick.random() < 0.4:
            low = pick.choice([1, 5, 10, 100])
            case["min_fc"], case["max_fc"] = str(low), str(low * pick.choice([2, 10, 100, 1000]))
        if pick.random() < 0.35:
            case["chip"] = pick.choice(CHIPS)
            if pick.random() < 0.5:
                case["registers"] = True
            if case["chip"] == "adf4106" and pick.random() < 0.4:
                case["prescaler"] = pick.choice([8, 16, 32, 64])
            if case["chip"] != "adf4106" and pick.random() < 0.3:
                case["feedback"] = pick.choice(["fundamental", "divided"])
            if case["chip"] == "lmx2594" and pick.random() < 0.4:
                case["ref_path"] = pick.choice(["auto", "x2/1/x1/R", "x1/2/x5/R", "x1/1/x1/10"])
                if pick.random() < 0.5:
                    case["mash_order"] = pick.choice([1, 2, 4, "3"])
            if case["chip"] == "adf5356" and pick.random() < 0.4:
                case["ref_path"] = pick.choice(["auto", "x2/R/1", "x1/R/2"])
            if case["chip"] in ("adf4351", "max2870") and pick.random() < 0.4:
                case["tolerance"] = pick.choice(["0", "1", "100"])
                if pick.random() < 0.5:
                    case["spur_clear"] = pick.choice(["10", "100"])
        if pick.random() < 0.3:
            case["fom"] = pick.choice(["-220", "-221.5", -218])
            if pick.random() < 0.5:
                case["flicker"] = pick.choice(["-260", "-262"])
                if pick.random() < 0.5:
                    case["offset"] = pick.choice(["1000", "100000"])
        if pick.random() < 0.2:
            case["alternatives"] = pick.choice([1, 3, 10])
        if pick.random() < 0.1:
            case["r_range"] = pick.choice(["1:100", "10:10", "1:16383"])
        if pick.random() < 0.1:
            case["n_range"] = pick.choice(["1:65535", "100:200000"])
        if pick.random() < 0.04:
            case["mult"] = pick.choice(["x", "0", ""])
        cases.append(case)
    return cases


def flags(case):
    args = []
    for key, value in case.items():
        flag = "--" + key.replace("_", "-")
        if value is True:
            args.append(flag)
        else:
            args += [flag, str(value) if not isinstance(value, float) else repr(value)]
    return args


def call_all(driver, function, requests):
    return driver.execute_async_script(f"""
        const done = arguments[arguments.length - 1];
        Promise.all(arguments[0].map((request) => synthfactors.{function}(request)
            .catch((error) => "ERROR " + error.message))).then(done);""", requests)


def test_runs_give_the_command_lines_json(page):
    cases = run_cases()
    answers = call_all(page, "runText", cases)
    # The refused inputs: the reasons a batch line gets, named by key.
    batch = "\n".join(json.dumps(case) for case in cases) + "\n"
    batch_lines = cli("--batch", stdin=batch)[0].splitlines()
    refused = 0
    for case, answer, batch_line in zip(cases, answers, batch_lines, strict=True):
        batch_answer = json.loads(batch_line)
        if "error" in batch_answer and "line" in batch_answer:
            assert answer == "ERROR " + batch_answer["error"], case
            refused += 1
            continue
        out, err, status = cli("--json", *flags(case))
        assert status in (0, 1), (case, err)
        assert answer + "\n" == out, case
    assert 5 < refused < 40


def test_the_page_names_its_own_icon(page):
    # An icon of its own (empty), so that the browser asks the server for
    # no favicon.ico it does not have.
    assert page.execute_script('return document.querySelector(\'link[rel="icon"]\').href') == "data:,"


def test_run_parses_to_the_command_lines_object(page):
    answer = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        synthfactors.run({rf_out: "10368.025", mult: 4, chip: "adf4351", registers: true})
            .then(done);""")
    out, _, _ = cli("--json", "--rf-out", "10368.025", "--mult", "4", "--chip", "adf4351",
                    "--registers")
    assert answer == json.loads(out)
    assert answer["registers"][0]["name"] == "R5"


def test_sweep_gives_the_command_lines_json_lines(page):
    design = {"sweep": "10368:10369:0.025", "mult": "4", "chip": "adf4106", "fom": "-220"}
    objects = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        synthfactors.sweep(arguments[0]).then(done);""", design)
    out, _, _ = cli("--sweep", "10368:10369:0.025", "--mult", "4", "--chip", "adf4106",
                    "--fom", "-220", "--json")
    assert objects == [json.loads(line) for line in out.splitlines()]
    assert len(objects) == 41
    errors = call_all(page, "sweep", [{"sweep": "1:2"}, {"sweep": "1000:1200:0.0001"}])
    assert errors[0].startswith("ERROR sweep takes")
    assert errors[1].startswith("ERROR sweep: the range has more than 1000000 points")
    odd = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const calls = [synthfactors.run(null), synthfactors.run("1000"), synthfactors.sweep([1]),
                       synthfactors.run({rf_out: "1000", rf_out2: 1})];
        Promise.all(calls.map((call) => call.then(() => "answered", (error) => error.message)))
            .then(done);""")
    assert odd[:3] == ['synthfactors.run takes one object of inputs, such as {rf_out: "1000"}',
                       'synthfactors.run takes one object of inputs, such as {rf_out: "1000"}',
                       'synthfactors.sweep takes one object of inputs, such as {sweep: "10368:10370:0.025"}']
    assert odd[3].startswith('unknown member "rf_out2": the members are rf_out, mult')
    # sweepText's options: an object with json true or false, else refused
    # (a word was read as CSV, null threw the engine's own TypeError).
    options = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const band = {sweep: "10368:10368.05:0.025", mult: "4"};
        const calls = [synthfactors.sweepText(band, "json"), synthfactors.sweepText(band, null),
                       synthfactors.sweepText(band, {json: "yes"}),
                       synthfactors.sweepText(band, {json: true}), synthfactors.sweepText(band)];
        Promise.all(calls.map((call) => call.then((text) => text, (error) => "ERROR " + error.message)))
            .then(done);""")
    assert options[:3] == [
        "ERROR synthfactors.sweepText takes its options as one object, such as {json: true}",
        "ERROR synthfactors.sweepText takes its options as one object, such as {json: true}",
        "ERROR synthfactors.sweepText: json must be true or false"]
    assert options[3] == cli("--sweep", "10368:10368.05:0.025", "--mult", "4", "--json")[0]
    assert options[4] == cli("--sweep", "10368:10368.05:0.025", "--mult", "4")[0]


def type_into(page, name, text):
    box = page.find_element(By.ID, "box-" + name)
    box.clear()
    box.send_keys(text)


@pytest.mark.parametrize("rf_out, mult, ref, min_fc, max_fc", [
    ("1000", "1", "10", "5", "100"),
    ("1234.5678", "1", "13", "10", "200"),
    ("10368.025", "4", "10", "1", "1000"),
    ("2400MHz", "2", "19.2", "5", "100"),
])
def test_typed_calculator_shows_the_windows_texts(page, rf_out, mult, ref, min_fc, max_fc):
    for name, text in (("RFOut", rf_out), ("RFMult", mult), ("Ref", ref), ("MinFC", min_fc),
                       ("MaxFC", max_fc)):
        type_into(page, name, text)
    page.find_element(By.ID, "box-GO").click()
    out, _, _ = cli("--json", "--rf-out", rf_out, "--mult", mult, "--ref", ref, "--min-fc", min_fc,
                    "--max-fc", max_fc)
    expected = json.loads(out)
    wait_until(page, 'document.getElementById("box-DivDisp").value')
    assert page.find_element(By.ID, "box-DivDisp").get_property("value") == \
        expected["report"].replace("\r\n", "\n")
    assert page.find_element(By.ID, "box-RFund").get_property("value") == expected["rf_source"]


def test_the_calculator_starts_as_the_window_and_says_why_it_shows_nothing(page):
    # The focus in RF Multiplication with its text selected: typing replaces it.
    assert page.switch_to.active_element.get_attribute("id") == "box-RFMult"
    page.switch_to.active_element.send_keys("4")
    assert page.find_element(By.ID, "box-RFMult").get_property("value") == "4"
    # Nothing to calculate: the window shows nothing, the page says why, in
    # the command line's words; the keyboard stays on GO.
    for text in ("", "abc"):
        type_into(page, "RFOut", text)
        go = page.find_element(By.ID, "box-GO")
        go.send_keys(" ")
        wait_until(page, 'document.getElementById("calculator-note").textContent !== ""')
        _, err, _ = cli("--rf-out", text)
        assert page.find_element(By.ID, "calculator-note").text == err.strip().removeprefix("synthfactors-cli: ")
        assert page.switch_to.active_element == go
        page.execute_script('document.getElementById("calculator-note").textContent = ""')
    # The worked example's widest lines stay inside the report box.
    for name, text in (("RFOut", "1234.5678"), ("RFMult", "1"), ("Ref", "13"), ("MinFC", "10"),
                       ("MaxFC", "200")):
        type_into(page, name, text)
    page.find_element(By.ID, "box-GO").click()
    wait_until(page, '/11.37358kHz/.test(document.getElementById("box-DivDisp").value)')
    assert page.execute_script('const r = document.getElementById("box-DivDisp");'
                               'return r.scrollWidth <= r.clientWidth && r.scrollHeight <= r.clientHeight;')
    assert page.find_element(By.ID, "calculator-note").text == ""


AXE = pathlib.Path(__file__).resolve().parents[2] / "web" / "node_modules" / "axe-core" / "axe.min.js"


def axe_faults(page):
    """axe-core's critical and serious violations on the page as it stands."""
    page.execute_script(AXE.read_text())
    return page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        axe.run(document, {resultTypes: ["violations"]}).then((result) => done(result.violations
            .filter((v) => v.impact === "critical" || v.impact === "serious")
            .map((v) => v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", "))));""")


def test_axe_finds_no_critical_or_serious_fault_on_either_tab(page):
    assert axe_faults(page) == []
    # Each box named by its own label: "RF Source Frequency" names the box
    # under it, not RF Output's.
    labels = page.execute_script(
        'return Object.fromEntries([...document.querySelectorAll("#window-client label")]'
        '.map((label) => [label.textContent, label.htmlFor]));')
    assert labels["RF Source Frequency"] == "box-RFund"
    assert labels["RF Output  MHz"] == "box-RFOut"
    page.find_element(By.ID, "tab-planner").click()
    assert axe_faults(page) == []
    plan_band(page, "2400:2402:0.5", {"chip": "adf4351", "ref": "25", "fom": "-220", "loop_bandwidth": "50",
                                      "kvco": "40", "min_fc": "10000", "max_fc": "25000"})
    page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[1].click()
    wait_until(page, 'document.querySelector("#details .noise-chart canvas")')
    assert axe_faults(page) == []
    plan_band(page, "10368:10369:0.5", {"chip": "adf4351"})
    assert axe_faults(page) == []


def test_the_keyboard_reaches_everything_and_keeps_its_place(page):
    # The calculator's Tab order is the window's.
    order = []
    for _ in range(8):
        order.append(page.switch_to.active_element.get_attribute("id").removeprefix("box-"))
        page.switch_to.active_element.send_keys(Keys.TAB)
    assert order == ["RFMult", "RFund", "Ref", "DivDisp", "GO", "MinFC", "RFOut", "MaxFC"]
    # Plan from the keyboard: the focus stays on Plan, not the page.
    page.find_element(By.ID, "tab-planner").click()
    for element_id, value in zip(("band-from", "band-to", "band-step"), ("10368", "10370", "0.025")):
        set_value(page, element_id, value)
    set_value(page, "input-mult", "4")
    page.find_element(By.ID, "plan").send_keys(Keys.ENTER)
    wait_until(page, '/^Planned/.test(document.getElementById("plan-status").textContent)')
    assert page.switch_to.active_element.get_attribute("id") == "plan"
    # Rows: Space shows one, the arrows move along, the focus follows.
    first = page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[0]
    first.send_keys(" ")
    wait_until(page, '/Channel 10368 MHz/.test(document.getElementById("details").textContent)')
    page.switch_to.active_element.send_keys(Keys.ARROW_DOWN)
    page.switch_to.active_element.send_keys(Keys.ARROW_DOWN)
    wait_until(page, '/Channel 10368.05 MHz/.test(document.getElementById("details").textContent)')
    assert page.switch_to.active_element.get_attribute("data-index") == "2"
    assert len(page.find_elements(By.CSS_SELECTOR, '#channels tr[tabindex="0"]')) == 1
    page.switch_to.active_element.send_keys(Keys.END)
    wait_until(page, '/Channel 10370 MHz/.test(document.getElementById("details").textContent)')
    # The chart: reached by Tab, read out as the arrows move, Enter shows.
    chart = page.find_element(By.ID, "chart")
    assert chart.get_attribute("tabindex") == "0"
    assert page.find_element(By.ID, "chart-summary").get_attribute("textContent").startswith(
        "81 channels from 10368 to 10370 MHz; output error from ")
    chart.send_keys(Keys.HOME, Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
    assert page.find_element(By.ID, "chart-readout").get_attribute("textContent").startswith(
        "10368.05 MHz: output error ")
    chart.send_keys(Keys.ENTER)
    wait_until(page, '/Channel 10368.05 MHz/.test(document.getElementById("details").textContent)')


def test_a_design_is_saved_opened_linked_and_remembered(page, server_url, tmp_path):
    inputs = {"mult": "4", "chip": "adf4351", "fom": "-220", "registers": True}
    plan_band(page, "10368:10370:0.5", {"mult": "4", "chip": "adf4351", "fom": "-220"})
    page.find_element(By.ID, "input-registers").click()
    # Saved: the planner's design file, which the command line plans to
    # the page's bytes.
    saved = export(page, "save-design")
    assert saved["name"] == "design-10368-10370.json"
    design = tmp_path / saved["name"]
    design.write_text(saved["text"])
    assert json.loads(saved["text"]) == {"sweep": "10368:10370:0.5", "ref": "10", "min_fc": "5",
                                         "max_fc": "100", **inputs, "common_r": False}
    page.find_element(By.ID, "plan").click()
    wait_until(page, '/^Planned 5/.test(document.getElementById("plan-status").textContent)')
    planned = export(page, "export-csv")["text"]
    assert planned == cli("--plan", str(design))[0]
    # The address holds the inputs: the link plans them again.
    link = page.execute_script("return location.href")
    assert "#sweep=10368%3A10370%3A0.5" in link
    page.get(link)
    wait_ready(page)
    wait_until(page, '/^Planned 5/.test(document.getElementById("plan-status").textContent)')
    assert export(page, "export-csv")["text"] == planned
    # Reloaded without a link: the last inputs are back, not planned.
    page.get(server_url)
    wait_ready(page)
    assert page.find_element(By.ID, "input-chip").get_property("value") == "adf4351"
    assert page.find_element(By.ID, "input-registers").is_selected()
    assert page.find_element(By.ID, "band-to").get_property("value") == "10370"
    page.find_element(By.ID, "tab-planner").click()
    # Opened: the form takes the file's inputs; a bad file changes nothing.
    other = tmp_path / "other.json"
    other.write_text('{"sweep": "2400:2401:0.5", "ref": "25"}')
    page.find_element(By.ID, "design-file").send_keys(str(other))
    wait_until(page, '/^Opened other.json/.test(document.getElementById("plan-status").textContent)')
    assert page.find_element(By.ID, "input-chip").get_property("value") == ""
    assert page.find_element(By.ID, "input-mult").get_property("value") == "1"
    assert page.find_element(By.ID, "input-ref").get_property("value") == "25"
    bad = tmp_path / "bad.json"
    bad.write_text('{"sweep": "2400:2401:0.5", "colour": "red"}')
    page.find_element(By.ID, "design-file").send_keys(str(bad))
    wait_until(page, 'document.querySelector("#plan-faults li")')
    fault = page.find_element(By.CSS_SELECTOR, "#plan-faults li").text
    assert fault.startswith("design bad.json: ") and "colour" in fault
    assert page.find_element(By.ID, "input-ref").get_property("value") == "25"


def test_calculator_fault_is_the_windows_message(page):
    type_into(page, "RFOut", "1000")
    type_into(page, "RFMult", "0")
    page.find_element(By.ID, "box-GO").click()
    wait_until(page, 'document.getElementById("fault").open')
    _, err, status = cli("--rf-out", "1000", "--mult", "0")
    assert status == 1
    assert page.find_element(By.ID, "fault-message").text == err.strip().removeprefix("synthfactors-cli: ")
    assert page.find_element(By.ID, "fault-title").text == "uWave Frequency Synthesis Factors"


CAPTURE_DOWNLOADS = """
    window.downloads = [];
    HTMLAnchorElement.prototype.click = function () {
      const name = this.download;
      window.downloads.push(fetch(this.href).then((r) => r.text()).then((text) => ({name, text})));
    };"""


def set_value(page, element_id, value):
    page.execute_script("document.getElementById(arguments[0]).value = arguments[1];", element_id, value)


def plan_band(page, band, inputs, common_r=False):
    page.find_element(By.ID, "tab-planner").click()
    for element_id, value in zip(("band-from", "band-to", "band-step"), band.split(":")):
        set_value(page, element_id, value)
    for key, value in inputs.items():
        set_value(page, "input-" + key, value)
    if common_r:
        page.find_element(By.ID, "common-r").click()
    page.find_element(By.ID, "plan").click()
    wait_until(page, '/^(Planned|Not planned)/.test(document.getElementById("plan-status").textContent)'
                     ' && !document.getElementById("export-csv").disabled')


def export(page, button):
    page.execute_script(CAPTURE_DOWNLOADS)
    page.find_element(By.ID, button).click()
    return page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const check = () => window.downloads.length ? Promise.all(window.downloads).then(done)
                                                    : setTimeout(check, 20);
        check();""")[0]


def test_planned_band_exports_the_command_lines_sweep(page):
    plan_band(page, "10368:10370:0.025", {"mult": "4", "chip": "adf4106", "fom": "-220"})
    assert page.find_element(By.ID, "plan-status").text == "Planned 81 channels."
    args = ["--sweep", "10368:10370:0.025", "--mult", "4", "--chip", "adf4106", "--fom", "-220"]
    csv = export(page, "export-csv")
    assert csv["name"] == "plan-10368-10370.csv"
    assert csv["text"] == cli(*args)[0]
    lines = export(page, "export-jsonl")
    assert lines["name"] == "plan-10368-10370.jsonl"
    assert lines["text"] == cli(*args, "--json")[0]
    rows = page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")
    assert len(rows) == 81


def test_channels_without_a_setting_are_shaded_with_their_reason(page):
    # Beyond the adf4351's outputs: every channel, with the chip's note.
    plan_band(page, "10368:10370:0.025", {"mult": "1", "chip": "adf4351"})
    reason = "the source frequency 10368 MHz is outside the adf4351's range of 2200 to 4400 MHz"
    wait_until(page, '/no setting:/.test(document.getElementById("plan-status").textContent)')
    assert page.find_element(By.ID, "plan-status").text == \
        f"Planned 81 channels. 81 of 81 channels have no setting: at 10368 MHz, {reason}."
    assert page.find_element(By.ID, "chart").text.startswith("No channel to chart: no channel has this figure")
    # The last three channels past N's range: shaded, their fault cells
    # saying why, the export keeping the command line's "no setting".
    inputs = {"mult": "1", "chip": "adf4351", "r_range": "100:100", "n_range": "23999:24000"}
    plan_band(page, "2399.9:2400.2:0.05", inputs)
    wait_until(page, '/no setting:/.test(document.getElementById("plan-status").textContent)')
    assert page.find_element(By.ID, "plan-status").text.startswith(
        "Planned 7 channels. 3 of 7 channels have no setting: at 2400.1 MHz, no divider pair fits: ")
    wait_until(page, 'document.querySelectorAll("#channels tr[title]").length === 3')
    rows = page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")
    fault = [cell.get_attribute("title") for cell in page.find_elements(By.CSS_SELECTOR, "#channels th")].index("fault")
    for index, row in enumerate(rows):
        without = index >= 4
        assert ("no-setting" in row.get_attribute("class")) == without
        text = row.find_elements(By.TAG_NAME, "td")[fault].text
        assert text.startswith("no setting: no divider pair fits: ") if without else text == ""
    args = ["--sweep", "2399.9:2400.2:0.05", "--chip", "adf4351", "--r-range", "100:100",
            "--n-range", "23999:24000"]
    assert export(page, "export-csv")["text"] == cli(*args)[0]
    assert page.find_element(By.CSS_SELECTOR, "#chart .u-over")


def test_the_table_heads_in_words_and_shows_nine_digits(page):
    plan_band(page, "7500.123456789:7500.123456791:0.000000001",
              {"mult": "1", "ref": "100", "chip": "lmx2594", "min_fc": "1000", "max_fc": "200000"})
    heads = page.find_elements(By.CSS_SELECTOR, "#channels th")
    names = [head.get_attribute("title") for head in heads]
    assert [head.text for head in heads][:4] == ["RF out (MHz)", "Source (MHz)", "R", "N"]
    assert heads[names.index("vco_mhz")].text == "VCO (MHz)"
    first = page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[0].find_elements(By.TAG_NAME, "td")
    # A divider keeps all its digits; a measured figure shows nine, the
    # exact text in its tooltip; a flag reads in words.
    assert first[names.index("mod")].text == "3200000000"
    assert first[names.index("vco_mhz")].text == "7500.12346"
    assert first[names.index("vco_mhz")].get_attribute("title") == "7500.123456789"
    assert first[names.index("exact")].text == "yes"
    assert first[names.index("rf_out")].text == "7500.123456789"
    # The rule is printf's %.9g wherever a text has more than nine digits.
    pick = random.Random(5)
    values = [pick.uniform(-1, 1) * 10 ** pick.randint(-12, 14) for _ in range(400)]
    values += [9.9999999996, 999999999.6, 0.000099999999996, 123456789012.0, -0.1 - 0.2]
    texts = [repr(value) for value in values]
    shown = page.execute_script("return arguments[0].map(nineDigitText);", texts)
    for text, value, got in zip(texts, values, shown):
        digits = len(text.split("e")[0].replace("-", "").replace(".", "").lstrip("0"))
        assert got == (text if digits <= 9 else "%.9g" % value), text


def widths(page):
    return page.execute_script("""
        const width = (id) => document.getElementById(id).getBoundingClientRect().width;
        return {page: document.documentElement.scrollWidth, window: window.innerWidth,
                table: document.querySelector(".table-scroll").getBoundingClientRect().width,
                chart: document.querySelector("#chart canvas").getBoundingClientRect().width,
                box: width("chart")};""")


def test_the_page_reflows_on_a_phone_and_the_chart_follows_the_window(page):
    try:
        page.set_window_size(390, 844)
        plan_band(page, "10368:10370:0.025", {"mult": "4"})
        seen = widths(page)
        # Nothing wider than the screen; the table has the width, not 66 px.
        assert seen["page"] <= seen["window"], seen
        assert seen["table"] >= seen["window"] - 40, seen
        assert seen["chart"] <= seen["box"], seen
        page.set_window_size(1280, 900)
        wait_until(page, 'Math.abs(document.querySelector("#chart canvas").getBoundingClientRect().width'
                         ' - document.getElementById("chart").clientWidth) <= 2')
        page.set_window_size(800, 900)
        wait_until(page, 'Math.abs(document.querySelector("#chart canvas").getBoundingClientRect().width'
                         ' - document.getElementById("chart").clientWidth) <= 2')
        assert widths(page)["page"] <= widths(page)["window"]
    finally:
        page.set_window_size(1280, 1000)


def test_printed_the_plan_shows_inputs_chart_and_every_row_without_buttons(page):
    plan_band(page, "10368:10370:0.025", {"mult": "4"})
    page.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
    try:
        shown = page.execute_script("""
            const visible = (element) => element.getClientRects().length > 0;
            const scroll = document.querySelector(".table-scroll");
            return {buttons: [...document.querySelectorAll("#planner button")].filter(visible).length,
                    inputs: visible(document.getElementById("input-mult")),
                    chart: visible(document.querySelector("#chart canvas")),
                    clipped: scroll.scrollHeight > scroll.clientHeight + 1};""")
        assert shown == {"buttons": 0, "inputs": True, "chart": True, "clipped": False}
        pdf = page.execute_cdp_cmd("Page.printToPDF", {"printBackground": False})
        assert len(pdf["data"]) > 1000
    finally:
        page.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})


def test_the_error_limit_counts_channels_beyond_it_and_the_chart_exports_as_png_and_svg(page):
    inputs = {"mult": "4", "chip": "adf4106", "min_fc": "1", "max_fc": "1000"}
    plan_band(page, "10368:10370:0.025", inputs)
    assert page.find_element(By.ID, "over-limit").text == ""
    header, *rows = [line.split(",") for line in
                     cli("--sweep", "10368:10370:0.025", *flags(inputs))[0].splitlines()]
    errors = [float(row[header.index("error_hz")]) for row in rows]
    page.find_element(By.ID, "error-limit").send_keys("50")
    over = sum(abs(error) > 50 for error in errors)
    assert 0 < over < 81
    wait_until(page, 'document.getElementById("over-limit").textContent !== ""')
    assert page.find_element(By.ID, "over-limit").text == f"{over} of 81 channels beyond ±50 Hz"
    page.execute_script("""
        window.pictures = [];
        HTMLAnchorElement.prototype.click = function () {
          const name = this.download;
          window.pictures.push(fetch(this.href).then((r) => r.arrayBuffer())
            .then((bytes) => ({name, head: [...new Uint8Array(bytes).slice(0, 8)]})));
        };""")
    page.find_element(By.ID, "export-chart").click()
    picture = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const check = () => window.pictures.length ? Promise.all(window.pictures).then(done)
                                                   : setTimeout(check, 20);
        check();""")[0]
    assert picture == {"name": "plan-10368-10370.png", "head": [137, 80, 78, 71, 13, 10, 26, 10]}

    # The same chart as a drawing: one point per channel, placed by its
    # figure, the limit both ways, the axes' labels and ticks in the band.
    drawing = export(page, "export-chart-svg")
    assert drawing["name"] == "plan-10368-10370.svg"
    svg = ElementTree.fromstring(drawing["text"])
    name = "{http://www.w3.org/2000/svg}"
    assert svg.tag == name + "svg"
    [line] = [path for path in svg.iter(name + "path") if path.get("class") == "series"]
    points = [tuple(map(float, step[1:].split())) for step in line.get("d").split(" M")[0].replace(" L", "|L").split("|")]
    assert len(points) == 81
    xs, ys = [x for x, _ in points], [y for _, y in points]
    assert xs == sorted(xs) and len(set(xs)) == 81
    assert ys.index(min(ys)) == errors.index(max(errors))  # SVG's y grows downwards
    assert ys.index(max(ys)) == errors.index(min(errors))
    limits = sorted(float(x.get("y1")) for x in svg.iter(name + "line") if x.get("class") == "limit")
    assert len(limits) == 2 and min(ys) <= limits[1] and limits[0] <= max(ys)
    texts = [text.text for text in svg.iter(name + "text")]
    assert "RF output, MHz" in texts and "error, Hz" in texts
    assert "NaN" not in drawing["text"] and "undefined" not in drawing["text"]
    ticks = [float(text) for text in texts if text and text.startswith("1036")]
    assert len(ticks) >= 2 and all(10368 <= tick <= 10370 for tick in ticks)


def test_one_r_band_exports_the_command_lines_sweep(page):
    plan_band(page, "10368:10370:0.025", {"mult": "4", "min_fc": "1", "max_fc": "1000"}, common_r=True)
    csv = export(page, "export-csv")
    out, _, _ = cli("--sweep", "10368:10370:0.025", "--mult", "4", "--min-fc", "1", "--max-fc", "1000",
                    "--common-r")
    assert csv["text"] == out
    assert out.startswith("# common R")


def test_a_channels_details_show_its_report_and_registers(page):
    plan_band(page, "2400:2401:0.5", {"chip": "adf4351", "ref": "25", "min_fc": "100", "max_fc": "40000"})
    page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[1].click()
    wait_until(page, 'document.querySelector("#details pre")')
    channel = ("--rf-out", "2400.5", "--chip", "adf4351", "--ref", "25", "--min-fc", "100",
               "--max-fc", "40000", "--registers")
    expected = json.loads(cli(*channel, "--json")[0])
    report = page.find_element(By.CSS_SELECTOR, "#details pre").get_property("textContent")
    assert report == cli(*channel)[0]
    # The words once, in the report as the command line prints them (a
    # table repeated them).
    for word in expected["registers"]:
        assert page.find_element(By.ID, "details").text.count(word["word"]) == 1
    assert not page.find_elements(By.CSS_SELECTOR, "#details td.mono")


def test_a_double_click_on_the_chart_zooms_out_and_selects_nothing(page):
    plan_band(page, "10368:10369:0.025", {"mult": "4"})
    over = page.find_element(By.CSS_SELECTOR, "#chart .u-over")
    ActionChains(page).move_to_element(over).double_click(over).perform()
    time.sleep(0.8)  # longer than a click waits to be sure it is single
    assert not page.find_elements(By.CSS_SELECTOR, "#details pre")
    ActionChains(page).move_to_element(over).click(over).perform()
    wait_until(page, 'document.querySelector("#details pre")')


@pytest.mark.parametrize("band, inputs", [
    ("10368:10369:0.5", {"mult": "4", "fom": "-220"}),
    # A fractional-N chip's settings, with their FRAC, MOD and spur.
    ("2400:2401:0.5", {"chip": "adf4351", "ref": "25", "min_fc": "100", "max_fc": "40000",
                       "fom": "-220", "registers": True}),
])
def test_a_channels_details_list_its_alternatives_from_the_same_run(page, band, inputs):
    plan_band(page, band, inputs)
    page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[1].click()
    wait_until(page, 'document.querySelector("#details pre")')
    rf_out = str(float(band.split(":")[0]) + 0.5)
    channel = ("--rf-out", rf_out, *flags(inputs))
    report = page.find_element(By.CSS_SELECTOR, "#details pre").get_property("textContent")
    assert report == cli(*channel)[0]
    expected = json.loads(cli(*channel, "--alternatives", "10", "--json")[0])["alternatives"]
    assert len(expected) > 1
    names = [th.get_attribute("title") for th in page.find_elements(By.CSS_SELECTOR, "#details table.small th")]
    assert names == list(expected[0])
    rows = page.find_elements(By.CSS_SELECTOR, "#details table.small tbody tr")
    assert len(rows) == len(expected)
    whole = [name for name in ("r", "n", "frac", "mod", "mode") if name in names]
    for row, pair in zip(rows, expected):
        cells = row.find_elements(By.TAG_NAME, "td")
        shown = {name: cells[names.index(name)].text for name in whole}
        assert shown == {name: "" if pair[name] is None else str(pair[name]) for name in whole}
        # A figure's exact text, shown or in the tooltip, is the command line's.
        cell = cells[names.index("comparison_khz")]
        assert float(cell.get_attribute("title") or cell.text) == pair["comparison_khz"]
    if "chip" in inputs:
        assert {"frac", "mod", "spur_offset_khz", "phase_noise_dbc_hz"} <= set(names)


def test_a_loop_band_shows_each_channel_with_the_bands_filter(page):
    loop = {"chip": "adf4351", "ref": "25", "min_fc": "10000", "max_fc": "25000", "fom": "-220",
            "loop_bandwidth": "50", "kvco": "40", "vco_noise": "1000:-75,100000:-122"}
    plan_band(page, "2400:2402:0.5", loop)
    args = ["--sweep", "2400:2402:0.5"] + flags(loop)
    csv = export(page, "export-csv")
    assert csv["text"] == cli(*args)[0]
    header, *rows = [line.split(",") for line in csv["text"].splitlines()]
    page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[1].click()
    wait_until(page, 'document.querySelector("#details .noise-chart canvas")')
    report = page.find_element(By.CSS_SELECTOR, "#details pre").get_property("textContent")
    # The channel's report has the band's filter, designed at its middle
    # channel, and the figures of a run with those parts given.
    assert "Loop filter  order 3, designed at 2401 MHz for 50 kHz and 45 degrees\n" in report
    part = {name: rows[1][header.index(name)] for name in ("c1_f", "c2_f", "r2_ohm", "c3_f", "r3_ohm")}
    given = dict(loop, filter=",".join(part[name] for name in ("c1_f", "c2_f", "r2_ohm", "c3_f", "r3_ohm")))
    del given["loop_bandwidth"]
    alone = cli("--rf-out", "2400.5", *flags(given))[0]
    assert report[report.index("  C1 "):] == alone[alone.index("  C1 "):]


def test_faults_of_the_form_are_listed_and_the_plan_kept(page):
    plan_band(page, "10368:10369:0.5", {"mult": "4"})
    plan_band(page, "10368:10369:0", {"fom": "loud"})
    faults = [item.text for item in page.find_elements(By.CSS_SELECTOR, "#plan-faults li")]
    assert any(fault.startswith("sweep: STEP") for fault in faults)
    assert 'fom "loud" is not a number; write one decimal number, such as 10.5' in faults
    assert page.find_element(By.ID, "plan-status").text == "Not planned; the plan shown is the earlier one."
    assert len(page.find_elements(By.CSS_SELECTOR, "#channels tbody tr")) == 3


def test_cancel_stops_a_long_plan_and_the_page_answers(page):
    for element_id, value in zip(("band-from", "band-to", "band-step"), ("1000", "1099", "0.0001")):
        set_value(page, element_id, value)
    page.find_element(By.ID, "tab-planner").click()
    page.find_element(By.ID, "plan").click()
    wait_until(page, '/of 990,001 points/.test(document.getElementById("plan-status").textContent)')
    page.find_element(By.ID, "cancel").click()
    assert page.find_element(By.ID, "plan-status").text == "Cancelled."
    assert page.find_element(By.ID, "plan").is_enabled()
    answer = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        synthfactors.run({rf_out: "1000"}).then(done);""")
    assert answer["r"] == 100


def sweep_text(page, design, options="{}"):
    return page.execute_async_script(f"""
        const done = arguments[arguments.length - 1];
        synthfactors.sweepText(arguments[0], {options}).then(done, (e) => done("ERROR " + e.message));""",
                                     design)


@pytest.mark.parametrize("design, args", [
    ({"sweep": "1000:1029.999:0.001", "mult": "4"}, ["--sweep", "1000:1029.999:0.001", "--mult", "4"]),
    ({"sweep": "1000:1029.999:0.001", "min_fc": "1", "max_fc": "1000", "common_r": True},
     ["--sweep", "1000:1029.999:0.001", "--min-fc", "1", "--max-fc", "1000", "--common-r"]),
    ({"sweep": "2400:2419.999:0.001", "chip": "adf4351", "ref": "25", "min_fc": "10000", "max_fc": "25000",
      "fom": "-220", "loop_bandwidth": "50", "kvco": "40"},
     ["--sweep", "2400:2419.999:0.001", "--chip", "adf4351", "--ref", "25", "--min-fc", "10000",
      "--max-fc", "25000", "--fom", "-220", "--loop-bandwidth", "50", "--kvco", "40"]),
])
def test_a_band_split_across_workers_and_kernels_gives_the_command_lines_bytes(page, server_url, design, args):
    # Five workers whatever this machine has: the parts joined are the whole.
    page.execute_script("Object.defineProperty(navigator, 'hardwareConcurrency', {value: 5});")
    assert page.execute_script("return document.body.dataset.kernel") == "wasm-simd128"
    expected = cli(*args)[0]
    assert sweep_text(page, design) == expected
    if not design.get("common_r"):
        assert sweep_text(page, design, "{json: true}") == cli(*args, "--json")[0]
    # The scalar module, for browsers without SIMD: the same bytes.
    page.get(server_url + "?wasm=scalar")
    wait_ready(page)
    assert page.execute_script("return document.body.dataset.kernel") == "scalar"
    assert sweep_text(page, design) == expected


def test_a_scripted_sweep_is_cancelled_by_its_signal_and_blocks_nothing(page):
    started = time.time()
    outcome = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const stop = new AbortController();
        const sweep = synthfactors.sweepText({sweep: "1000:1099:0.0001"}, {signal: stop.signal});
        const events = [];
        sweep.then(() => events.push("finished"), (e) => events.push(e.name));
        // The calculator answers while the sweep runs.
        synthfactors.run({rf_out: "1000"}).then((r) => {
          events.push("run " + r.r);
          stop.abort();
          setTimeout(() => done(events), 100);
        });""")
    assert outcome == ["run 100", "AbortError"]
    assert time.time() - started < 10
    refused = sweep_text(page, {"sweep": "1000:1001:1"}, "{signal: 5}")
    assert refused == "ERROR synthfactors.sweepText: signal must be an AbortSignal, such as new AbortController().signal"


def test_the_page_works_opened_as_a_file(browser):
    browser.get(PAGE.as_uri())
    wait_ready(browser)
    answer = browser.execute_async_script("""
        const done = arguments[arguments.length - 1];
        synthfactors.runText({rf_out: "1000"}).then(done);""")
    assert answer + "\n" == cli("--json", "--rf-out", "1000")[0]


def test_a_decimal_comma_language_reads_and_writes_commas(tmp_path, server_url):
    driver = make_browser(tmp_path, "de-DE")
    try:
        driver.get(server_url)
        wait_ready(driver)
        # The window reads its boxes with a point whatever the language; the
        # report writes the language's symbol.
        for name, text in (("RFOut", "1234.5678"), ("Ref", "13")):
            type_into(driver, name, text)
        driver.find_element(By.ID, "box-GO").click()
        wait_until(driver, 'document.getElementById("box-DivDisp").value')
        assert "Comparison freq  5,68679kHz" in driver.find_element(By.ID, "box-DivDisp").get_property("value")
        assert driver.find_element(By.ID, "calculator-note").text == ""
        # A decimal comma typed is read as the window reads it, and said.
        type_into(driver, "RFOut", "10368,025")
        driver.find_element(By.ID, "box-GO").click()
        wait_until(driver, 'document.getElementById("calculator-note").textContent !== ""')
        assert driver.find_element(By.ID, "calculator-note").text == (
            'RF Output MHz "10368,025" was read as 10368: the window reads "." as its decimal '
            'point, whatever the language.')
        plan_band(driver, "10368:10369:0,5", {"mult": "4", "ref": "12,8"})
        assert driver.find_element(By.ID, "plan-status").text == "Planned 3 channels."
        csv = export(driver, "export-csv")
        assert csv["text"] == cli("--sweep", "10368:10369:0.5", "--mult", "4", "--ref", "12.8")[0]
    finally:
        driver.quit()
