"""The web page's plan against the command line's sweep, side by side on
this machine: a 100,001-channel band through the page's scripting
interface (workers on every processor, the SIMD module where the browser
has SIMD, and the scalar module), the whole planner from Plan to the table
and chart, and the command line on every processor.

    python3 bench/page_plan.py CLI PAGE.html [FROM:TO:STEP]
"""
import pathlib
import statistics
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "web"))
from headless_chromium import make_browser, wait_until  # noqa: E402

REPEATS = 3


def median_seconds(action):
    times = []
    for _ in range(REPEATS):
        start = time.monotonic()
        action()
        times.append(time.monotonic() - start)
    return statistics.median(times)


def page_times(page, grid, kernel):
    driver = make_browser()
    try:
        driver.get(pathlib.Path(page).resolve().as_uri() + ("?wasm=scalar" if kernel == "scalar" else ""))
        wait_until(driver, 'document.body.dataset.ready === "true"')
        ran = driver.execute_script("return document.body.dataset.kernel")
        script = median_seconds(lambda: driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "synthfactors.sweepText({sweep: arguments[0]}).then((t) => done(t.length));", grid))
        driver.find_element("id", "tab-planner").click()
        start, end, step = grid.split(":")
        for box, value in (("band-from", start), ("band-to", end), ("band-step", step)):
            driver.execute_script("document.getElementById(arguments[0]).value = arguments[1];", box, value)

        def plan():
            driver.execute_script('document.getElementById("plan-status").textContent = "";')
            driver.find_element("id", "plan").click()
            wait_until(driver, '/^Planned/.test(document.getElementById("plan-status").textContent)')
        planner = median_seconds(plan)
        return ran, script, planner
    finally:
        driver.quit()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, page = sys.argv[1], sys.argv[2]
    grid = sys.argv[3] if len(sys.argv) > 3 else "10368:10378:0.0001"
    command = median_seconds(lambda: subprocess.run(
        [cli, "--sweep", grid], stdout=subprocess.DEVNULL, check=True))
    print(f"sweep {grid}, medians of {REPEATS}")
    print(f"  synthfactors-cli --sweep (every processor): {command:.2f} s")
    for kernel in ("simd", "scalar"):
        ran, script, planner = page_times(page, grid, kernel)
        print(f"  page, {ran} module: sweepText {script:.2f} s ({script / command:.1f} x), "
              f"Plan to table and chart {planner:.2f} s ({planner / command:.1f} x)")


if __name__ == "__main__":
    main()
